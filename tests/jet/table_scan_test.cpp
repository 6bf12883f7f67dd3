// The table scan on its own, over databases our Jet writer wrote and then damaged: an empty table,
// a definition whose pages loop, a moved row that points back at itself or into another table, a
// usage map naming a page past the file, a data page listing more rows than it holds.
#include "base/byte_coding.h"
#include "stores/jet/table_scan.h"

#include <gtest/gtest.h>

#include "stores/jet/data_page.h"
#include "stores/jet/jet_error.h"
#include "tests/jet/jet_unit_files.h"

namespace varnholt {
namespace {

using testing::JetFile;

const jet_format::Format& kFormat = jet_format::kJet4Format;

jet::TableData Pupils(int rows) {
  jet::TableData table{"Pupils", {{"Id", jet::ColumnType::kLong}, {"Name", jet::ColumnType::kText, 20}}, {}};
  for (int64_t i = 0; i < rows; ++i) table.rows.push_back({i, std::string("Pupil ") + std::to_string(i)});
  return table;
}

std::vector<int64_t> Ids(const JetFile& file, const JetTableDefinition& table) {
  std::vector<int64_t> ids;
  ScanJetTable(file.Pages(), table, [&](std::span<const uint8_t> row, const std::vector<JetField>& fields) {
    ids.push_back(fields[0].is_null ? -1 : static_cast<int64_t>(GetLe32(row.data() + fields[0].start)));
  });
  return ids;
}

std::string ErrorOf(const std::function<void()>& run) {
  try {
    run();
    return "";
  } catch (const JetFormatError& e) {
    return e.what();
  }
}

TEST(JetTableScanTest, AnEmptyTableVisitsNothing) {
  jet::TableData empty = Pupils(0);
  jet::TableData full = Pupils(3);
  full.name = "Full";
  const JetFile both({empty, full});
  EXPECT_TRUE(Ids(both, both.Definition("Pupils")).empty());
  EXPECT_EQ(Ids(both, both.Definition("Full")), (std::vector<int64_t>{0, 1, 2}));
}

TEST(JetTableScanTest, DefinitionPagesThatLoopAreRefused) {
  JetFile file({Pupils(2)});
  const uint32_t definition = file.DefinitionPage("Pupils");
  file.Put32(file.PageStart(definition) + jet_format::kTdefNextPage, definition);
  EXPECT_EQ(ErrorOf([&] { ReadTableDefinition(file.Pages(), definition); }),
            "a table definition's pages form a loop");
}

TEST(JetTableScanTest, AMovedRowPointingAtItselfOrIntoAnotherTableIsPassedBy) {
  jet::TableData other = Pupils(1);
  other.name = "Other";
  JetFile file({Pupils(3), other});
  const JetTableDefinition table = file.Definition("Pupils");
  const uint32_t page = JetTablePages(file.Pages(), table).front();
  std::vector<uint8_t> bytes(file.bytes.begin() + file.PageStart(page), file.bytes.begin() + file.PageStart(page + 1));
  ASSERT_TRUE(IsDataPageOf(bytes, table.page));
  ASSERT_EQ(JetRowCount(bytes, kFormat), 3u);
  const JetRowSlot slot = *FindJetRow(bytes, kFormat, 1);

  // Row 1 becomes a stub pointing at itself: it is not read there, nor followed round.
  const size_t offset_at = file.PageStart(page) + kFormat.row_offsets + 2 * 1;
  file.Put16(offset_at, static_cast<uint16_t>(slot.start | jet_format::kRowOverflow));
  file.Put32(file.PageStart(page) + slot.start, (page << 8) | 1);
  EXPECT_EQ(Ids(file, table), (std::vector<int64_t>{0, 2}));

  // Pointing at the other table's row: not this table's, so passed by as well.
  const JetTableDefinition other_table = file.Definition("Other");
  const uint32_t other_page = JetTablePages(file.Pages(), other_table).front();
  ASSERT_NE(other_page, page);
  file.Put32(file.PageStart(page) + slot.start, (other_page << 8) | 0);
  EXPECT_EQ(Ids(file, table), (std::vector<int64_t>{0, 2}));
  // And past the end of the file.
  file.Put32(file.PageStart(page) + slot.start, 0xFFFFFF00u);
  EXPECT_EQ(Ids(file, table), (std::vector<int64_t>{0, 2}));
}

TEST(JetTableScanTest, AUsageMapNamingAPagePastTheFileIsRefused) {
  JetFile file({Pupils(2)});
  const JetTableDefinition table = file.Definition("Pupils");
  const uint32_t map_page = table.owned_pages_map >> 8;
  std::vector<uint8_t> bytes(file.bytes.begin() + file.PageStart(map_page),
                             file.bytes.begin() + file.PageStart(map_page + 1));
  const JetRowSlot map = *FindJetRow(bytes, kFormat, table.owned_pages_map & 0xFF);
  ASSERT_EQ(bytes[map.start], jet_format::kUsageMapInline);
  // The inline map's first page moved to just past the file: every page it names is beyond it.
  const uint32_t pages = static_cast<uint32_t>(file.bytes.size() / kFormat.page_size);
  file.Put32(file.PageStart(map_page) + map.start + jet_format::kUsageMapStart, pages);
  EXPECT_EQ(ErrorOf([&] { Ids(file, table); }), "a usage map names a page past the end of the file");
}

TEST(JetTableScanTest, ADataPageListingMoreRowsThanItHoldsIsRefused) {
  JetFile file({Pupils(2)});
  const JetTableDefinition table = file.Definition("Pupils");
  const uint32_t page = JetTablePages(file.Pages(), table).front();
  file.Put16(file.PageStart(page) + kFormat.row_count, static_cast<uint16_t>(kFormat.page_size));
  EXPECT_EQ(ErrorOf([&] { Ids(file, table); }), "a data page lists more rows than it can hold");
}

}  // namespace
}  // namespace varnholt
