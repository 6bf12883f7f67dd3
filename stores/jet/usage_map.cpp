#include "stores/jet/usage_map.h"

#include "stores/jet/jet_error.h"

namespace varnholt {

using namespace jet_format;

namespace {

constexpr size_t kPointerSize = 4;

void AddPage(uint64_t page, const JetPageReader& pages, std::vector<uint32_t>* out) {
  if (page == 0) return;  // the header page belongs to no table
  if (page >= pages.PageCount()) throw JetFormatError("a usage map names a page past the end of the file");
  out->push_back(static_cast<uint32_t>(page));
}

// Adds the pages whose bits are set in `bitmap`, the first bit standing for page `first`.
void AddBitmap(std::span<const uint8_t> bitmap, uint64_t first, const JetPageReader& pages,
               std::vector<uint32_t>* out) {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    if (bitmap[byte] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (bitmap[byte] & (1u << bit)) AddPage(first + byte * 8 + bit, pages, out);
    }
  }
}

}  // namespace

std::vector<uint32_t> ReadUsageMap(std::span<const uint8_t> map, const JetPageReader& pages) {
  std::vector<uint32_t> out;
  if (map.empty()) throw JetFormatError("a usage map is empty");
  if (map[0] == kUsageMapInline) {
    if (map.size() < kUsageMapInlineBitmap) throw JetFormatError("a usage map is too short");
    AddBitmap(map.subspan(kUsageMapInlineBitmap), GetLe32(map.data() + kUsageMapStart), pages, &out);
    return out;
  }
  if (map[0] != kUsageMapIndirect) throw JetFormatError("a usage map has an unknown type");
  const uint64_t pages_per_bitmap = (pages.PageSize() - kUsageBitmapPageData) * 8;
  std::vector<uint8_t> bitmap_page;
  for (size_t slot = 0; kUsageMapStart + (slot + 1) * kPointerSize <= map.size(); ++slot) {
    const uint32_t number = GetLe32(map.data() + kUsageMapStart + slot * kPointerSize);
    if (number == 0) continue;
    pages.Read(number, &bitmap_page);
    AddBitmap(std::span<const uint8_t>(bitmap_page).subspan(kUsageBitmapPageData), slot * pages_per_bitmap, pages,
              &out);
  }
  return out;
}

}  // namespace varnholt
