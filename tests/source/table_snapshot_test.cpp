#include "stores/jet/table_snapshot.h"
#include "stores/source/snapshot_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "base/byte_coding.h"
#include "stores/jet/jet_database.h"
#include "tests/source/source_test_files.h"
#include "stores/jet/jet_format.h"

namespace varnholt {
namespace {

using jet::Cell;
using jet::ColumnType;

// Pages of kind `kind` in a file the Jet writer made, in file order (the order a table is read in);
// for data pages only those of the one user table (not the catalog's, usage maps' or LVAL pages).
std::vector<size_t> Pages(const std::string& bytes, uint8_t kind) {
  std::vector<size_t> pages;
  for (size_t page = jet_format::kFirstFreePageNumber; (page + 1) * jet_format::kPageSize <= bytes.size(); ++page) {
    const char* at = bytes.data() + page * jet_format::kPageSize;
    uint32_t owner = 0;
    std::memcpy(&owner, at + jet_format::kDataOwner, sizeof owner);
    if (static_cast<uint8_t>(at[0]) == kind &&
        (kind != jet_format::kPageData || (owner != jet_format::kCatalogDefinitionPage && owner != 0 &&
                                       std::memcmp(at + jet_format::kDataOwner, jet_format::kLvalMagic, 4) != 0))) {
      pages.push_back(page);
    }
  }
  return pages;
}

std::vector<int> Passing(const TableSnapshot& table, const char* text) {
  SnapshotFilter view(table);  // the list may be a view into its index
  RowList list = view.RowsPassing(filter::Expression::Parse(text, filter::Dialect::kJet));
  std::vector<int> rows;
  for (size_t i = 0; i < list.size(); ++i) rows.push_back(list[i]);
  return rows;
}

// Row i of the storage test: a text and a memo column with nulls, empty and non-ASCII texts.
std::optional<std::string> NameOf(int i) {
  if (i % 7 == 0) return std::nullopt;
  if (i % 7 == 1) return "";
  if (i % 7 == 2) return "Ελένη Δημητρίου " + std::to_string(i);
  if (i % 7 == 3) return "Schmidt-Müller, Zoe " + std::to_string(i);  // a one-byte character past ASCII
  return "name " + std::to_string(i);
}
std::optional<std::string> NotesOf(int i) {
  if (i % 11 == 0) return std::nullopt;
  if (i % 11 == 1) return "";
  if (i % 11 == 2) return std::string(6000 + i, 'x') + "Ω" + std::to_string(i);  // on LVAL pages
  return "note " + std::to_string(i);
}

TEST(TableSnapshotTest, EveryValueSurvivesAcrossPagesNullsEmptyTextsAndMemos) {
  ScratchDir dir;
  const std::string path = dir.File("many.mdb");
  constexpr int kRows = 3000;
  auto cell = [](const std::optional<std::string>& text) { return text ? Cell{*text} : Cell{}; };
  auto day = [](int i) { return jet::DateTime::FromCivil(2000 + i % 20, 1 + i % 12, 1 + i % 28); };
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < kRows; ++i) {
    rows.push_back({Cell{int64_t{i}}, cell(NameOf(i)), cell(NotesOf(i)), i % 5 == 0 ? Cell{} : Cell{i * 0.25},
                    Cell{i % 2 == 0}, i % 13 == 0 ? Cell{} : Cell{day(i)}});
  }
  jet::WriteDatabase(path, {{"T",
                             {{"ID", ColumnType::kLong}, {"Name", ColumnType::kText, 60}, {"Notes", ColumnType::kMemo},
                              {"Score", ColumnType::kDouble}, {"Flag", ColumnType::kBoolean},
                              {"When", ColumnType::kDateTime}},
                             rows}});
  ASSERT_GT(Pages(ReadBytes(path), jet_format::kPageData).size(), 10u);
  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), kRows);
  for (int i = 0; i < kRows; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.Value(i, 0).integer, i);
    for (auto [field, expected] : {std::pair{1, NameOf(i)}, std::pair{2, NotesOf(i)}}) {
      ASSERT_EQ(t.Value(i, field).is_null, !expected.has_value()) << field;
      EXPECT_EQ(t.Value(i, field).text, expected.value_or("")) << field;
    }
    EXPECT_EQ(t.Value(i, 3).is_null, i % 5 == 0);
    EXPECT_EQ(t.Value(i, 3).real, i % 5 == 0 ? 0 : i * 0.25);
    EXPECT_FALSE(t.Value(i, 4).is_null);
    EXPECT_EQ(t.Value(i, 4).integer, i % 2 == 0 ? 1 : 0);
    EXPECT_EQ(t.Value(i, 5).is_null, i % 13 == 0);
    EXPECT_EQ(t.Value(i, 5).real, i % 13 == 0 ? 0 : day(i).days);
  }
}

TEST(TableSnapshotTest, DeletedRowsAreSkippedAndTheRestKeepTheirOrder) {
  ScratchDir dir;
  const std::string path = dir.File("deleted.mdb");
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 900; ++i) rows.push_back({Cell{int64_t{i}}, Cell{"row " + std::to_string(i)}});
  jet::WriteDatabase(path, {{"T", {{"ID", ColumnType::kLong}, {"Name", ColumnType::kText, 30}}, rows}});

  // Every third row of each page flagged deleted, and the first row of every other page.
  std::string bytes = ReadBytes(path);
  const std::vector<size_t> pages = Pages(bytes, jet_format::kPageData);
  ASSERT_GT(pages.size(), 3u);
  std::vector<int64_t> kept;
  int64_t id = 0;
  for (size_t p = 0; p < pages.size(); ++p) {
    const size_t at = pages[p] * jet_format::kPageSize;
    for (int r = 0; r < GetLe16(bytes.data() + at + jet_format::kDataRowCount); ++r, ++id) {
      const size_t entry = at + jet_format::kDataRowOffsets + r * jet_format::kRowOffsetSize;
      if (r % 3 == 2 || (r == 0 && p % 2 == 1)) {
        PutLe16(bytes.data() + entry, GetLe16(bytes.data() + entry) | 0x4000);
      } else {
        kept.push_back(id);
      }
    }
  }
  ASSERT_EQ(id, 900);
  WriteBytes(path, bytes);

  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), static_cast<int>(kept.size()));
  for (int row = 0; row < t.RowCount(); ++row) {
    EXPECT_EQ(t.Value(row, 0).integer, kept[row]);
    EXPECT_EQ(t.Value(row, 1).text, "row " + std::to_string(kept[row]));
  }
}

TEST(TableSnapshotTest, DecimalKeepsItsTextAndItsValue) {
  // The writer has no Decimal columns: a Currency column becomes one in the table definition, 17
  // bytes long, reading on over the next columns. Its sign byte comes first; the last four of its
  // 16 magnitude bytes hold the low 32 bits, so 12345 lands in bytes 5 and 6 of column "Low".
  ScratchDir dir;
  const std::string path = dir.File("decimal.mdb");
  const int64_t low = (int64_t{0x30} << 48) | (int64_t{0x39} << 40);
  jet::WriteDatabase(path, {{"T",
                             {{"K", ColumnType::kLong}, {"D", ColumnType::kCurrency},
                              {"Low", ColumnType::kCurrency}, {"Pad", ColumnType::kLong}},
                             {{Cell{int64_t{1}}, Cell{jet::Currency{0}}, Cell{jet::Currency{low}}, Cell{int64_t{0}}},
                              {Cell{int64_t{2}}, Cell{jet::Currency{0x80}}, Cell{jet::Currency{low}}, Cell{int64_t{0}}},
                              {Cell{int64_t{3}}, Cell{}, Cell{jet::Currency{low}}, Cell{int64_t{0}}}}}});
  std::string bytes = ReadBytes(path);
  const std::vector<size_t> definitions = Pages(bytes, jet_format::kPageTableDefinition);
  ASSERT_EQ(definitions.size(), 1u);
  const size_t column =
      definitions[0] * jet_format::kPageSize + jet_format::kTdefColumnsStart + jet_format::kColumnDescriptorSize;
  ASSERT_EQ(static_cast<uint8_t>(bytes[column + jet_format::kColType]), jet_format::kTypeMoney);
  bytes[column + jet_format::kColType] = 0x10;  // Decimal
  bytes[column + 11] = 2;                   // scale
  bytes[column + 12] = 2;                   // precision: libmdb 1.0 places the decimal point by this one
  PutLe16(bytes.data() + column + jet_format::kColLength, 17);
  WriteBytes(path, bytes);

  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), 3);
  ASSERT_EQ(t.Column(1).type, SourceType::kDecimal);
  EXPECT_EQ(t.Value(0, 1).text, "123.45");
  EXPECT_DOUBLE_EQ(t.Value(0, 1).real, 123.45);
  EXPECT_EQ(FieldTextOf(SourceType::kDecimal, t.Value(1, 1), RegionalSettings()), "-123.45");
  EXPECT_DOUBLE_EQ(t.Value(1, 1).real, -123.45);
  EXPECT_TRUE(t.Value(2, 1).is_null);
  // Filters compare the value.
  EXPECT_EQ(Passing(t, "D = 123.45"), std::vector<int>{0});
  EXPECT_EQ(Passing(t, "D < 0"), std::vector<int>{1});
}

TEST(TableSnapshotTest, EqualityIndexGroupsDuplicatesInStoredOrder) {
  ScratchDir dir;
  const std::string path = dir.File("keys.mdb");
  const std::vector<Cell> codes = {Cell{std::string("b")}, Cell{std::string("A")},     Cell{std::string("a")},
                                   Cell{},                 Cell{std::string("B")},     Cell{std::string("a")},
                                   Cell{std::string("")},  Cell{std::string("Σίγμα")}, Cell{std::string("ΣΊΓΜΑ")}};
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 2000; ++i) rows.push_back({Cell{int64_t{i % 37}}, codes[i % codes.size()]});
  jet::WriteDatabase(path, {{"T", {{"K", ColumnType::kLong}, {"Code", ColumnType::kText, 20}}, rows}});
  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), 2000);

  // Rows ascending, as a scan finds them; text ignores case; null has no key, the empty text has one.
  auto rows_where = [](const std::function<bool(int)>& test) {
    std::vector<int> expected;
    for (int row = 0; row < 2000; ++row) {
      if (test(row)) expected.push_back(row);
    }
    return expected;
  };
  auto code_in = [&](std::vector<size_t> positions) {
    return rows_where([&](int row) {
      return std::find(positions.begin(), positions.end(), row % codes.size()) != positions.end();
    });
  };
  EXPECT_EQ(Passing(t, "K = 5"), rows_where([](int row) { return row % 37 == 5; }));
  EXPECT_EQ(Passing(t, "K = 5"), Passing(t, "K >= 5 AND K <= 5"));
  EXPECT_TRUE(Passing(t, "K = 37").empty());
  EXPECT_EQ(Passing(t, "Code = 'a'"), code_in({1, 2, 5}));
  EXPECT_EQ(Passing(t, "code='B'"), code_in({0, 4}));
  EXPECT_EQ(Passing(t, "Code = ''"), code_in({6}));
  EXPECT_EQ(Passing(t, "Code = 'σίγμα'"), code_in({7, 8}));
  EXPECT_EQ(Passing(t, "Code = NULL"), code_in({3}));
  EXPECT_TRUE(Passing(t, "Code = 'c'").empty());
}

}  // namespace
}  // namespace varnholt
