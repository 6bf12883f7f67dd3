#include "stores/jet/table_scan.h"

#include "stores/jet/data_page.h"
#include "stores/jet/jet_error.h"
#include "stores/jet/usage_map.h"

namespace varnholt {

using namespace jet_format;

namespace {

// The row a moved row's stub points to, when it is where a moved row must be: on a data page of
// the same table, marked deleted (and only that) so that the scan passes it by there.
std::optional<std::span<const uint8_t>> MovedRow(const JetPageReader& pages, uint32_t owner, uint32_t pointer,
                                                 std::vector<uint8_t>* page) {
  const uint32_t number = pointer >> kRowBits;
  if (number == 0 || number >= pages.PageCount()) return std::nullopt;
  pages.Read(number, page);
  if (!IsDataPageOf(*page, owner)) return std::nullopt;
  const unsigned row = pointer & kRowMask;
  if (row >= JetRowCount(*page, pages.Format())) return std::nullopt;
  const std::optional<JetRowSlot> slot = FindJetRow(*page, pages.Format(), row);
  if (!slot || slot->flags != kRowDeleted || slot->size == 0) return std::nullopt;
  return std::span<const uint8_t>(*page).subspan(slot->start, slot->size);
}

}  // namespace

std::vector<uint32_t> JetTablePages(const JetPageReader& pages, const JetTableDefinition& table) {
  const uint32_t pointer = table.owned_pages_map;
  std::vector<uint8_t> page;
  pages.Read(pointer >> kRowBits, &page);
  // Another kind of page would read as a map only by chance, and name pages at random.
  if (page[0] != kPageData) throw JetFormatError("a table's usage map is not on a data page");
  const unsigned row = pointer & kRowMask;
  if ((pointer >> kRowBits) == 0 || row >= JetRowCount(page, pages.Format())) {
    throw JetFormatError("a table's usage map is missing");
  }
  const std::optional<JetRowSlot> slot = FindJetRow(page, pages.Format(), row);
  if (!slot || slot->size == 0) throw JetFormatError("a table's usage map is missing");
  return ReadUsageMap(std::span<const uint8_t>(page).subspan(slot->start, slot->size), pages);
}

void ScanJetTable(const JetPageReader& pages, const JetTableDefinition& table, const JetRowVisitor& visit) {
  const Format& format = pages.Format();
  JetRowCracker cracker(format, table);
  std::vector<JetField> fields;
  std::vector<uint8_t> page;
  std::vector<uint8_t> moved_page;
  for (uint32_t number : JetTablePages(pages, table)) {
    pages.Read(number, &page);
    if (!IsDataPageOf(page, table.page)) continue;
    const unsigned rows = JetRowCount(page, format);
    for (unsigned r = 0; r < rows; ++r) {
      const std::optional<JetRowSlot> slot = FindJetRow(page, format, r);
      if (!slot || slot->size == 0 || (slot->flags & kRowDeleted)) continue;
      std::span<const uint8_t> row = std::span<const uint8_t>(page).subspan(slot->start, slot->size);
      if (slot->flags & kRowOverflow) {
        if (row.size() < kRowPointerSize) continue;
        const std::optional<std::span<const uint8_t>> moved =
            MovedRow(pages, table.page, GetLe32(row.data()), &moved_page);
        if (!moved) continue;
        row = *moved;
      }
      cracker.Crack(row, &fields);
      visit(row, fields);
    }
  }
}

}  // namespace varnholt
