#include "stores/jet/data_page.h"

#include "stores/jet/jet_error.h"

namespace varnholt {

using namespace jet_format;

unsigned JetRowCount(std::span<const uint8_t> page, const Format& format) {
  const unsigned rows = GetLe16(page.data() + format.row_count);
  if (format.row_offsets + kRowOffsetSize * rows > page.size()) {
    throw JetFormatError("a data page lists more rows than it can hold");
  }
  return rows;
}

std::optional<JetRowSlot> FindJetRow(std::span<const uint8_t> page, const Format& format, unsigned row) {
  const uint16_t raw = GetLe16(page.data() + format.row_offsets + kRowOffsetSize * row);
  const size_t start = raw & kRowOffsetMask;
  const size_t end =
      row == 0 ? page.size() : (GetLe16(page.data() + format.row_offsets + kRowOffsetSize * (row - 1)) & kRowOffsetMask);
  if (start >= page.size() || start > end || end > page.size()) return std::nullopt;
  return JetRowSlot{start, end - start, static_cast<uint16_t>(raw & ~kRowOffsetMask)};
}

bool IsDataPageOf(std::span<const uint8_t> page, uint32_t definition_page) {
  return page[0] == kPageData && GetLe32(page.data() + kDataOwner) == definition_page;
}

}  // namespace varnholt
