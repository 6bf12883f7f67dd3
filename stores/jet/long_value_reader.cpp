#include "stores/jet/long_value_reader.h"

#include <algorithm>

#include "stores/jet/data_page.h"
#include "stores/jet/jet_error.h"

namespace varnholt {

using namespace jet_format;

JetLongValueReader::JetLongValueReader(const JetPageReader& pages) : pages_(pages) {}

std::span<const uint8_t> JetLongValueReader::Row(uint32_t pointer) {
  const uint32_t number = pointer >> kRowBits;
  if (number == 0) throw JetFormatError("a long value points to the header page");
  if (number != page_number_) {
    page_number_ = 0;
    pages_.Read(number, &page_);
    page_number_ = number;
  }
  const unsigned row = pointer & kRowMask;
  if (row >= JetRowCount(page_, pages_.Format())) throw JetFormatError("a long value points to a missing row");
  const std::optional<JetRowSlot> slot = FindJetRow(page_, pages_.Format(), row);
  if (!slot) throw JetFormatError("a long value points to a row outside its page");
  return std::span<const uint8_t>(page_).subspan(slot->start, slot->size);
}

void JetLongValueReader::Read(std::span<const uint8_t> field, std::vector<uint8_t>* out) {
  out->clear();
  if (field.size() < kLongValueReferenceSize) return;
  const uint32_t length_and_flags = GetLe32(field.data());
  const size_t length = length_and_flags & ~kLongValueFlags;
  if (length_and_flags & kLongValueInline) {
    const size_t n = std::min(length, field.size() - kLongValueReferenceSize);
    out->assign(field.begin() + kLongValueReferenceSize, field.begin() + kLongValueReferenceSize + n);
    return;
  }
  uint32_t pointer = GetLe32(field.data() + kLongValuePointer);
  if (length_and_flags & kLongValueSingle) {
    const std::span<const uint8_t> row = Row(pointer);
    out->assign(row.begin(), row.begin() + std::min(row.size(), length));
    return;
  }
  if ((length_and_flags & kLongValueFlags) != 0) throw JetFormatError("a long value is of an unknown kind");
  // A chain: each row names the next; the last names none. Every row adds at least a byte, so a
  // chain longer than the value is a loop.
  size_t rows = 0;
  while (pointer != 0 && out->size() < length) {
    const std::span<const uint8_t> row = Row(pointer);
    if (row.size() < kLongValueLinkSize || ++rows > length) throw JetFormatError("a long value's chain is broken");
    pointer = GetLe32(row.data());
    out->insert(out->end(), row.begin() + kLongValueLinkSize, row.end());
  }
  if (out->size() > length) out->resize(length);
}

}  // namespace varnholt
