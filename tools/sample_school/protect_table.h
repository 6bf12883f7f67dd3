// Puts a password on a table family as the accounting product does when its owner sets one: the
// header gets the password's checksum and every block of the .DB and the .PX is scrambled. For
// sample targets and tests; the program itself never protects a table.
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_PROTECT_TABLE_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_PROTECT_TABLE_H_

#include <string>

namespace varnholt {

// Protects the table at db_path (and its .PX when there is one) with `password`, rewriting the
// files in place. Throws EngineError when a file cannot be read or written or is already protected.
// REQUIRES: no program has the table open; the table has no memo fields.
void ProtectTable(const std::string& db_path, const std::string& password);

}  // namespace varnholt

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_PROTECT_TABLE_H_
