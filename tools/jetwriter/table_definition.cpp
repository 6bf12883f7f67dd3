#include "tools/jetwriter/table_definition.h"

#include <algorithm>
#include <cstring>

#include "stores/jet/jet_format.h"
#include "tools/jetwriter/text_codec.h"

namespace varnholt::jet {

using namespace jet_format;

std::vector<uint8_t> BuildTableDefinition(const TableLayout& layout, uint32_t num_rows,
                                          uint32_t owned_map, uint32_t free_map) {
  std::vector<uint8_t> t(kTdefColumnsStart, 0);
  t[0] = kPageTableDefinition;
  t[1] = kPageMarker;
  PutLe32(&t[kTdefMagic], kTableDefMagic);
  PutLe32(&t[kTdefNumRows], num_rows);
  PutLe32(&t[kTdefNextAutoNumber], 1);
  t[kTdefAutoNumberFlag] = 1;
  t[kTdefTableType] = layout.system ? kTableTypeSystem : kTableTypeUser;
  const auto num_cols = static_cast<uint16_t>(layout.columns.size());
  PutLe16(&t[kTdefMaxColumns], num_cols);
  PutLe16(&t[kTdefNumVarColumns], layout.var_count);
  PutLe16(&t[kTdefNumColumns], num_cols);
  PutLe32(&t[kTdefNumIndexes], 0);
  PutLe32(&t[kTdefNumRealIndexes], 0);
  PutLe32(&t[kTdefOwnedPagesMap], owned_map);
  PutLe32(&t[kTdefFreePagesMap], free_map);

  for (const ColumnLayout& col : layout.columns) {
    uint8_t d[kColumnDescriptorSize] = {};
    d[kColType] = col.type_code;
    PutLe32(&d[kColMagic], kTableDefMagic);
    PutLe16(&d[kColNumber], col.number);
    PutLe16(&d[kColVarIndex], col.var_index);
    PutLe16(&d[kColRowNumber], col.number);
    if (col.type == StoredType::kDecimal) {
      d[kColPrecision] = col.precision;
      d[kColScale] = col.scale;
    } else {
      PutLe16(&d[kColSortOrder], kSortOrderGeneral);
    }
    d[kColFlags] = static_cast<uint8_t>(kColFlagNullable | (col.fixed ? kColumnFixed : 0));
    if (col.type == StoredType::kText || col.type == StoredType::kMemo) {
      d[kColExtFlags] = kColExtCompressedUnicode;
    }
    PutLe16(&d[kColFixedOffset], col.fixed ? col.fixed_offset : 0);
    PutLe16(&d[kColLength], col.length);
    t.insert(t.end(), d, d + kColumnDescriptorSize);
  }
  for (const ColumnLayout& col : layout.columns) {
    const std::vector<uint8_t> name = EncodeUcs2(Utf8ToUtf16(col.name));
    uint8_t size[2];
    PutLe16(size, static_cast<uint16_t>(name.size()));
    t.insert(t.end(), size, size + 2);
    t.insert(t.end(), name.begin(), name.end());
  }
  uint8_t end[2];
  PutLe16(end, kTdefEnd);
  t.insert(t.end(), end, end + 2);

  PutLe32(&t[kTdefLength], static_cast<uint32_t>(t.size()));
  const size_t used = std::min(t.size(), kPageSize);
  PutLe16(&t[kTdefFreeSpace],
        static_cast<uint16_t>(kPageSize - std::min(kPageSize, used + kTdefTrailerSize)));
  return t;
}

void WriteTableDefinition(PageFile& file, uint32_t first_page, const std::vector<uint8_t>& tdef) {
  // Split: the first page takes kPageSize bytes, each continuation page kPageSize - 8 after its
  // own header.
  constexpr size_t kContinuationBytes = kPageSize - kTdefContinuationData;
  std::vector<std::vector<uint8_t>> pages;
  pages.emplace_back(kPageSize, 0);
  std::memcpy(pages[0].data(), tdef.data(), std::min(tdef.size(), kPageSize));
  for (size_t pos = kPageSize; pos < tdef.size(); pos += kContinuationBytes) {
    std::vector<uint8_t> page(kPageSize, 0);
    page[0] = kPageTableDefinition;
    page[1] = kPageMarker;
    const size_t n = std::min(kContinuationBytes, tdef.size() - pos);
    std::memcpy(&page[kTdefContinuationData], &tdef[pos], n);
    pages.push_back(std::move(page));
  }
  std::vector<uint32_t> numbers{first_page};
  for (size_t i = 1; i < pages.size(); ++i) numbers.push_back(file.Allocate());
  for (size_t i = 0; i + 1 < pages.size(); ++i) PutLe32(&pages[i][kTdefNextPage], numbers[i + 1]);
  for (size_t i = 0; i < pages.size(); ++i) file.Write(numbers[i], pages[i]);
}

}  // namespace varnholt::jet
