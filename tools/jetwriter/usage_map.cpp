#include "tools/jetwriter/usage_map.h"

#include "stores/jet/jet_format.h"

namespace varnholt::jet {

using namespace jet_format;

namespace {

constexpr uint32_t kInlinePages = kUsageMapInlineBitmapBytes * 8;

void SetBit(uint8_t* bitmap, uint32_t bit) {
  bitmap[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
}

}  // namespace

std::vector<uint8_t> BuildUsageMap(std::span<const uint32_t> pages, PageFile& file) {
  if (pages.empty() || pages.back() - pages.front() < kInlinePages) {
    std::vector<uint8_t> row(1 + 4 + kUsageMapInlineBitmapBytes, 0);
    row[0] = kUsageMapInline;
    const uint32_t start = pages.empty() ? 0 : pages.front();
    PutLe32(&row[1], start);
    for (uint32_t page : pages) SetBit(&row[5], page - start);
    return row;
  }
  const uint32_t slots = pages.back() / kPagesPerBitmapPage + 1;
  std::vector<uint8_t> row(1 + 4 * static_cast<size_t>(slots), 0);
  row[0] = kUsageMapIndirect;
  size_t next = 0;
  for (uint32_t slot = 0; slot < slots; ++slot) {
    const uint32_t first = slot * kPagesPerBitmapPage;
    if (next == pages.size() || pages[next] >= first + kPagesPerBitmapPage) continue;
    std::vector<uint8_t> bitmap_page(kPageSize, 0);
    bitmap_page[0] = kPageUsageBitmap;
    bitmap_page[1] = kPageMarker;
    while (next < pages.size() && pages[next] < first + kPagesPerBitmapPage) {
      SetBit(&bitmap_page[kUsageBitmapPageData], pages[next] - first);
      ++next;
    }
    const uint32_t number = file.Allocate();
    file.Write(number, bitmap_page);
    PutLe32(&row[1 + 4 * static_cast<size_t>(slot)], number);
  }
  return row;
}

}  // namespace varnholt::jet
