// The Jet writer's files read back through mdbtools (the commands and libmdb) exactly as written.
#include "tools/jetwriter/jet_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "base/byte_coding.h"
#include "stores/jet/jet_format.h"
#include "tests/jetwriter/mdb_test_support.h"
#include "tools/jetwriter/text_codec.h"

namespace varnholt::jet {
namespace {

using mdbtest::Count;
using mdbtest::Export;
using mdbtest::ReadTable;
using mdbtest::Row;
using mdbtest::RunCommand;
using mdbtest::Shell;
using mdbtest::Tables;
using mdbtest::TempDir;

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The type byte of the usage map that the table definition on page tdef_page points to.
int OwnedMapType(const std::vector<uint8_t>& file, uint32_t tdef_page) {
  using namespace jet_format;
  const uint32_t pointer = GetLe32(file.data() + tdef_page * kPageSize + kTdefOwnedPagesMap);
  const size_t page = (pointer >> kRowBits) * kPageSize;
  const unsigned row = pointer & kRowMask;
  const unsigned start =
      GetLe16(file.data() + page + kDataRowOffsets + kRowOffsetSize * row) & kRowOffsetMask;
  return file[page + start];
}

const std::vector<Column> kAllTypes = {
    {"Id", ColumnType::kLong},          {"Small", ColumnType::kInteger},
    {"Name", ColumnType::kText, 30},    {"Notes", ColumnType::kMemo},
    {"When", ColumnType::kDateTime},    {"Score", ColumnType::kDouble},
    {"Fee", ColumnType::kCurrency},     {"Active", ColumnType::kBoolean},
};

TEST(JetWriterTest, EveryColumnTypeAndNullReadsBackThroughMdbtools) {
  TempDir dir;
  const std::string path = dir.File("types.mdb");
  TableData t{"Types", kAllTypes, {}};
  t.rows.push_back({int64_t{-2147483648LL}, int64_t{-32768}, std::string("O'Neill \"Jr\""),
                    std::string("line one, two"), DateTime::FromCivil(2024, 2, 29, 23, 59, 58),
                    0.1, 12.34, true});
  t.rows.push_back({int64_t{2147483647}, int64_t{32767}, std::string(""), std::string(""),
                    DateTime::FromCivil(1900, 1, 1), -1e300, Currency{-1}, false});
  t.rows.push_back({Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}});
  t.rows.push_back({int64_t{7}, int64_t{0}, std::string("ab"), std::string("x"),
                    DateTime::FromCivil(2001, 9, 9, 1, 46, 40), int64_t{3}, int64_t{5}, true});
  WriteDatabase(path, {t});

  EXPECT_EQ(RunCommand("mdb-ver " + Shell(path)).out, "JET4\n");
  EXPECT_EQ(Tables(path), std::vector<std::string>{"Types"});
  EXPECT_EQ(Count(path, "Types"), 4);
  const std::string schema = RunCommand("mdb-schema " + Shell(path)).out;
  for (const char* line : {"[Id]\t\t\tLong Integer", "[Small]\t\t\tInteger", "[Name]\t\t\tText (30)",
                           "[Notes]\t\t\tMemo/Hyperlink", "[When]\t\t\tDateTime",
                           "[Score]\t\t\tDouble", "[Fee]\t\t\tCurrency", "[Active]\t\t\tBoolean"}) {
    EXPECT_NE(schema.find(line), std::string::npos) << line << "\n" << schema;
  }

  const std::vector<Row> rows = ReadTable(path, "Types");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (Row{"-2147483648", "-32768", "O'Neill \"Jr\"", "line one, two",
                          "2024-02-29 23:59:58", "0.1", "12.3400", "1"}));
  // Empty texts are present, not NULL; only a missing value is NULL. Yes/No cannot be NULL.
  EXPECT_EQ(rows[1], (Row{"2147483647", "32767", "", "", "1900-01-01 00:00:00", "-1e+300",
                          "-0.0001", "0"}));
  EXPECT_EQ(rows[2], (Row{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                          std::nullopt, std::nullopt, "0"}));
  EXPECT_EQ(rows[3], (Row{"7", "0", "ab", "x", "2001-09-09 01:46:40", "3", "5.0000", "1"}));

  const auto csv = Export(path, "Types");
  ASSERT_EQ(csv.size(), 5u);
  EXPECT_EQ(csv[0], (std::vector<std::string>{"Id", "Small", "Name", "Notes", "When", "Score",
                                              "Fee", "Active"}));
  EXPECT_EQ(csv[1][2], "O'Neill \"Jr\"");
  EXPECT_EQ(csv[1][4], "2024-02-29 23:59:58");
}

TEST(JetWriterTest, NonLatinTextRoundTripsAndCharactersOutsideTheBmpReadAsQuestionMarks) {
  TempDir dir;
  const std::string path = dir.File("text.mdb");
  const std::vector<std::string> names = {
      "Zo\xC3\xAB M\xC3\xBCller",                  // Latin-1: stored compressed
      "\xCE\x9D\xCE\xAF\xCE\xBA\xCE\xBF\xCF\x82",  // Greek: UCS-2
      "\xE5\xB0\x8F\xE4\xBC\x9F",                  // CJK
      "\xC4\x80\xE4\xB8\x80",                      // U+0100 U+4E00: low byte 0
      "smile \xF0\x9F\x98\x80!",                   // U+1F600, outside the BMP
  };
  TableData t{"Names", {{"Name", ColumnType::kText, 20}, {"Note", ColumnType::kMemo}}, {}};
  for (const std::string& n : names) t.rows.push_back({n, n + " / " + n});
  WriteDatabase(path, {t});

  const std::vector<Row> rows = ReadTable(path, "Names");
  ASSERT_EQ(rows.size(), names.size());
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    EXPECT_EQ(rows[i][0], names[i]);
    EXPECT_EQ(rows[i][1], names[i] + " / " + names[i]);
  }
  // libmdb converts with UCS-2 semantics: each half of a surrogate pair becomes "?".
  EXPECT_EQ(rows.back()[0], "smile ?" "?!");
  EXPECT_EQ(Export(path, "Names")[5][0], "smile ?" "?!");
}

TEST(JetWriterTest, TextIsCompressedOnlyWhenAllLatin1AndShorter) {
  EXPECT_EQ(EncodeText(u"Zo\u00EB"), (std::vector<uint8_t>{0xFF, 0xFE, 'Z', 'o', 0xEB}));
  EXPECT_EQ(EncodeText(u"ab"), (std::vector<uint8_t>{'a', 0, 'b', 0}));
  EXPECT_EQ(EncodeText(u"a\u4E00c"), (std::vector<uint8_t>{'a', 0, 0x00, 0x4E, 'c', 0}));
  EXPECT_EQ(DecodeText(EncodeText(u"Zo\u00EB")), u"Zo\u00EB");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), (std::u16string{char16_t{0xD83D}, char16_t{0xDE00}}));
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xF0\x9F\x98\x80 \xC3\xBC")), "\xF0\x9F\x98\x80 \xC3\xBC");
  EXPECT_THROW(Utf8ToUtf16("\xC3"), std::invalid_argument);
  EXPECT_THROW(Utf8ToUtf16("\xC0\x80"), std::invalid_argument);       // overlong
  EXPECT_THROW(Utf8ToUtf16("\xED\xA0\x80"), std::invalid_argument);   // surrogate
}

TEST(JetWriterTest, LongMemosGoToLvalPagesAndReadBackWhole) {
  TempDir dir;
  const std::string path = dir.File("memo.mdb");
  std::string greek;
  for (int i = 0; i < 3000; ++i) greek += "\xCE\xB1\xCE\xB2";  // 6000 characters, 12000 bytes
  const std::string medium(3000, 'm');                          // one LVAL row
  const std::string latin(70000, 'x');                          // a chain of rows
  TableData t{"Memos", {{"Id", ColumnType::kLong}, {"A", ColumnType::kMemo}, {"B", ColumnType::kMemo}}, {}};
  t.rows.push_back({int64_t{1}, medium, medium});
  t.rows.push_back({int64_t{2}, greek, std::string("short")});
  t.rows.push_back({int64_t{3}, latin, Cell{}});
  WriteDatabase(path, {t});

  const std::vector<Row> rows = ReadTable(path, "Memos");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], medium);
  EXPECT_EQ(rows[0][2], medium);
  EXPECT_EQ(rows[1][1], greek);
  EXPECT_EQ(rows[1][2], "short");
  EXPECT_EQ(rows[2][1], latin);
  EXPECT_EQ(rows[2][2], std::nullopt);
}

// Rows of roughly 500 bytes: 8 to a page, so 5,000 rows take over 600 data pages.
TEST(JetWriterTest, TablesOverManyPagesUseIndirectUsageMapsAndKeepEveryRow) {
  TempDir dir;
  const std::string path = dir.File("big.mdb");
  std::string wide;
  for (int i = 0; i < 120; ++i) wide += "\xCE\xB1";  // 120 Greek letters, 240 bytes as UCS-2
  DatabaseWriter w(path);
  w.BeginTable("Big", {{"N", ColumnType::kLong}, {"A", ColumnType::kText, 255},
                       {"B", ColumnType::kText, 255}, {"C", ColumnType::kText, 10}});
  constexpr int kRows = 5000;
  for (int i = 0; i < kRows; ++i) {
    w.AddRow({int64_t{i}, wide, wide, i % 7 == 0 ? Cell{} : Cell{std::to_string(i)}});
  }
  w.BeginTable("Small", {{"N", ColumnType::kLong}});
  for (int i = 0; i < 300; ++i) w.AddRow({int64_t{i}});
  w.Finish();

  const std::vector<uint8_t> bytes = ReadBytes(path);
  EXPECT_GT(bytes.size(), 600u * 4096u);
  EXPECT_EQ(OwnedMapType(bytes, 3), 1);  // the first table's definition is the first free page

  EXPECT_EQ(Count(path, "Big"), kRows);
  const auto csv = Export(path, "Big");
  ASSERT_EQ(csv.size(), static_cast<size_t>(kRows) + 1);
  for (int i = 0; i < kRows; ++i) {
    const auto& row = csv[static_cast<size_t>(i) + 1];
    ASSERT_EQ(row.size(), 4u);
    ASSERT_EQ(row[0], std::to_string(i));
    ASSERT_EQ(row[1], wide);
    ASSERT_EQ(row[3], i % 7 == 0 ? "" : std::to_string(i));
  }
  const auto small = Export(path, "Small");
  ASSERT_EQ(small.size(), 301u);
  EXPECT_EQ(small[300][0], "299");
}

TEST(JetWriterTest, ManyTablesAndWideTablesSpanCatalogAndDefinitionPages) {
  TempDir dir;
  const std::string path = dir.File("many.mdb");
  std::vector<TableData> tables;
  for (int i = 0; i < 150; ++i) {
    tables.push_back({"Table " + std::to_string(i), {{"V", ColumnType::kLong}}, {{int64_t{i}}}});
  }
  TableData wide{"Wide", {}, {{}}};
  for (int c = 0; c < 200; ++c) {
    wide.columns.push_back({"Column number " + std::to_string(c), ColumnType::kText, 10});
    wide.rows[0].push_back(std::to_string(c));
  }
  tables.push_back(wide);
  tables.push_back({"Empty", {{"V", ColumnType::kLong}}, {}});
  WriteDatabase(path, tables);

  const std::vector<std::string> names = Tables(path);
  ASSERT_EQ(names.size(), 152u);
  EXPECT_EQ(names[149], "Table 149");
  EXPECT_EQ(Export(path, "Table 149")[1][0], "149");
  const auto csv = Export(path, "Wide");
  ASSERT_EQ(csv.size(), 2u);
  ASSERT_EQ(csv[0].size(), 200u);
  EXPECT_EQ(csv[0][199], "Column number 199");
  EXPECT_EQ(csv[1][199], "199");
  EXPECT_EQ(Count(path, "Empty"), 0);
  EXPECT_EQ(Export(path, "Empty").size(), 1u);
}

TEST(JetWriterTest, RejectedCellsAndSchemasNameTheirPlaceAndLeaveTheWriterUsable) {
  TempDir dir;
  const std::string path = dir.File("bad.mdb");
  DatabaseWriter w(path);
  EXPECT_THROW(w.BeginTable("T", {{"a", ColumnType::kLong}, {"A", ColumnType::kText}}),
               std::invalid_argument);
  EXPECT_THROW(w.BeginTable("T", {{"a", ColumnType::kText, 256}}), std::invalid_argument);
  EXPECT_THROW(w.BeginTable("msysobjects", {{"a", ColumnType::kLong}}), std::invalid_argument);
  EXPECT_THROW(w.AddRow({int64_t{1}}), std::logic_error);  // no table yet
  w.BeginTable("T", {{"n", ColumnType::kInteger}, {"s", ColumnType::kText, 3}});
  EXPECT_THROW(w.BeginTable("t", {{"a", ColumnType::kLong}}), std::invalid_argument);
  try {
    w.AddRow({int64_t{40000}, std::string("ok")});
    FAIL() << "no throw";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "table 'T', column 'n': value out of range for Integer");
  }
  EXPECT_THROW(w.AddRow({int64_t{1}, std::string("four")}), std::invalid_argument);
  EXPECT_THROW(w.AddRow({int64_t{1}, 2.0}), std::invalid_argument);
  EXPECT_THROW(w.AddRow({int64_t{1}}), std::invalid_argument);
  EXPECT_THROW(w.AddRow({int64_t{1}, std::string("a\xFF")}), std::invalid_argument);
  EXPECT_THROW(w.AddRow({int64_t{1}, std::string("a\0b", 3)}), std::invalid_argument);
  EXPECT_THROW(w.AddRow({int64_t{1}, std::string("\xEF\xBB\xBF" "ab")}), std::invalid_argument);
  w.AddRow({int64_t{1}, std::string("\xC3\xA9\xC3\xA9\xC3\xA9")});  // three characters fit
  w.Finish();
  EXPECT_THROW(w.AddRow({int64_t{1}, Cell{}}), std::logic_error);
  EXPECT_EQ(ReadTable(path, "T"), (std::vector<Row>{{"1", "\xC3\xA9\xC3\xA9\xC3\xA9"}}));
}

TEST(JetWriterTest, UnwritablePathThrowsNamingIt) {
  try {
    WriteDatabase("/nonexistent-dir/x.mdb", {});
    FAIL() << "no throw";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent-dir/x.mdb"), std::string::npos);
  }
}

TEST(JetWriterTest, DatesCountDaysFrom1899December30) {
  EXPECT_EQ(DateTime::FromCivil(1899, 12, 30).days, 0.0);
  EXPECT_EQ(DateTime::FromCivil(1900, 1, 1).days, 2.0);
  EXPECT_EQ(DateTime::FromCivil(2024, 1, 15, 12, 0, 0).days, 45306.5);
  EXPECT_EQ(DateTime::FromCivil(1899, 12, 29, 6, 0, 0).days, -1.25);
}

}  // namespace
}  // namespace varnholt::jet
