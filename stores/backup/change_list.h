// What a command changed in the target tables, row by row, for the operator to read: each row
// added, rewritten (with every changed field's old and new value) or removed, and per table how
// many rows were added, rewritten, removed and left as they were. Written as a CSV file in
// Windows-1252 with CR LF line ends, as the parent-link report is.
#ifndef VARNHOLT_STORES_BACKUP_CHANGE_LIST_H_
#define VARNHOLT_STORES_BACKUP_CHANGE_LIST_H_

#include <cstddef>
#include <string>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt {

enum class RowChangeKind { kAdded, kRewritten, kRemoved };

struct FieldChange {
  std::string field;
  std::string before;  // the values as text (ValueText)
  std::string after;
};

struct RowChange {
  RowChangeKind kind = RowChangeKind::kAdded;
  std::string key;                  // the key fields' values, joined by " / "
  std::vector<FieldChange> fields;  // rewritten rows only
};

struct TableChanges {
  std::string table;  // the .DB's file name
  size_t added = 0;
  size_t rewritten = 0;
  size_t removed = 0;
  size_t unchanged = 0;
  std::vector<RowChange> rows;  // in key order
};

using ChangeList = std::vector<TableChanges>;

// A value as the list shows it: text as it stands, dates as yyyy-mm-dd, numbers with a point,
// logicals as True or False, null as nothing.
std::string ValueText(const paradox::Value& value);

// What the posts of `table` since its last save change (paradox::Table::Posted). A row rewritten
// to the values it was saved with counts as unchanged. Reads only.
TableChanges ChangesOfPosts(paradox::Table& table, const std::string& file_name);

// What turning `before` into `after` changes, rows matched by key (by position where the tables
// are not keyed). Both must have the same fields. Reads only.
TableChanges ChangesBetween(paradox::Table& before, paradox::Table& after, const std::string& file_name);

// Rows added and rewritten over every table.
size_t RowsAdded(const ChangeList& changes);
size_t RowsRewritten(const ChangeList& changes);

// One line a table: "NAME: N added, N rewritten, N removed, N unchanged".
std::vector<std::string> SummaryLines(const ChangeList& changes);

// Writes the list to `path` (a new file, replacing one there): the summary first, one row a table,
// then one row per added or removed row and per changed field of a rewritten row. Throws FileError
// naming the file when it cannot be written.
void WriteChangeList(const std::string& path, const ChangeList& changes);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_BACKUP_CHANGE_LIST_H_
