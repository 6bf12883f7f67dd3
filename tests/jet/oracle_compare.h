// Our reader's tables against mdb-export's (mdbtools, an independent reader), row for row.
// Values are compared by meaning where libmdb prints them its own way:
//   numbers      parsed and compared as numbers (libmdb: "%.16g" doubles, "x.xxxx" currency)
//   Yes/No       libmdb prints 1/0
//   dates        libmdb prints "1900-01-00 00:00:00" for every day before 1899-12-30 or past
//                about 4637 (its calendar gives up there); ours are checked against it only
//                inside that span
//   text         libmdb prints NULL and empty text alike, and each character outside the BMP as
//                "??"
#ifndef VARNHOLT_TESTS_JET_ORACLE_COMPARE_H_
#define VARNHOLT_TESTS_JET_ORACLE_COMPARE_H_

#include <string>

namespace varnholt {

// Adds a test failure for each table, row or value where our reader and mdb-export disagree.
// Returns the number of rows compared.
long ExpectSameAsMdbExport(const std::string& path, const std::string& password);

}  // namespace varnholt

#endif  // VARNHOLT_TESTS_JET_ORACLE_COMPARE_H_
