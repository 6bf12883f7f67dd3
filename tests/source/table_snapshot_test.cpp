#include "stores/source/table_snapshot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>

#include "stores/source/jet_database.h"
#include "tests/source/source_test_files.h"
#include "tools/jetwriter/jet_format.h"

namespace varnholt {
namespace {

using jet::Cell;
using jet::ColumnType;
namespace format = jet::format;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

uint16_t U16At(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

void SetU16At(std::string* bytes, size_t at, uint16_t value) {
  (*bytes)[at] = static_cast<char>(value & 0xFF);
  (*bytes)[at + 1] = static_cast<char>(value >> 8);
}

// The data pages of the one user table in a file the Jet writer made (the catalog's rows belong to
// its definition at page 2, usage-map rows to none), in file order, the order the table is read in.
std::vector<size_t> UserDataPages(const std::string& bytes) {
  std::vector<size_t> pages;
  for (size_t page = format::kFirstFreePageNumber; (page + 1) * format::kPageSize <= bytes.size(); ++page) {
    const size_t at = page * format::kPageSize;
    uint32_t owner = 0;
    std::memcpy(&owner, bytes.data() + at + format::kDataOwner, sizeof owner);
    if (static_cast<uint8_t>(bytes[at]) == format::kPageData && owner != format::kCatalogDefPageNumber && owner != 0 &&
        std::memcmp(bytes.data() + at + format::kDataOwner, format::kLvalMagic, 4) != 0) {
      pages.push_back(page);
    }
  }
  return pages;
}

std::vector<int64_t> Integers(const TableSnapshot& table, int field) {
  std::vector<int64_t> values;
  for (int row = 0; row < table.RowCount(); ++row) values.push_back(table.Value(row, field).integer);
  return values;
}

template <typename List>
std::vector<int> Rows(const List& list) {
  std::vector<int> rows;
  for (size_t i = 0; i < list.size(); ++i) rows.push_back(list[i]);
  return rows;
}

auto Passing(const TableSnapshot& table, const char* text) {
  return table.RowsPassing(filter::Expression::Parse(text, filter::Dialect::kJet));
}

// What row i of the storage test holds in each column; nullopt for null.
std::optional<std::string> NameOf(int i) {
  switch (i % 7) {
    case 0: return std::nullopt;
    case 1: return "";
    case 2: return "Ελένη Δημητρίου " + std::to_string(i);
    case 3: return "Schmidt-Müller, Zoe " + std::to_string(i);  // a one-byte character above ASCII
    default: return "name " + std::to_string(i);
  }
}
std::optional<std::string> NotesOf(int i) {
  switch (i % 11) {
    case 0: return std::nullopt;
    case 1: return "";
    case 2: return std::string(6000 + i, 'x') + "Ω" + std::to_string(i);  // on LVAL pages
    default: return "note " + std::to_string(i);
  }
}

TEST(TableSnapshotTest, EveryValueSurvivesAcrossPagesNullsEmptyTextsAndMemos) {
  ScratchDir dir;
  const std::string path = dir.File("many.mdb");
  constexpr int kRows = 3000;
  std::vector<std::vector<Cell>> rows;
  auto cell = [](const std::optional<std::string>& text) { return text ? Cell{*text} : Cell{}; };
  auto day = [](int i) { return jet::DateTime::FromCivil(2000 + i % 20, 1 + i % 12, 1 + i % 28); };
  for (int i = 0; i < kRows; ++i) {
    rows.push_back({Cell{int64_t{i}}, cell(NameOf(i)), cell(NotesOf(i)), i % 5 == 0 ? Cell{} : Cell{i * 0.25},
                    Cell{i % 2 == 0}, i % 13 == 0 ? Cell{} : Cell{day(i)}});
  }
  jet::WriteDatabase(path, {{"T",
                             {{"ID", ColumnType::kLong},
                              {"Name", ColumnType::kText, 60},
                              {"Notes", ColumnType::kMemo},
                              {"Score", ColumnType::kDouble},
                              {"Flag", ColumnType::kBoolean},
                              {"When", ColumnType::kDateTime}},
                             rows}});
  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), kRows);
  ASSERT_GT(UserDataPages(ReadBytes(path)).size(), 10u);
  for (int i = 0; i < kRows; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.Value(i, 0).integer, i);
    for (auto [field, expected] : {std::pair{1, NameOf(i)}, std::pair{2, NotesOf(i)}}) {
      const SourceValue value = t.Value(i, field);
      ASSERT_EQ(value.is_null, !expected.has_value()) << field;
      if (expected) {
        EXPECT_EQ(value.text, *expected) << field;
      }
    }
    EXPECT_EQ(t.Value(i, 3).is_null, i % 5 == 0);
    if (i % 5 != 0) {
      EXPECT_EQ(t.Value(i, 3).real, i * 0.25);
    }
    EXPECT_FALSE(t.Value(i, 4).is_null);
    EXPECT_EQ(t.Value(i, 4).integer, i % 2 == 0 ? 1 : 0);
    EXPECT_EQ(t.Value(i, 5).is_null, i % 13 == 0);
    if (i % 13 != 0) {
      EXPECT_EQ(t.Value(i, 5).real, day(i).days);
    }
  }
}

TEST(TableSnapshotTest, DeletedRowsAreSkippedAndTheRestKeepTheirOrder) {
  ScratchDir dir;
  const std::string path = dir.File("deleted.mdb");
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 900; ++i) rows.push_back({Cell{int64_t{i}}, Cell{"row " + std::to_string(i)}});
  jet::WriteDatabase(path, {{"T", {{"ID", ColumnType::kLong}, {"Name", ColumnType::kText, 30}}, rows}});

  // Flag every third row of each page as deleted, and the first row of every other page.
  std::string bytes = ReadBytes(path);
  const std::vector<size_t> pages = UserDataPages(bytes);
  ASSERT_GT(pages.size(), 3u);
  std::vector<int64_t> kept;
  int64_t id = 0;
  for (size_t p = 0; p < pages.size(); ++p) {
    const size_t at = pages[p] * format::kPageSize;
    const int count = U16At(bytes, at + format::kDataRowCount);
    for (int r = 0; r < count; ++r, ++id) {
      const size_t entry = at + format::kDataRowOffsets + r * format::kRowOffsetSize;
      if (r % 3 == 2 || (r == 0 && p % 2 == 1)) {
        SetU16At(&bytes, entry, U16At(bytes, entry) | 0x4000);
      } else {
        kept.push_back(id);
      }
    }
  }
  ASSERT_EQ(id, 900);
  WriteBytes(path, bytes);

  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  EXPECT_EQ(Integers(t, 0), kept);
  for (int row = 0; row < t.RowCount(); ++row) EXPECT_EQ(t.Value(row, 1).text, "row " + std::to_string(kept[row]));
}

TEST(TableSnapshotTest, DecimalKeepsItsTextAndItsValue) {
  // The writer has no Decimal columns: a Currency column is turned into one in the table
  // definition, 17 bytes long, reading over the next columns' bytes, which carry the decimal.
  ScratchDir dir;
  const std::string path = dir.File("decimal.mdb");
  // Sign byte, then 16 bytes of magnitude whose last four hold the low 32 bits: 12345 lands in the
  // second Currency column's bytes 5 and 6.
  const int64_t low = (int64_t{0x30} << 48) | (int64_t{0x39} << 40);
  jet::WriteDatabase(path, {{"T",
                             {{"K", ColumnType::kLong},
                              {"D", ColumnType::kCurrency},
                              {"Low", ColumnType::kCurrency},
                              {"Pad", ColumnType::kLong}},
                             {{Cell{int64_t{1}}, Cell{jet::Currency{0}}, Cell{jet::Currency{low}}, Cell{int64_t{0}}},
                              {Cell{int64_t{2}}, Cell{jet::Currency{0x80}}, Cell{jet::Currency{low}}, Cell{int64_t{0}}},
                              {Cell{int64_t{3}}, Cell{}, Cell{jet::Currency{low}}, Cell{int64_t{0}}}}}});
  std::string bytes = ReadBytes(path);
  size_t tdef = 0;
  for (size_t page = format::kFirstFreePageNumber; (page + 1) * format::kPageSize <= bytes.size(); ++page) {
    if (static_cast<uint8_t>(bytes[page * format::kPageSize]) == format::kPageTableDef) tdef = page;
  }
  ASSERT_NE(tdef, 0u);
  const size_t column = tdef * format::kPageSize + format::kTdefColumnsStart + format::kColumnDescriptorSize;
  ASSERT_EQ(static_cast<uint8_t>(bytes[column + format::kColType]), format::kTypeMoney);
  constexpr uint8_t kTypeNumeric = 0x10;
  bytes[column + format::kColType] = static_cast<char>(kTypeNumeric);
  bytes[column + 11] = 2;  // scale
  bytes[column + 12] = 2;  // precision: libmdb 1.0 places the decimal point by this one
  SetU16At(&bytes, column + format::kColLength, 17);
  WriteBytes(path, bytes);

  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), 3);
  ASSERT_EQ(t.Column(1).type, SourceType::kDecimal);
  EXPECT_EQ(t.Value(0, 1).text, "123.45");
  EXPECT_DOUBLE_EQ(t.Value(0, 1).real, 123.45);
  EXPECT_EQ(t.Value(1, 1).text, "-123.45");
  EXPECT_DOUBLE_EQ(t.Value(1, 1).real, -123.45);
  EXPECT_TRUE(t.Value(2, 1).is_null);
  // Field text is the stored text; filters compare the value.
  EXPECT_EQ(FieldTextOf(SourceType::kDecimal, t.Value(1, 1), RegionalSettings()), "-123.45");
  EXPECT_EQ(Rows(Passing(t, "D = 123.45")), std::vector<int>{0});
  EXPECT_EQ(Rows(Passing(t, "D < 0")), std::vector<int>{1});
}

TEST(TableSnapshotTest, EqualityIndexGroupsDuplicatesInStoredOrder) {
  ScratchDir dir;
  const std::string path = dir.File("keys.mdb");
  const std::vector<Cell> codes = {Cell{std::string("b")}, Cell{std::string("A")}, Cell{std::string("a")}, Cell{},
                                   Cell{std::string("B")}, Cell{std::string("a")}, Cell{std::string("")},
                                   Cell{std::string("Σίγμα")}, Cell{std::string("ΣΊΓΜΑ")}};
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 2000; ++i) rows.push_back({Cell{int64_t{i % 37}}, codes[i % codes.size()]});
  jet::WriteDatabase(path, {{"T", {{"K", ColumnType::kLong}, {"Code", ColumnType::kText, 20}}, rows}});
  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), 2000);

  // Numbers: every 37th row from 5, ascending, straight from the index and as a scan finds them.
  std::vector<int> fives;
  for (int row = 5; row < 2000; row += 37) fives.push_back(row);
  EXPECT_EQ(Rows(Passing(t, "K = 5")), fives);
  EXPECT_EQ(Rows(Passing(t, "K >= 5 AND K <= 5")), fives);
  EXPECT_TRUE(Passing(t, "K = 37").empty());

  // Text ignores case; null rows have no key; the empty text is a key of its own.
  auto with_code = [&](std::initializer_list<size_t> positions) {
    std::vector<int> expected;
    for (int row = 0; row < 2000; ++row) {
      for (size_t p : positions) {
        if (static_cast<size_t>(row) % codes.size() == p) expected.push_back(row);
      }
    }
    return expected;
  };
  EXPECT_EQ(Rows(Passing(t, "Code = 'a'")), with_code({1, 2, 5}));
  EXPECT_EQ(Rows(Passing(t, "code='B'")), with_code({0, 4}));
  EXPECT_EQ(Rows(Passing(t, "Code = ''")), with_code({6}));
  EXPECT_EQ(Rows(Passing(t, "Code = 'σίγμα'")), with_code({7, 8}));
  EXPECT_EQ(Rows(Passing(t, "Code = NULL")), with_code({3}));
  EXPECT_TRUE(Passing(t, "Code = 'c'").empty());
}

}  // namespace
}  // namespace varnholt
