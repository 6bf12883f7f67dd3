#include "stores/jet/jet_database.h"
#include "stores/jet/jet_format.h"

#include <gtest/gtest.h>

#include <random>

#include "base/store_error.h"
#include "tests/source/source_test_files.h"

namespace varnholt {
namespace {

using jet::Cell;
using jet::ColumnType;

std::string OpenError(const std::string& path, const std::string& password = "Talvern") {
  try {
    JetDatabase::Open(path, password);
  } catch (const StoreError& e) {
    return e.what();
  }
  return "(opened)";
}

std::string SmallDatabase(const ScratchDir& dir, const std::string& password = "") {
  std::string path = dir.File("small.mdb");
  jet::WriteOptions options;
  options.password = password;
  jet::WriteDatabase(path, {{"Classes", {{"ClassID", ColumnType::kLong}}, {{Cell{int64_t{7}}}}}}, options);
  return path;
}

TEST(JetDatabaseTest, EachOpenFailureHasItsOwnMessageNamingTheFile) {
  ScratchDir dir;
  const std::string missing = dir.File("nowhere.mdb");
  EXPECT_EQ(OpenError(missing), "Could not find file '" + missing + "'");
  EXPECT_EQ(OpenError(""), "Could not find file ''");
  EXPECT_EQ(OpenError(dir.File("")), "Cannot read '" + dir.File("") + "': it is a directory");

  const std::string text = dir.File("notes.mdb");
  WriteBytes(text, std::string(8192, 'x'));
  EXPECT_EQ(OpenError(text), "Unrecognized database format '" + text + "': it is not a Jet database");
  const std::string empty = dir.File("empty.mdb");
  WriteBytes(empty, "");
  EXPECT_EQ(OpenError(empty), "Unrecognized database format '" + empty + "': it is not a Jet database");

  // An Access 2007 file: same page 0 layout, another format id and version.
  const std::string good = SmallDatabase(dir);
  std::string bytes = ReadBytes(good);
  std::string ace = bytes;
  ace.replace(jet_format::kJetFormatIdOffset, 15, "Standard ACE DB");
  ace[jet_format::kJetVersionOffset] = 2;
  const std::string ace_path = dir.File("new.accdb");
  WriteBytes(ace_path, ace);
  EXPECT_EQ(OpenError(ace_path), "Unrecognized database format '" + ace_path +
                                     "': it is an Access 2007 or later database, which the Jet 4.0 provider "
                                     "does not open");

  const std::string cut = dir.File("cut.mdb");
  WriteBytes(cut, bytes.substr(0, 5000));
  EXPECT_EQ(OpenError(cut), "Unrecognized database format '" + cut + "': the file is damaged");

  auto database = JetDatabase::Open(good, "Talvern");
  try {
    database->ReadTable("Learner_info");
    ADD_FAILURE();
  } catch (const StoreError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot find the table 'Learner_info' in '" + good + "'");
  }
  EXPECT_EQ(database->ReadTable("CLASSES").RowCount(), 1);  // table names in any case
}

TEST(JetDatabaseTest, PasswordIsCheckedAgainstTheStoredOne) {
  ScratchDir dir;
  const std::string path = SmallDatabase(dir, "Talvern");
  EXPECT_EQ(OpenError(path, "Talvern"), "(opened)");
  EXPECT_EQ(OpenError(path, "talvern"), "Not a valid password for '" + path + "'");
  EXPECT_EQ(OpenError(path, ""), "Not a valid password for '" + path + "'");

  ScratchDir other;
  const std::string unicode = SmallDatabase(other, "Pässwörd€");
  EXPECT_EQ(OpenError(unicode, "Pässwörd€"), "(opened)");
  EXPECT_NE(OpenError(unicode, "Passwort"), "(opened)");

  ScratchDir plain;
  const std::string open = SmallDatabase(plain);
  EXPECT_EQ(OpenError(open, "Talvern"), "(opened)");
  EXPECT_EQ(OpenError(open, "anything"), "(opened)");
}

TEST(JetDatabaseTest, GenuineAccessFiles) {
  if (!HaveSharedFiles()) GTEST_SKIP() << "no genuine sample files";
  ScratchDir dir;
  for (const char* name : {"access2000-password.mdb", "access2003-password.mdb"}) {
    const std::string path = CopyShared(dir, name);
    EXPECT_EQ(OpenError(path, "Talvern"), "Not a valid password for '" + path + "'");
    auto database = JetDatabase::Open(path, "password");
    EXPECT_EQ(database->Version(), JetVersion::kJet4);
    TableSnapshot table = database->ReadTable("Table1");
    ASSERT_EQ(table.RowCount(), 3);
    EXPECT_EQ(table.Value(2, 0).integer, 3);
    EXPECT_EQ(table.Value(2, 1).text, "Three");
  }
  for (const char* name : {"access2000-no-password.mdb", "access97-no-password.mdb", "adox-jet4-empty.mdb"}) {
    const std::string path = CopyShared(dir, name);
    EXPECT_EQ(OpenError(path, "Talvern"), "(opened)") << name;
    EXPECT_EQ(OpenError(path, "password"), "(opened)") << name;
  }
  const std::string jet3_path = CopyShared(dir, "access97-no-password.mdb");
  const std::string before = ReadBytes(jet3_path);
  auto jet3 = JetDatabase::Open(jet3_path, "Talvern");
  EXPECT_EQ(jet3->Version(), JetVersion::kJet3);
  EXPECT_EQ(jet3->TableNames(), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
  TableSnapshot table = jet3->ReadTable("table1");
  ASSERT_EQ(table.RowCount(), 2);
  ASSERT_EQ(table.ColumnCount(), 9);
  EXPECT_EQ(table.Value(1, 0).text, "abcdefg");
  EXPECT_EQ(table.Value(1, 4).integer, 333333333);
  EXPECT_DOUBLE_EQ(table.Value(1, 5).real, 444.555);
  EXPECT_EQ(table.Value(1, 7).integer, 35000);  // Currency in 1/10000
  EXPECT_EQ(table.Value(1, 8).integer, 1);
  jet3.reset();
  EXPECT_EQ(ReadBytes(jet3_path), before);  // opened read-only: not a byte changed
  EXPECT_EQ(JetDatabase::Open(CopyShared(dir, "adox-jet4-empty.mdb"), "")->TableNames().size(), 0u);
}

TEST(JetDatabaseTest, ValuesKeepTheirTypesNullsAndText) {
  ScratchDir dir;
  const std::string path = dir.File("types.mdb");
  const std::string long_memo(20000, 'm');
  std::string mixed_memo;
  for (int i = 0; i < 3000; ++i) mixed_memo += "Ωé";
  jet::WriteDatabase(
      path, {{"T",
              {{"L", ColumnType::kLong},
               {"I", ColumnType::kInteger},
               {"S", ColumnType::kText, 40},
               {"M", ColumnType::kMemo},
               {"D", ColumnType::kDateTime},
               {"F", ColumnType::kDouble},
               {"C", ColumnType::kCurrency},
               {"B", ColumnType::kBoolean}},
              {{Cell{int64_t{-2147483648LL}}, Cell{int64_t{-32768}}, Cell{std::string("")}, Cell{std::string("")},
                Cell{jet::DateTime::FromCivil(1899, 12, 29, 6)}, Cell{-0.5}, Cell{jet::Currency{-12345}},
                Cell{true}},
               {Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}, Cell{}},
               {Cell{int64_t{4000000000LL - 4294967296LL}}, Cell{int64_t{7}}, Cell{std::string("Ελένη Δημητρίου 😀")},
                Cell{long_memo}, Cell{jet::DateTime::FromCivil(2024, 2, 29, 23, 59, 59)}, Cell{1e20},
                Cell{jet::Currency{922337203685477LL}}, Cell{false}},
               {Cell{int64_t{1}}, Cell{int64_t{1}}, Cell{std::string("Іван Петренко")}, Cell{mixed_memo},
                Cell{jet::DateTime::FromCivil(9999, 12, 31)}, Cell{0.1}, Cell{jet::Currency{0}}, Cell{true}}}}});
  TableSnapshot t = JetDatabase::Open(path, "")->ReadTable("T");
  ASSERT_EQ(t.RowCount(), 4);
  // Row 0: extremes, and empty texts that are not null.
  EXPECT_EQ(t.Value(0, 0).integer, -2147483648LL);
  EXPECT_EQ(t.Value(0, 1).integer, -32768);
  EXPECT_FALSE(t.Value(0, 2).is_null);
  EXPECT_EQ(t.Value(0, 2).text, "");
  EXPECT_FALSE(t.Value(0, 3).is_null);
  EXPECT_EQ(t.Value(0, 3).text, "");
  EXPECT_DOUBLE_EQ(t.Value(0, 4).real, -1.25);
  EXPECT_EQ(t.Value(0, 6).integer, -12345);
  EXPECT_EQ(t.Value(0, 7).integer, 1);
  // Row 1: nulls everywhere (a Yes/No cannot be null: it reads No).
  for (int c = 0; c < 7; ++c) EXPECT_TRUE(t.Value(1, c).is_null) << c;
  EXPECT_FALSE(t.Value(1, 7).is_null);
  EXPECT_EQ(t.Value(1, 7).integer, 0);
  // Row 2: non-Latin text with a character outside the BMP, a memo on LVAL pages.
  EXPECT_EQ(t.Value(2, 0).integer, 4000000000LL - 4294967296LL);
  EXPECT_EQ(t.Value(2, 2).text, "Ελένη Δημητρίου 😀");
  EXPECT_EQ(t.Value(2, 3).text, long_memo);
  EXPECT_EQ(t.Value(2, 6).integer, 922337203685477LL);
  EXPECT_EQ(t.Value(3, 2).text, "Іван Петренко");
  EXPECT_EQ(t.Value(3, 3).text, mixed_memo);
  EXPECT_EQ(t.Column(4).type, SourceType::kDateTime);
  EXPECT_EQ(t.Column(7).type, SourceType::kBoolean);
}

TEST(JetDatabaseTest, DamagedFilesFailCleanly) {
  // Bytes scrambled in the first pages (catalog, table definition, usage maps, rows): every open
  // and read either works or throws StoreError; none may crash inside libmdb.
  ScratchDir dir;
  const std::string base = dir.File("base.mdb");
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 300; ++i) {
    rows.push_back({Cell{int64_t{i}}, Cell{"name " + std::to_string(i)}, Cell{std::string(i % 10 == 0 ? 5000 : 10, 'q')},
                    Cell{}});
  }
  jet::WriteDatabase(base, {{"T",
                             {{"A", ColumnType::kLong},
                              {"B", ColumnType::kText, 50},
                              {"M", ColumnType::kMemo},
                              {"D", ColumnType::kDateTime}},
                             rows}});
  const std::string bytes = ReadBytes(base);
  const std::string damaged = dir.File("damaged.mdb");
  std::mt19937 random(4);
  int failures = 0;
  for (int k = 0; k < 300; ++k) {
    std::string copy = bytes;
    int changes = 1 + random() % 20;
    for (int c = 0; c < changes; ++c) copy[0x200 + random() % (20480 - 0x200)] = static_cast<char>(random());
    WriteBytes(damaged, copy);
    try {
      JetDatabase::Open(damaged, "")->ReadTable("T");
    } catch (const StoreError&) {
      ++failures;
    }
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace varnholt
