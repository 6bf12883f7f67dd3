// JetWriter: writes a new Jet 4 (Access 2000-2003) database file holding plain tables, for sample
// schools and tests. The files are read back by mdbtools (libmdb) and by the project's own reader.
//
// What it writes: page 0 (header, optionally with a database password), the system catalog
// (MSysObjects) and one table definition per table, with data pages and, for long memos, LVAL
// pages. Tables have no indexes, no relationships and no properties; pages are never encoded.
//
// Column types: Long Integer, Integer, Byte, Text(n), Memo, Date/Time, Double, Single, Currency,
// Yes/No, GUID (Replication ID), Decimal(precision, scale).
// Cells a column accepts (anything else throws std::invalid_argument):
//   every type      std::monostate = NULL (Yes/No cannot be NULL in Jet: stored as No)
//   kLong, kInteger int64_t, range-checked (32 / 16 bit)
//   kDouble         double or int64_t
//   kCurrency       Currency (exact, 1/10000 units), double (rounded to 1/10000) or int64_t (whole units)
//   kBoolean        bool
//   kByte           int64_t, 0..255
//   kSingle         double or int64_t (stored as the nearest float)
//   kGuid           std::string "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in any case)
//   kDecimal        std::string of decimal digits with an optional '-' and '.', at most `scale`
//                   decimals (fewer are padded) and `precision` digits in all
//   kText, kMemo    std::string, valid UTF-8; Text holds at most text_length UTF-16 units;
//                   no U+0000, and no leading U+FEFF (it would read as the compression mark)
//   kDateTime       DateTime
// Text is stored compressed (one byte per character) when every character is U+0001..U+00FF and
// that is shorter, else as UCS-2; characters outside the BMP become surrogate pairs (libmdb 1.0
// reads each of those back as "??").
//
// Limits: at most 255 columns per table; a row's fixed part plus its text must fit one page
// (about 4,000 bytes; memos longer than that go to LVAL pages and do not count); at most 20
// password characters; names up to 64 characters.
#ifndef VARNHOLT_TOOLS_JETWRITER_JET_WRITER_H_
#define VARNHOLT_TOOLS_JETWRITER_JET_WRITER_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace varnholt::jet {

enum class ColumnType {
  kLong,
  kInteger,
  kText,
  kMemo,
  kDateTime,
  kDouble,
  kCurrency,
  kBoolean,
  kByte,
  kSingle,
  kGuid,
  kDecimal,
};

struct Column {
  std::string name;
  ColumnType type = ColumnType::kText;
  int text_length = 50;  // kText only: maximum characters, 1..255
  int precision = 18;    // kDecimal only: digits in all, 1..28
  int scale = 0;         // kDecimal only: digits after the point, 0..precision
};

// A Jet date: days since 1899-12-30 00:00, the time as the fraction. Before that day the day part
// is negative and the time still counts forward (1899-12-29 06:00 is -1.25).
struct DateTime {
  double days = 0;

  // REQUIRES: a valid civil date and time (proleptic Gregorian calendar).
  static DateTime FromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0);
};

// Money in 1/10000 units (Jet stores Currency as a scaled 64-bit integer): 12.34 is {123400}.
struct Currency {
  int64_t ten_thousandths = 0;
};

using Cell = std::variant<std::monostate, int64_t, double, bool, std::string, DateTime, Currency>;

struct TableData {
  std::string name;
  std::vector<Column> columns;
  std::vector<std::vector<Cell>> rows;  // each row holds one cell per column, in column order
};

struct WriteOptions {
  std::string password;  // UTF-8, "" = none
  // Stored in the header; the password mask is derived from it. Unset: the current time.
  std::optional<DateTime> created;
};

// Streaming writer for tables too large to hold in memory: rows go to disk page by page.
//
//   DatabaseWriter w(path, options);
//   w.BeginTable("Learner_info", columns);
//   for (...) w.AddRow(cells);
//   w.BeginTable(...) ...
//   w.Finish();
//
// Failures throw: std::runtime_error for files (message names the path), std::invalid_argument for
// bad schemas and cells (message names the table and column), std::logic_error for calls out of
// order. A rejected schema or row is simply not written and the writer goes on; after a file
// failure it refuses every call. Destroying an unfinished writer leaves an incomplete file.
class DatabaseWriter {
 public:
  // Creates or truncates the file at path. Throws std::invalid_argument for a password longer than
  // 20 characters (UTF-16 units) or holding NUL, before touching the file.
  DatabaseWriter(const std::string& path, const WriteOptions& options = {});
  ~DatabaseWriter();
  DatabaseWriter(const DatabaseWriter&) = delete;
  DatabaseWriter& operator=(const DatabaseWriter&) = delete;

  // Starts a new table; the previous one is complete. Names are unique regardless of case.
  void BeginTable(const std::string& name, const std::vector<Column>& columns);
  // REQUIRES: a table has been begun. cells.size() == the table's column count.
  void AddRow(const std::vector<Cell>& cells);
  // Writes the catalog, the table definitions and the header, and closes the file.
  void Finish();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Writes the whole database at once (tables in the given order). Same failures as DatabaseWriter.
void WriteDatabase(const std::string& path, const std::vector<TableData>& tables,
                   const WriteOptions& options = {});

// The password stored in a Jet 4 header (page 0, at least 0x80 bytes), as UTF-8; "" when none.
// Throws std::invalid_argument when the bytes are not a Jet 4 header.
std::string DecodePassword(std::span<const uint8_t> header);
// The same, reading page 0 of the file at path; throws std::runtime_error when unreadable.
std::string DecodePasswordOfFile(const std::string& path);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_JET_WRITER_H_
