#include "tools/jetwriter/table_layout.h"

#include <set>
#include <stdexcept>

#include "base/ascii.h"
#include "stores/jet/jet_format.h"
#include "tools/jetwriter/text_codec.h"

namespace varnholt::jet {

namespace {

using namespace jet_format;

struct TypeInfo {
  uint8_t code;
  bool fixed;
  uint16_t width;  // fixed columns
};

TypeInfo InfoOf(StoredType type) {
  switch (type) {
    case StoredType::kLong: return {kTypeLong, true, 4};
    case StoredType::kInteger: return {kTypeInteger, true, 2};
    case StoredType::kDateTime: return {kTypeDateTime, true, 8};
    case StoredType::kDouble: return {kTypeDouble, true, 8};
    case StoredType::kCurrency: return {kTypeMoney, true, 8};
    case StoredType::kBoolean: return {kTypeBoolean, true, 0};  // the value is the null-mask bit
    case StoredType::kByte: return {kTypeByte, true, 1};
    case StoredType::kSingle: return {kTypeSingle, true, 4};
    case StoredType::kGuid: return {kTypeGuid, true, kGuidSize};
    case StoredType::kDecimal: return {kTypeNumeric, true, kNumericSize};
    case StoredType::kText: return {kTypeText, false, 0};
    case StoredType::kMemo: return {kTypeMemo, false, 0};
    case StoredType::kBinary: return {kTypeBinary, false, 0};
    case StoredType::kOle: return {kTypeOle, false, 0};
  }
  throw std::invalid_argument("unknown column type");
}

void CheckName(const std::string& name, const std::string& what) {
  if (name.empty()) throw std::invalid_argument(what + ": empty name");
  if (Utf8ToUtf16(name).size() > kMaxNameLength) {
    throw std::invalid_argument(what + ": name longer than 64 characters");
  }
}

}  // namespace

ColumnShape ToShape(const Column& column) {
  StoredType type = StoredType::kText;
  switch (column.type) {
    case ColumnType::kLong: type = StoredType::kLong; break;
    case ColumnType::kInteger: type = StoredType::kInteger; break;
    case ColumnType::kText: type = StoredType::kText; break;
    case ColumnType::kMemo: type = StoredType::kMemo; break;
    case ColumnType::kDateTime: type = StoredType::kDateTime; break;
    case ColumnType::kDouble: type = StoredType::kDouble; break;
    case ColumnType::kCurrency: type = StoredType::kCurrency; break;
    case ColumnType::kBoolean: type = StoredType::kBoolean; break;
    case ColumnType::kByte: type = StoredType::kByte; break;
    case ColumnType::kSingle: type = StoredType::kSingle; break;
    case ColumnType::kGuid: type = StoredType::kGuid; break;
    case ColumnType::kDecimal: type = StoredType::kDecimal; break;
  }
  return {column.name, type, column.text_length, column.precision, column.scale};
}

TableLayout MakeTableLayout(const std::string& table, const std::vector<ColumnShape>& columns,
                            bool system) {
  const std::string where = "table '" + table + "'";
  CheckName(table, where);
  if (columns.empty()) throw std::invalid_argument(where + ": no columns");
  if (columns.size() > kMaxColumns) throw std::invalid_argument(where + ": more than 255 columns");

  TableLayout layout;
  layout.name = table;
  layout.system = system;
  std::set<std::string> seen;
  for (const ColumnShape& column : columns) {
    const std::string col_where = where + ", column '" + column.name + "'";
    CheckName(column.name, col_where);
    if (!seen.insert(AsciiLower(column.name)).second) {
      throw std::invalid_argument(col_where + ": duplicate column name");
    }
    const TypeInfo info = InfoOf(column.type);
    ColumnLayout col{column.name, column.type, info.code, info.fixed,
                     static_cast<uint16_t>(layout.columns.size()), 0, 0, 0, 0};
    if (column.type == StoredType::kDecimal) {
      if (column.precision < 1 || column.precision > kMaxDecimalPrecision || column.scale < 0 ||
          column.scale > column.precision) {
        throw std::invalid_argument(col_where + ": decimal precision must be 1..28, scale 0..precision");
      }
      col.precision = static_cast<uint8_t>(column.precision);
      col.scale = static_cast<uint8_t>(column.scale);
    }
    if (info.fixed) {
      col.fixed_offset = layout.fixed_size;
      col.length = info.width;
      layout.fixed_size = static_cast<uint16_t>(layout.fixed_size + info.width);
    } else {
      col.var_index = layout.var_count++;
      if (column.type == StoredType::kText) {
        if (column.length < 1 || column.length > kMaxTextLength) {
          throw std::invalid_argument(col_where + ": text length must be 1..255");
        }
        col.max_chars = column.length;
        col.length = static_cast<uint16_t>(column.length * 2);
      } else if (column.type == StoredType::kBinary) {
        if (column.length < 1 || column.length > 510) {
          throw std::invalid_argument(col_where + ": binary length must be 1..510");
        }
        col.length = static_cast<uint16_t>(column.length);
      }
    }
    layout.columns.push_back(col);
  }
  return layout;
}

}  // namespace varnholt::jet
