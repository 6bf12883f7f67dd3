// What makes a sample target like a real school's tables, as the accounting product leaves them:
// validity checks (defaults, required fields, a range, a lookup) and one password-protected table.
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_REALISTIC_TARGET_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_REALISTIC_TARGET_H_

#include <string>

namespace varnholt::sample {

// The table that gets a password, and its password.
inline constexpr char kProtectedTable[] = "CH01MAST.DB";
inline constexpr char kTablePassword[] = "Bursar24";

// Adds the checks and the password to the four tables in `directory` (as WriteTargetTables left
// them). Throws EngineError when a table cannot be read or written.
void MakeTargetRealistic(const std::string& directory);

}  // namespace varnholt::sample

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_REALISTIC_TARGET_H_
