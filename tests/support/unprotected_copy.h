// A password-protected table family copied with its blocks unscrambled, so that readers which do
// not take passwords (the checker, the format audit script) can look at it. For the tests only.
#ifndef VARNHOLT_TESTS_SUPPORT_UNPROTECTED_COPY_H_
#define VARNHOLT_TESTS_SUPPORT_UNPROTECTED_COPY_H_

#include <string>

namespace varnholt::paradox::testing {

// Copies every file of the family of `db_path` into the folder `to` (which must exist); the .DB
// and .PX have their blocks unscrambled with the checksum the .DB's header holds, and that
// checksum cleared. Returns the copy's .DB path. Throws EngineError when a file cannot be read.
std::string UnprotectedCopy(const std::string& db_path, const std::string& to);

}  // namespace varnholt::paradox::testing

#endif  // VARNHOLT_TESTS_SUPPORT_UNPROTECTED_COPY_H_
