// PostedChanges: what the posts waiting in tables change, read straight from the tables' stored
// bytes (paradox::Table::VisitPosted): counted when made, and listed in table order, which is key
// order, as the list is written, so that a list of every field of every row is never held whole.
// Only the fields whose stored bytes differ are decoded; bytes that differ but read the same
// (stale bytes after a text's end) change nothing.
#ifndef VARNHOLT_STORES_BACKUP_POSTED_CHANGES_H_
#define VARNHOLT_STORES_BACKUP_POSTED_CHANGES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "stores/backup/change_list.h"
#include "stores/paradox/table.h"

namespace varnholt {

class PostedChanges : public ChangeSource {
 public:
  // Each table with its .DB's file name, in the list's order. Reads only.
  // REQUIRES: nothing is posted to the tables while this lives.
  explicit PostedChanges(std::vector<std::pair<paradox::Table*, std::string>> tables);

  std::vector<TableCounts> Counts() const override;
  void WriteRows(ChangeListFile* file) const override;
  // The rows of the `index`th table, made whole.
  std::vector<RowChange> Rows(size_t index) const;

 private:
  struct Listed {
    paradox::RowId row;
    const uint8_t* saved;  // nullptr: added
    uint32_t first_field;  // into TablePosts::fields
    uint32_t field_count;
  };
  // Where a field's bytes are in a record, looked up once a table: each is read for every row.
  struct Spot {
    size_t at;
    size_t size;
    bool alpha;
  };
  struct TablePosts {
    paradox::Table* table;
    std::vector<Spot> spots;  // a field each
    TableCounts counts;
    std::vector<Listed> rows;
    std::vector<uint16_t> fields;  // the changed fields of each rewritten row, one after another
    // For a single-byte code page: what each byte of its text is in the list's (empty: decode).
    std::vector<std::string> listed_bytes;
    std::vector<std::string> listed_names;  // the field names in the list's code page
  };

  // The rows of t's table that the posts changed, and t's counts.
  static void FindChanges(TablePosts* t);
  // The value of `field` in `bytes` as the list shows it, in the list's code page, after `out`.
  static void AppendListed(const TablePosts& t, int field, const uint8_t* bytes, std::string* out);
  // The row's key as last saved (a changed key shows as the operator knew the row), as KeyText
  // gives it: in the list's code page, or in UTF-8.
  static std::string ListedKeyOf(const TablePosts& t, const Listed& row);
  static std::string KeyOf(const TablePosts& t, const Listed& row);

  std::vector<TablePosts> tables_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_BACKUP_POSTED_CHANGES_H_
