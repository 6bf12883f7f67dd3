// The four master tables of the school accounting product, as the sample target holds them.
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_VARNHOLT_SCHEMA_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_VARNHOLT_SCHEMA_H_

#include <string>
#include <utility>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt::paradox {

// File name and schema of CH01MAST.DB, DL01MAST.DB, DL00CODE.DB and CLASSMAS.DB: keyed on their
// first field, sort order "ascii", code page 437.
std::vector<std::pair<std::string, TableSchema>> VarnholtSchemas();

// Creates the four tables, empty, in `dir` (which must exist). Throws EngineError when one of
// them exists already or cannot be written.
void CreateVarnholtTables(const std::string& dir);
// Gives the new, empty tables in `dir` secondary indexes that their engine keeps current, as a
// school's real tables may have: CH01MAST by surname and name (a named composite index), DL01MAST
// by description.
void AddVarnholtIndexes(const std::string& dir);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_VARNHOLT_SCHEMA_H_
