// pxlib as an independent reader of the tables our engine writes and reads, for the tests only.
#ifndef VARNHOLT_TESTS_SUPPORT_PXLIB_READER_H_
#define VARNHOLT_TESTS_SUPPORT_PXLIB_READER_H_

#include <string>
#include <vector>

namespace varnholt::paradox::testing {

// False when the build found no pxlib: callers then skip their comparison.
bool HavePxlib();
// Every record pxlib reads from the table at db_path, in file order, as its alpha values in UTF-8
// joined by "|" (other fields give ""). When pxlib refuses the file or a record, or is not
// available, *error says so and the records read before that are returned.
std::vector<std::string> ReadWithPxlib(const std::string& db_path, std::string* error);

}  // namespace varnholt::paradox::testing

#endif  // VARNHOLT_TESTS_SUPPORT_PXLIB_READER_H_
