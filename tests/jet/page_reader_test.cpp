// The page reader on its own, over a database our Jet writer wrote: whole pages only, a page past
// the end refused by number, encoded pages decoded with their own key (the header page never),
// and a page of another kind than its reader expects refused rather than read as that kind.
#include "stores/jet/page_reader.h"

#include <gtest/gtest.h>

#include "stores/jet/data_page.h"
#include "stores/jet/jet_error.h"
#include "stores/jet/table_scan.h"
#include "tests/jet/jet_unit_files.h"

namespace varnholt {
namespace {

using testing::JetFile;

const jet_format::Format& kFormat = jet_format::kJet4Format;

JetFile SmallFile() {
  jet::TableData table{"Pupils", {{"Id", jet::ColumnType::kLong}, {"Name", jet::ColumnType::kText, 20}}, {}};
  for (int64_t i = 0; i < 5; ++i) table.rows.push_back({i, std::string("Pupil ") + std::to_string(i)});
  return JetFile({table});
}

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
    return "";
  } catch (const JetFormatError& e) {
    return e.what();
  }
}

TEST(JetPageReaderTest, OnlyWholePagesCountAndOnePastTheEndIsRefused) {
  JetFile file = SmallFile();
  const uint32_t pages = static_cast<uint32_t>(file.bytes.size() / kFormat.page_size);
  ASSERT_EQ(file.bytes.size() % kFormat.page_size, 0u);
  file.bytes.resize(file.bytes.size() + kFormat.page_size - 1);  // a page cut short at the end
  const JetPageReader reader = file.Pages();
  EXPECT_EQ(reader.PageCount(), pages);
  EXPECT_EQ(reader.PageSize(), kFormat.page_size);
  std::vector<uint8_t> page(3, 0xEE);
  reader.Read(pages - 1, &page);
  ASSERT_EQ(page.size(), kFormat.page_size);
  EXPECT_TRUE(std::equal(page.begin(), page.end(), file.bytes.begin() + file.PageStart(pages - 1)));
  EXPECT_EQ(ErrorOf([&] { reader.Read(pages, &page); }), "page " + std::to_string(pages) + " is past the end of the file");
  EXPECT_NE(ErrorOf([&] { reader.Read(0xFFFFFFFF, &page); }), "");
}

TEST(JetPageReaderTest, EncodedPagesDecodeWithTheirOwnKeyAndTheHeaderPageNever) {
  const JetFile plain = SmallFile();
  constexpr uint32_t kKey = 0x6B39DAC7;
  // The encoding is its own inverse: the plain file read with the key gives the encoded pages.
  const JetPageReader encoder(std::make_shared<const std::vector<uint8_t>>(plain.bytes), kFormat, kKey);
  std::vector<uint8_t> encoded;
  std::vector<uint8_t> page;
  for (uint32_t p = 0; p < encoder.PageCount(); ++p) {
    encoder.Read(p, &page);
    encoded.insert(encoded.end(), page.begin(), page.end());
  }
  ASSERT_EQ(encoded.size(), plain.bytes.size());
  EXPECT_TRUE(std::equal(encoded.begin(), encoded.begin() + kFormat.page_size, plain.bytes.begin()));
  // Two pages of equal bytes encode differently: each page's key holds its number.
  EXPECT_NE(std::vector<uint8_t>(encoded.begin() + plain.PageStart(1), encoded.begin() + plain.PageStart(2)),
            std::vector<uint8_t>(plain.bytes.begin() + plain.PageStart(1), plain.bytes.begin() + plain.PageStart(2)));

  const auto image = std::make_shared<const std::vector<uint8_t>>(encoded);
  const JetPageReader decoder(image, kFormat, kKey);
  for (uint32_t p = 0; p < decoder.PageCount(); ++p) {
    decoder.Read(p, &page);
    ASSERT_TRUE(std::equal(page.begin(), page.end(), plain.bytes.begin() + plain.PageStart(p))) << p;
  }
  EXPECT_EQ(ReadJetCatalog(decoder).size(), ReadJetCatalog(plain.Pages()).size());
  // Read with another key, the catalog's page is no table definition, and says so.
  const JetPageReader wrong(image, kFormat, kKey ^ 1);
  EXPECT_NE(ErrorOf([&] { ReadJetCatalog(wrong); }), "");
}

TEST(JetPageReaderTest, APageOfAnotherKindIsRefusedWhereADefinitionOrUsageMapIsExpected) {
  JetFile file = SmallFile();
  const uint32_t definition = file.DefinitionPage("Pupils");
  const JetTableDefinition table = file.Definition("Pupils");
  const std::vector<uint32_t> data = JetTablePages(file.Pages(), table);
  ASSERT_FALSE(data.empty());

  // A data page where a definition should be.
  EXPECT_EQ(ErrorOf([&] { ReadTableDefinition(file.Pages(), data[0]); }),
            "page " + std::to_string(data[0]) + " is not a table definition");
  EXPECT_EQ(ErrorOf([&] { ReadTableDefinition(file.Pages(), 0); }),
            "a table definition is said to be on the header page");
  // A definition's continuation that is a data page.
  file.Put32(file.PageStart(definition) + jet_format::kTdefNextPage, data[0]);
  EXPECT_EQ(ErrorOf([&] { ReadTableDefinition(file.Pages(), definition); }),
            "page " + std::to_string(data[0]) + " is not a table definition");
  file.Put32(file.PageStart(definition) + jet_format::kTdefNextPage, 0);

  // The usage map's row on a page that is no data page: the table's own definition.
  JetTableDefinition misled = table;
  misled.owned_pages_map = (definition << 8) | (table.owned_pages_map & 0xFF);
  EXPECT_EQ(ErrorOf([&] { JetTablePages(file.Pages(), misled); }), "a table's usage map is not on a data page");
  EXPECT_EQ(ErrorOf([&] { ScanJetTable(file.Pages(), misled, [](auto, const auto&) {}); }),
            "a table's usage map is not on a data page");
  // Whatever that page's bytes say where a row of usage map would be.
  for (uint8_t map_kind : {jet_format::kUsageMapInline, jet_format::kUsageMapIndirect}) {
    JetFile again = file;
    again.bytes[again.PageStart(definition) + kFormat.row_count] = 1;
    again.bytes[again.PageStart(definition) + kFormat.row_offsets] = 0;
    again.bytes[again.PageStart(definition) + kFormat.row_offsets + 1] = 0x0F;  // row 0 at 0x0F00
    again.bytes[again.PageStart(definition) + 0x0F00] = map_kind;
    misled.owned_pages_map = definition << 8;
    EXPECT_EQ(ErrorOf([&] { JetTablePages(again.Pages(), misled); }), "a table's usage map is not on a data page");
  }
}

}  // namespace
}  // namespace varnholt
