#include "stores/jet/row_cracker.h"

#include "stores/jet/jet_error.h"

namespace varnholt {

using namespace jet_format;

namespace {

[[noreturn]] void Broken() { throw JetFormatError("a row does not fit its own counts and offsets"); }

// Jet 3 offsets are single bytes; a jump table says at which entries they pass another 256 bytes.
constexpr size_t kJet3JumpSpan = 256;

}  // namespace

JetRowCracker::JetRowCracker(const Format& format, const JetTableDefinition& table) : format_(format), table_(table) {}

void JetRowCracker::ReadJet4Offsets(std::span<const uint8_t> row, size_t mask_size, unsigned var_count) {
  // From the end: null mask, u16 count, then u16 offsets (first column first), the end of the data last.
  constexpr size_t kWord = 2;
  const size_t table_end = row.size() - mask_size - kWord;
  if (table_end < format_.row_column_count_size + kWord * (var_count + 1)) Broken();
  for (unsigned i = 0; i <= var_count; ++i) offsets_[i] = GetLe16(row.data() + table_end - kWord * (i + 1));
}

void JetRowCracker::ReadJet3Offsets(std::span<const uint8_t> row, size_t mask_size, unsigned var_count) {
  // From the end: null mask, u8 count, the jump table, then u8 offsets (first column first).
  const size_t row_end = row.size() - 1;
  size_t jumps = (row.size() - 1) / kJet3JumpSpan;
  if (row_end < mask_size + jumps + 1) Broken();
  const size_t first_offset = row_end - mask_size - jumps - 1;
  if (first_offset < var_count) Broken();
  // The last jump entry is only a filler when the offsets never reach that far.
  if (jumps > 0 && (first_offset - var_count) / kJet3JumpSpan < jumps) --jumps;
  size_t jumps_used = 0;
  for (unsigned i = 0; i <= var_count; ++i) {
    while (jumps_used < jumps && i == row[row_end - mask_size - jumps_used - 1]) ++jumps_used;
    offsets_[i] = row[first_offset - i] + jumps_used * kJet3JumpSpan;
  }
}

void JetRowCracker::Crack(std::span<const uint8_t> row, std::vector<JetField>* fields) {
  const size_t count_size = format_.row_column_count_size;
  if (row.size() < count_size) Broken();
  const unsigned row_columns = format_.jet4 ? GetLe16(row.data()) : row[0];
  const size_t mask_size = (row_columns + 7) / 8;
  if (mask_size + count_size > row.size()) Broken();
  const uint8_t* mask = row.data() + row.size() - mask_size;

  unsigned var_count = 0;
  if (table_.var_column_count > 0) {
    const size_t count_at = row.size() - mask_size - (format_.jet4 ? 2 : 1);
    if (count_at < count_size) Broken();
    var_count = format_.jet4 ? GetLe16(row.data() + count_at) : row[count_at];
    offsets_.resize(var_count + 1);
    if (format_.jet4) {
      ReadJet4Offsets(row, mask_size, var_count);
    } else {
      ReadJet3Offsets(row, mask_size, var_count);
    }
  }
  if (var_count > row_columns) Broken();
  const unsigned fixed_count = row_columns - var_count;

  fields->resize(table_.columns.size());
  unsigned fixed_found = 0;
  for (size_t i = 0; i < table_.columns.size(); ++i) {
    const JetColumn& column = table_.columns[i];
    JetField& field = (*fields)[i];
    const size_t byte = column.number / 8;
    field.is_null = byte >= mask_size || (mask[byte] & (1u << (column.number % 8))) == 0;
    if (column.fixed && fixed_found < fixed_count) {
      ++fixed_found;
      field.start = count_size + column.fixed_offset;
      field.size = column.length;
      if (field.start + field.size > row.size()) Broken();
    } else if (!column.fixed && column.var_index < var_count) {
      field.start = offsets_[column.var_index];
      const size_t end = offsets_[column.var_index + 1];
      if (end < field.start || end > row.size()) Broken();
      field.size = end - field.start;
    } else {
      field = JetField{};
    }
  }
}

}  // namespace varnholt
