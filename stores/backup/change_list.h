// What a command changed in the target tables, row by row, for the operator to read: each row
// added, rewritten (with every changed field's old and new value) or removed, and per table how
// many rows were added, rewritten, removed and left as they were. Written as a CSV file in
// Windows-1252 with CR LF line ends, as the parent-link report is (change_list_file.h).
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

struct TableCounts {
  std::string table;  // the .DB's file name
  size_t added = 0;
  size_t rewritten = 0;
  size_t removed = 0;
  size_t unchanged = 0;
};

struct TableChanges : TableCounts {
  std::vector<RowChange> rows;  // in key order
};

using ChangeList = std::vector<TableChanges>;

class ChangeListFile;

// Changes to be listed: each table's counts, and their rows, written to a list when asked.
class ChangeSource {
 public:
  virtual ~ChangeSource() = default;
  virtual std::vector<TableCounts> Counts() const = 0;
  virtual void WriteRows(ChangeListFile* file) const = 0;
};

// A ChangeSource over changes made whole (a restore's, which compares two tables).
class KnownChanges : public ChangeSource {
 public:
  explicit KnownChanges(const ChangeList& changes) : changes_(changes) {}
  std::vector<TableCounts> Counts() const override;
  void WriteRows(ChangeListFile* file) const override;

 private:
  const ChangeList& changes_;
};

// A value as the list shows it: text as it stands, dates as yyyy-mm-dd, numbers with a point,
// logicals as True or False, null as nothing.
std::string ValueText(const paradox::Value& value);

// A row's key as the list shows it: the values of the table's key fields (the first field where it
// has none) that `record` holds, joined by " / ".
std::string KeyText(const paradox::Table& table, const paradox::Record& record);

// What the posts of `table` since its last save change (posted_changes.h), made whole. A row
// rewritten to the values it was saved with counts as unchanged. Reads only.
TableChanges ChangesOfPosts(paradox::Table& table, const std::string& file_name);

// What turning `before` into `after` changes, rows matched by key (by position where the tables
// are not keyed). Both must have the same fields. Reads only.
TableChanges ChangesBetween(paradox::Table& before, paradox::Table& after, const std::string& file_name);

std::vector<TableCounts> CountsOf(const ChangeList& changes);
// Rows added and rewritten over every table.
size_t RowsAdded(const std::vector<TableCounts>& counts);
size_t RowsRewritten(const std::vector<TableCounts>& counts);

// One line a table: "NAME: N added, N rewritten, N removed, N unchanged".
std::vector<std::string> SummaryLines(const std::vector<TableCounts>& counts);

// Writes the list to `path` (a new file, replacing one there): the summary first, one row a table,
// then one row per added or removed row and per changed field of a rewritten row. Throws FileError
// naming the file when it cannot be written.
void WriteChangeList(const std::string& path, const ChangeSource& changes);
void WriteChangeList(const std::string& path, const ChangeList& changes);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_BACKUP_CHANGE_LIST_H_
