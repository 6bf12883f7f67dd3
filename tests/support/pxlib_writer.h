// pxlib as an independent writer of password-protected tables, for the tests only.
#ifndef VARNHOLT_TESTS_SUPPORT_PXLIB_WRITER_H_
#define VARNHOLT_TESTS_SUPPORT_PXLIB_WRITER_H_

#include <string>
#include <vector>

namespace varnholt::paradox::testing {

// Creates db_path with pxlib: alpha fields named `names`, each `width` characters, the first
// `key_fields` of them the key (0: unkeyed), `rows` (one text per field, in key order when keyed)
// and, unless `password` is empty, protected by it. Returns "" or what went wrong (also when
// pxlib is not available).
std::string WriteWithPxlib(const std::string& db_path, const std::vector<std::string>& names, int width,
                           int key_fields, const std::vector<std::vector<std::string>>& rows,
                           const std::string& password);

}  // namespace varnholt::paradox::testing

#endif  // VARNHOLT_TESTS_SUPPORT_PXLIB_WRITER_H_
