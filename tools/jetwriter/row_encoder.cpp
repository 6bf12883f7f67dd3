#include "tools/jetwriter/row_encoder.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "tools/jetwriter/jet_format.h"
#include "tools/jetwriter/text_codec.h"

namespace varnholt::jet {

namespace {

using namespace format;

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
    case StoredType::kBinary: return "Binary";
    case StoredType::kOle: return "OLE";
  }
  return "?";
}

std::vector<uint8_t> Fixed64(uint64_t v) {
  std::vector<uint8_t> b(8);
  Put64(b.data(), v);
  return b;
}

std::vector<uint8_t> FixedDouble(double v) {
  std::vector<uint8_t> b(8);
  PutDouble(b.data(), v);
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
    case StoredType::kLong: {
      const auto* v = std::get_if<int64_t>(&cell);
      if (v == nullptr) wrong();
      if (*v < std::numeric_limits<int32_t>::min() || *v > std::numeric_limits<int32_t>::max()) {
        fail("value out of range for Long Integer");
      }
      f.bytes.resize(4);
      Put32(f.bytes.data(), static_cast<uint32_t>(static_cast<int32_t>(*v)));
      break;
    }
    case StoredType::kInteger: {
      const auto* v = std::get_if<int64_t>(&cell);
      if (v == nullptr) wrong();
      if (*v < std::numeric_limits<int16_t>::min() || *v > std::numeric_limits<int16_t>::max()) {
        fail("value out of range for Integer");
      }
      f.bytes.resize(2);
      Put16(f.bytes.data(), static_cast<uint16_t>(static_cast<int16_t>(*v)));
      break;
    }
    case StoredType::kDouble: {
      if (const auto* d = std::get_if<double>(&cell)) {
        f.bytes = FixedDouble(*d);
      } else if (const auto* i = std::get_if<int64_t>(&cell)) {
        f.bytes = FixedDouble(static_cast<double>(*i));
      } else {
        wrong();
      }
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
  return kLongValueRefSize + (f.out_of_line ? 0 : f.bytes.size());
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
  Put16(row.data(), static_cast<uint16_t>(layout.columns.size()));
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
      Put16(word, v);
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
