// TableLayout: where each column of a table lives in a row, derived once from the schema.
// Fixed-width columns sit at fixed offsets after the column count; variable-width columns
// (Text, Memo and the catalog's binary columns) follow in order and are found through offsets.
#ifndef VARNHOLT_TOOLS_JETWRITER_TABLE_LAYOUT_H_
#define VARNHOLT_TOOLS_JETWRITER_TABLE_LAYOUT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/jetwriter/jet_writer.h"

namespace varnholt::jet {

// The public column types plus the two the system catalog needs.
enum class StoredType {
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
  kBinary,  // raw bytes up to the column length (cell: std::string of bytes)
  kOle,     // raw bytes as a long value (cell: std::string of bytes)
};

struct ColumnShape {
  std::string name;
  StoredType type = StoredType::kText;
  int length = 0;  // kText: characters; kBinary: bytes
  int precision = 0;  // kDecimal
  int scale = 0;      // kDecimal
};

struct ColumnLayout {
  std::string name;
  StoredType type;
  uint8_t type_code;
  bool fixed;
  uint16_t number;        // position in the table, 0-based; also the null-mask bit
  uint16_t var_index;     // among the variable columns; 0 for fixed ones
  uint16_t fixed_offset;  // from the end of the column count; fixed columns only
  uint16_t length;        // stored bytes: fixed width, Text characters x 2, 0 for long values
  int max_chars;          // kText only
  uint8_t precision = 0;  // kDecimal only
  uint8_t scale = 0;      // kDecimal only
};

struct TableLayout {
  std::string name;
  bool system = false;
  std::vector<ColumnLayout> columns;
  uint16_t fixed_size = 0;
  uint16_t var_count = 0;
};

// Limits the layout enforces (Access's own).
inline constexpr size_t kMaxColumns = 255;
inline constexpr size_t kMaxNameLength = 64;
inline constexpr int kMaxTextLength = 255;
inline constexpr int kMaxDecimalPrecision = 28;

ColumnShape ToShape(const Column& column);

// Throws std::invalid_argument, naming the table and column, for an empty or too long name,
// a duplicate column name (regardless of case), a bad text length or too many columns.
TableLayout MakeTableLayout(const std::string& table, const std::vector<ColumnShape>& columns,
                            bool system);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_TABLE_LAYOUT_H_
