#include "tools/jetwriter/row_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "stores/jet/jet_format.h"
#include "tools/jetwriter/text_codec.h"

namespace varnholt::jet {

namespace {

using namespace jet_format;

// One column's part of the row, before the row is assembled.
struct Field {
  bool present = false;            // the null-mask bit
  std::vector<uint8_t> bytes;      // fixed value, or the variable value
  bool long_value = false;         // bytes is long-value data
  bool out_of_line = false;        // long value moved to LVAL pages
};

class CellError {
 public:
  CellError(const TableLayout& layout, const ColumnLayout& column)
      : where_("table '" + layout.name + "', column '" + column.name + "': ") {}
  [[noreturn]] void operator()(const std::string& what) const {
    throw std::invalid_argument(where_ + what);
  }

 private:
  std::string where_;
};

const char* TypeName(StoredType type) {
  switch (type) {
    case StoredType::kLong: return "Long Integer";
    case StoredType::kInteger: return "Integer";
    case StoredType::kText: return "Text";
    case StoredType::kMemo: return "Memo";
    case StoredType::kDateTime: return "Date/Time";
    case StoredType::kDouble: return "Double";
    case StoredType::kCurrency: return "Currency";
    case StoredType::kBoolean: return "Yes/No";
    case StoredType::kByte: return "Byte";
    case StoredType::kSingle: return "Single";
    case StoredType::kGuid: return "GUID";
    case StoredType::kDecimal: return "Decimal";
    case StoredType::kBinary: return "Binary";
    case StoredType::kOle: return "OLE";
  }
  return "?";
}

std::vector<uint8_t> Fixed64(uint64_t v) {
  std::vector<uint8_t> b(8);
  PutLe64(b.data(), v);
  return b;
}

std::vector<uint8_t> FixedDouble(double v) {
  std::vector<uint8_t> b(8);
  PutLeDouble(b.data(), v);
  return b;
}

int64_t CurrencyUnits(const Cell& cell, const CellError& fail) {
  constexpr double kScale = 10000.0;
  if (const auto* c = std::get_if<Currency>(&cell)) return c->ten_thousandths;
  if (const auto* d = std::get_if<double>(&cell)) {
    const double scaled = std::round(*d * kScale);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0) {
      fail("currency value out of range");
    }
    return static_cast<int64_t>(scaled);
  }
  if (const auto* i = std::get_if<int64_t>(&cell)) {
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10000;
    if (*i > kLimit || *i < -kLimit) fail("currency value out of range");
    return *i * 10000;
  }
  fail("Currency takes Currency, double or int64_t");
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" to the stored bytes: the first three groups
// little-endian, the rest as written.
std::vector<uint8_t> GuidBytes(const std::string& text, const CellError& fail) {
  constexpr char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  constexpr int kStoredAt[kGuidSize] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  if (text.size() != sizeof kShape - 1) fail("GUID not of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
  std::vector<uint8_t> bytes(kGuidSize);
  size_t k = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] != 'X') {
      if (text[i] != kShape[i]) fail("GUID not of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
      continue;
    }
    const int high = HexValue(text[i]), low = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
    if (high < 0 || low < 0) fail("GUID holds a character that is not a hex digit");
    bytes[kStoredAt[k++]] = static_cast<uint8_t>(high * 16 + low);
    ++i;
  }
  return bytes;
}

// A decimal text to the stored 17 bytes: the sign, then the value times 10^scale as four u32 words,
// most significant first.
std::vector<uint8_t> DecimalBytes(const std::string& text, const ColumnLayout& col, const CellError& fail) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::string digits;
  int decimals = -1;
  for (; i < text.size(); ++i) {
    if (text[i] == '.' && decimals < 0) {
      decimals = 0;
    } else if (text[i] >= '0' && text[i] <= '9') {
      digits += text[i];
      if (decimals >= 0) ++decimals;
    } else {
      fail("decimal text holds something other than digits, '-' and '.'");
    }
  }
  if (digits.empty()) fail("decimal text holds no digits");
  if (decimals > col.scale) fail("decimal text has more decimals than the column's scale");
  digits.append(static_cast<size_t>(col.scale - std::max(decimals, 0)), '0');
  const size_t first = std::min(digits.find_first_not_of('0'), digits.size());
  if (digits.size() - first > col.precision) fail("decimal value has more digits than the column's precision");
  uint32_t words[4] = {0, 0, 0, 0};  // most significant first
  for (char d : digits) {
    uint64_t carry = static_cast<uint64_t>(d - '0');
    for (int w = 3; w >= 0; --w) {
      const uint64_t v = static_cast<uint64_t>(words[w]) * 10 + carry;
      words[w] = static_cast<uint32_t>(v);
      carry = v >> 32;
    }
  }
  std::vector<uint8_t> bytes(kNumericSize, 0);
  bytes[0] = negative ? kNumericNegative : 0;
  for (int w = 0; w < 4; ++w) PutLe32(&bytes[1 + 4 * w], words[w]);
  return bytes;
}

std::vector<uint8_t> TextBytes(const std::string& utf8, const ColumnLayout& col,
                               const CellError& fail) {
  std::u16string text;
  try {
    text = Utf8ToUtf16(utf8);
  } catch (const std::invalid_argument&) {
    fail("invalid UTF-8");
  }
  if (text.find(u'\0') != std::u16string::npos) fail("text holds a NUL character");
  // Stored as UCS-2, a leading U+FEFF would read as the compressed-text marker.
  if (!text.empty() && text.front() == u'\uFEFF') fail("text starts with U+FEFF");
  if (col.type == StoredType::kText && text.size() > static_cast<size_t>(col.max_chars)) {
    fail("text of " + std::to_string(text.size()) + " characters exceeds Text(" +
         std::to_string(col.max_chars) + ")");
  }
  return EncodeText(text);
}

// The bytes of a number column's value (Long, Integer, Double, Byte, Single).
template <typename Wrong>
std::vector<uint8_t> NumberBytes(StoredType type, const Cell& cell, const CellError& fail, Wrong wrong) {
  std::vector<uint8_t> bytes;
  switch (type) {
    case StoredType::kLong: {
      const auto* v = std::get_if<int64_t>(&cell);
      if (v == nullptr) wrong();
      if (*v < std::numeric_limits<int32_t>::min() || *v > std::numeric_limits<int32_t>::max()) {
        fail("value out of range for Long Integer");
      }
      bytes.resize(4);
      PutLe32(bytes.data(), static_cast<uint32_t>(static_cast<int32_t>(*v)));
      return bytes;
    }
    case StoredType::kInteger: {
      const auto* v = std::get_if<int64_t>(&cell);
      if (v == nullptr) wrong();
      if (*v < std::numeric_limits<int16_t>::min() || *v > std::numeric_limits<int16_t>::max()) {
        fail("value out of range for Integer");
      }
      bytes.resize(2);
      PutLe16(bytes.data(), static_cast<uint16_t>(static_cast<int16_t>(*v)));
      return bytes;
    }
    case StoredType::kDouble: {
      if (const auto* d = std::get_if<double>(&cell)) {
        bytes = FixedDouble(*d);
      } else if (const auto* i = std::get_if<int64_t>(&cell)) {
        bytes = FixedDouble(static_cast<double>(*i));
      } else {
        wrong();
      }
      return bytes;
    }
    case StoredType::kByte: {
      const auto* v = std::get_if<int64_t>(&cell);
      if (v == nullptr) wrong();
      if (*v < 0 || *v > 255) fail("value out of range for Byte");
      bytes.assign(1, static_cast<uint8_t>(*v));
      return bytes;
    }
    case StoredType::kSingle: {
      float value = 0;
      if (const auto* d = std::get_if<double>(&cell)) {
        value = static_cast<float>(*d);
      } else if (const auto* i = std::get_if<int64_t>(&cell)) {
        value = static_cast<float>(*i);
      } else {
        wrong();
      }
      bytes.resize(4);
      uint32_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      PutLe32(bytes.data(), bits);
      return bytes;
    }
    default:
      break;
  }
  return bytes;
}

Field MakeField(const TableLayout& layout, const ColumnLayout& col, const Cell& cell) {
  const CellError fail(layout, col);
  Field f;
  if (std::holds_alternative<std::monostate>(cell)) {
    if (col.fixed) f.bytes.assign(col.length, 0);
    return f;  // NULL; Yes/No reads as No
  }
  f.present = true;
  auto wrong = [&]() { fail(std::string("wrong kind of cell for a ") + TypeName(col.type) + " column"); };
  switch (col.type) {
    case StoredType::kLong:
    case StoredType::kInteger:
    case StoredType::kDouble:
    case StoredType::kByte:
    case StoredType::kSingle:
      f.bytes = NumberBytes(col.type, cell, fail, wrong);
      break;
    case StoredType::kGuid: {
      const auto* v = std::get_if<std::string>(&cell);
      if (v == nullptr) wrong();
      f.bytes = GuidBytes(*v, fail);
      break;
    }
    case StoredType::kDecimal: {
      const auto* v = std::get_if<std::string>(&cell);
      if (v == nullptr) wrong();
      f.bytes = DecimalBytes(*v, col, fail);
      break;
    }
    case StoredType::kCurrency:
      f.bytes = Fixed64(static_cast<uint64_t>(CurrencyUnits(cell, fail)));
      break;
    case StoredType::kDateTime: {
      const auto* v = std::get_if<DateTime>(&cell);
      if (v == nullptr) wrong();
      if (!std::isfinite(v->days)) fail("date is not a finite number");
      f.bytes = FixedDouble(v->days);
      break;
    }
    case StoredType::kBoolean: {
      const auto* v = std::get_if<bool>(&cell);
      if (v == nullptr) wrong();
      f.present = *v;
      break;
    }
    case StoredType::kText:
    case StoredType::kMemo: {
      const auto* v = std::get_if<std::string>(&cell);
      if (v == nullptr) wrong();
      f.bytes = TextBytes(*v, col, fail);
      f.long_value = col.type == StoredType::kMemo;
      if (f.long_value && f.bytes.size() > kLongValueMaxLength) fail("memo too long");
      break;
    }
    case StoredType::kBinary:
    case StoredType::kOle: {
      const auto* v = std::get_if<std::string>(&cell);
      if (v == nullptr) wrong();
      f.bytes.assign(v->begin(), v->end());
      f.long_value = col.type == StoredType::kOle;
      if (!f.long_value && f.bytes.size() > col.length) fail("binary value too long");
      break;
    }
  }
  return f;
}

size_t StoredSize(const Field& f) {
  if (!f.present) return f.long_value ? 0 : f.bytes.size();
  if (!f.long_value) return f.bytes.size();
  return kLongValueReferenceSize + (f.out_of_line ? 0 : f.bytes.size());
}

size_t RowSize(const TableLayout& layout, const std::vector<Field>& fields) {
  const size_t mask = (layout.columns.size() + 7) / 8;
  size_t size = 2 + layout.fixed_size + mask;
  if (layout.var_count == 0) return size;
  size += 2 + 2 * layout.var_count + 2;  // end of data, offsets, count
  for (size_t i = 0; i < fields.size(); ++i) {
    if (!layout.columns[i].fixed) size += StoredSize(fields[i]);
  }
  return size;
}

}  // namespace

std::vector<uint8_t> EncodeRow(const TableLayout& layout, const std::vector<Cell>& cells,
                               LongValueWriter& long_values) {
  if (cells.size() != layout.columns.size()) {
    throw std::invalid_argument("table '" + layout.name + "': row of " +
                                std::to_string(cells.size()) + " cells for " +
                                std::to_string(layout.columns.size()) + " columns");
  }
  std::vector<Field> fields;
  fields.reserve(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    fields.push_back(MakeField(layout, layout.columns[i], cells[i]));
  }

  // Move the largest long values out until the row is short enough.
  while (RowSize(layout, fields) > kMaxTableRow) {
    Field* largest = nullptr;
    for (Field& f : fields) {
      if (f.present && f.long_value && !f.out_of_line &&
          (largest == nullptr || f.bytes.size() > largest->bytes.size())) {
        largest = &f;
      }
    }
    if (largest == nullptr) {
      throw std::invalid_argument("table '" + layout.name + "': row of " +
                                  std::to_string(RowSize(layout, fields)) +
                                  " bytes is longer than a page allows");
    }
    largest->out_of_line = true;
  }

  std::vector<uint8_t> row;
  row.reserve(RowSize(layout, fields));
  row.resize(2 + layout.fixed_size, 0);
  PutLe16(row.data(), static_cast<uint16_t>(layout.columns.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    const ColumnLayout& col = layout.columns[i];
    if (col.fixed && !fields[i].bytes.empty()) {
      std::memcpy(&row[2 + col.fixed_offset], fields[i].bytes.data(), fields[i].bytes.size());
    }
  }
  if (layout.var_count > 0) {
    std::vector<uint16_t> offsets;
    offsets.reserve(layout.var_count);
    for (size_t i = 0; i < fields.size(); ++i) {
      const ColumnLayout& col = layout.columns[i];
      if (col.fixed) continue;
      offsets.push_back(static_cast<uint16_t>(row.size()));
      const Field& f = fields[i];
      if (!f.present) continue;
      if (!f.long_value) {
        row.insert(row.end(), f.bytes.begin(), f.bytes.end());
      } else if (f.out_of_line) {
        const LongValueRef ref = long_values.Store(f.bytes);
        row.insert(row.end(), ref.begin(), ref.end());
      } else {
        const LongValueRef ref = InlineLongValueRef(f.bytes.size());
        row.insert(row.end(), ref.begin(), ref.end());
        row.insert(row.end(), f.bytes.begin(), f.bytes.end());
      }
    }
    const auto end_of_data = static_cast<uint16_t>(row.size());
    uint8_t word[2];
    auto append16 = [&](uint16_t v) {
      PutLe16(word, v);
      row.insert(row.end(), word, word + 2);
    };
    append16(end_of_data);
    for (size_t k = offsets.size(); k-- > 0;) append16(offsets[k]);
    append16(layout.var_count);
  }
  std::vector<uint8_t> mask((layout.columns.size() + 7) / 8, 0);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].present) mask[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  }
  row.insert(row.end(), mask.begin(), mask.end());
  return row;
}

}  // namespace varnholt::jet
