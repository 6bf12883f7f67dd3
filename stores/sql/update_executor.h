// Plans a parsed UPDATE against one open table: binds its column names, finds the rows its WHERE
// selects (through the engine's equality index when the WHERE compares a column with a constant)
// and computes every new record. The caller writes them all as one step (paradox/update_all.h).
//
// Values convert to their columns as the table component's "set a field from text" does. A
// statement that fails for any reason (unknown column, a value a column cannot take, a key
// clash) writes nothing.
#ifndef VARNHOLT_STORES_SQL_UPDATE_EXECUTOR_H_
#define VARNHOLT_STORES_SQL_UPDATE_EXECUTOR_H_

#include <utility>
#include <vector>

#include "base/regional_settings.h"
#include "stores/sql/sql_parser.h"
#include "stores/paradox/table.h"

namespace varnholt::local_sql {

// The rows the statement changes, each with its whole new record. Reads only. Throws SqlError
// ("Invalid field name." for a column the table lacks, "Type mismatch in expression.") or, for a
// value a field cannot take, InvalidFieldValue ("Invalid value for field '<f>'" and its line)
// before anything is written.
std::vector<std::pair<paradox::RowId, paradox::Record>> PlanUpdate(
    UpdateStatement& statement, paradox::Table& table, const RegionalSettings& settings);

}  // namespace varnholt::local_sql

#endif  // VARNHOLT_STORES_SQL_UPDATE_EXECUTOR_H_
