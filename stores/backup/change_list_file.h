// ChangeListFile: writes a change list (change_list.h) to its file as it is made: the summary, a
// row a table, then the lines of each changed row. Windows-1252 with CR LF line ends, as the
// parent-link report is; a value that would break the comma-separated layout is quoted. The text
// goes out in pieces, each field converted as it is added, so a list of every field of every row
// of a school is never whole in memory.
#ifndef VARNHOLT_STORES_BACKUP_CHANGE_LIST_FILE_H_
#define VARNHOLT_STORES_BACKUP_CHANGE_LIST_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/os/os_file.h"
#include "stores/backup/change_list.h"

namespace varnholt {

// The lines of changed rows, appended to a piece of text.
class ChangeLines {
 public:
  explicit ChangeLines(std::string* out) : out_(out) {}

  // Starts the lines of a row of `table`, known by `key`.
  void BeginRow(std::string_view table, std::string_view key, RowChangeKind kind);
  // As BeginRow, with the key already in the list's code page (ListedText).
  void BeginListedRow(std::string_view table, std::string_view listed_key, RowChangeKind kind);
  // The row's one line, for a row added or removed.
  void WholeRowLine();
  // A line for one changed field of the row, with its values as text (ValueText).
  void FieldLine(std::string_view field, std::string_view before, std::string_view after);
  // As FieldLine, with every text already in the list's code page.
  void ListedFieldLine(std::string_view field, std::string_view before, std::string_view after);

 private:
  std::string* out_;
  std::string opening_;  // the row's table, key and change, with their commas
};

class ChangeListFile {
 public:
  // Creates the file at `path` (replacing one there) and writes the summary of `counts`. Throws
  // FileError naming the file when it cannot, as every call after it does.
  ChangeListFile(const std::string& path, const std::vector<TableCounts>& counts);

  // Adds the lines in *lines (ChangeLines) to the file, leaving *lines empty.
  void Take(std::string* lines);
  // Writes what is left and flushes the file to the disk.
  void Finish();

  // Lines held before they go to the file.
  static constexpr size_t kPieceBytes = 1 << 20;

 private:
  void Write(const std::string& text);

  os::OsFile file_;
  std::string text_;  // what waits to be written
  uint64_t written_ = 0;
};

// UTF-8 text in the list's code page, Windows-1252.
std::string ListedText(const std::string& utf8);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_BACKUP_CHANGE_LIST_FILE_H_
