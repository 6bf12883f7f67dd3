#include "stores/target/target_table.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "stores/target/sql_statement.h"
#include "stores/target/target_session.h"
#include "stores/paradox/header.h"
#include "stores/paradox/val_layout.h"
#include "tests/support/copy_over.h"
#include "tests/target/target_test_tables.h"

namespace varnholt {
namespace {

using testing::CreateTargetTables;
using testing::InFolder;
using testing::Snapshot;
using testing::TempDir;

template <typename F>
std::string ErrorOf(F&& operation) {
  try {
    operation();
  } catch (const StoreError& error) {
    return error.what();
  }
  return "(no error)";
}

class TargetTableTest : public ::testing::Test {
 protected:
  TargetTableTest() { CreateTargetTables(dir_.path()); }

  void Bind(TargetTable& table, const std::string& file) {
    table.SetDatabaseName(dir_.path());
    table.SetTableName(file);
    table.Open();
  }

  void AddLearner(TargetTable& table, const std::string& code, const std::string& surname) {
    table.Insert();
    table.SetFieldText("CH01_CODE", code);
    table.SetFieldText("CH01_SURNAME", surname);
    table.Post();
  }

  TempDir dir_;
  RegionalSettings settings_;
  TargetSession session_;
  TargetTable ch01mast_{"Ch01mast", session_, settings_};
  TargetTable dl01mast_{"Dl01mast", session_, settings_};
};

TEST_F(TargetTableTest, RebindingRefusesAnotherTextOnAnOpenComponent) {
  // A closed component takes any text, and a failed open leaves it closed and rebindable.
  ch01mast_.SetDatabaseName(dir_.path() + "/missing");
  ch01mast_.SetTableName("CH01MAST.DB");
  EXPECT_EQ(ErrorOf([&] { ch01mast_.Open(); }),
            "Table does not exist.\nFile: " + InFolder(dir_.path() + "/missing", "CH01MAST.DB"));
  EXPECT_FALSE(ch01mast_.Active());
  Bind(ch01mast_, "CH01MAST.DB");
  EXPECT_TRUE(ch01mast_.Active());

  // The same text does nothing; another text, a change of case included, is refused.
  ch01mast_.SetDatabaseName(dir_.path());
  ch01mast_.SetTableName("CH01MAST.DB");
  ch01mast_.Open();
  const std::string refused = "Ch01mast: Cannot perform this operation on an open dataset";
  EXPECT_EQ(ErrorOf([&] { ch01mast_.SetTableName("ch01mast.db"); }), refused);
  EXPECT_EQ(ErrorOf([&] { ch01mast_.SetTableName("DL01MAST.DB"); }), refused);
  EXPECT_EQ(ErrorOf([&] { ch01mast_.SetDatabaseName(dir_.path() + "/"); }), refused);
  EXPECT_TRUE(ch01mast_.Active());
}

TEST_F(TargetTableTest, TableNamesResolveWithoutRegardToCaseAndShareOneOpenTable) {
  Bind(ch01mast_, "ch01mast.db");
  TargetTable second("Second", session_, settings_);
  Bind(second, "CH01MAST.DB");
  AddLearner(ch01mast_, "L1", "Doe");
  // The other component sees the posted row at once.
  second.First();
  EXPECT_EQ(second.FieldText("ch01_surname"), "Doe");

  // So does a statement that spells the table another way, and its change shows at once.
  SqlStatement update("Update2", session_, settings_);
  update.SetDatabaseName(dir_.path());
  update.SetText("UPDATE ch01mast SET CH01_SURNAME = \"Roe\" WHERE CH01_CODE = \"L1\"");
  update.ExecSQL();
  EXPECT_EQ(second.FieldText("CH01_SURNAME"), "Roe");
  EXPECT_EQ(ch01mast_.FieldText("CH01_SURNAME"), "Roe");
}

TEST_F(TargetTableTest, FiltersFollowTheTargetDialect) {
  Bind(ch01mast_, "CH01MAST.DB");
  Bind(dl01mast_, "DL01MAST.DB");
  AddLearner(ch01mast_, "L1", "Doe");
  AddLearner(ch01mast_, "L2", "Roe");
  AddLearner(ch01mast_, "l2", "Low");
  dl01mast_.Insert();
  dl01mast_.SetFieldText("DL01_CODE", "3057");
  dl01mast_.Post();

  ch01mast_.SetFilter("CH01_CODE ='L2' ");
  ch01mast_.SetFiltered(true);
  EXPECT_EQ(ch01mast_.FieldText("CH01_SURNAME"), "Roe");  // case counts: not "l2"
  ch01mast_.Next();
  EXPECT_TRUE(ch01mast_.Eof());
  ch01mast_.SetFilter("ch01_code='L9'");
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "");
  EXPECT_TRUE(ch01mast_.Eof());

  // An unquoted number against a character field compares as its digits.
  dl01mast_.SetFilter("DL01_code =3057");
  dl01mast_.SetFiltered(true);
  EXPECT_EQ(dl01mast_.FieldText("DL01_CODE"), "3057");
  dl01mast_.SetFilter("DL01_code =357");
  EXPECT_EQ(dl01mast_.FieldText("DL01_CODE"), "");

  // Switching the filter off goes to the first row of the table.
  ch01mast_.SetFiltered(false);
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "L1");
}

TEST_F(TargetTableTest, FilterChangesAreParsedAtOnceAndMoveToTheFirstMatch) {
  Bind(ch01mast_, "CH01MAST.DB");
  AddLearner(ch01mast_, "A1", "Ann");
  AddLearner(ch01mast_, "A2", "Ann");
  AddLearner(ch01mast_, "B1", "Bob");

  // A bad filter fails even with filtering off, and the one in force stays.
  ch01mast_.SetFilter("CH01_SURNAME='Ann'");
  EXPECT_NE(ErrorOf([&] { ch01mast_.SetFilter("CH01_SURNAME='Ann"); }), "(no error)");
  EXPECT_NE(ErrorOf([&] { ch01mast_.SetFilter("NO_SUCH_FIELD='x'"); }), "(no error)");
  ch01mast_.SetFiltered(true);
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "A1");
  ch01mast_.Next();
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "A2");
  // The same text again still goes back to the first matching row; so does Filtered on again.
  ch01mast_.SetFilter("CH01_SURNAME='Ann'");
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "A1");
  ch01mast_.Next();
  ch01mast_.SetFiltered(true);
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "A1");
  // A filter that is not a plain equality is evaluated row by row.
  ch01mast_.SetFilter("CH01_SURNAME='Ann' AND NOT CH01_CODE='A1'");
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "A2");
}

TEST_F(TargetTableTest, SettingFilterOrFilteredFirstPostsThePendingRow) {
  Bind(ch01mast_, "CH01MAST.DB");
  ch01mast_.Insert();
  ch01mast_.SetFieldText("CH01_CODE", "N1");
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "N1");  // the pending row is the current one
  ch01mast_.SetFilter("CH01_CODE='N1'");
  EXPECT_FALSE(ch01mast_.HasPending());
  ch01mast_.Insert();
  ch01mast_.SetFieldText("CH01_CODE", "N2");
  ch01mast_.SetFiltered(true);
  EXPECT_FALSE(ch01mast_.HasPending());
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "N1");
  ch01mast_.SetFilter("CH01_CODE='N2'");
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "N2");
  // After a post the cursor stands on the posted row.
  ch01mast_.SetFiltered(false);
  AddLearner(ch01mast_, "M1", "Mid");
  EXPECT_EQ(ch01mast_.FieldText("CH01_SURNAME"), "Mid");
}

TEST_F(TargetTableTest, SetFieldTextConvertsAndReadsBackAsText) {
  Bind(ch01mast_, "CH01MAST.DB");
  Bind(dl01mast_, "DL01MAST.DB");
  ch01mast_.Insert();
  ch01mast_.SetFieldText("ch01_code", "L1");
  ch01mast_.SetFieldText("CH01_INITIALS", "ABCDEFGH");          // cut to 5
  ch01mast_.SetFieldText("CH01_DATE_OF_BIRTH", "25/01/2010");  // day/month/year
  ch01mast_.SetFieldText("CH01_ADM_DATE", "2011/02/03");       // regional short date
  ch01mast_.SetFieldText("CH01_BALANCE", "12.50");
  ch01mast_.SetFieldText("CH01_SURNAME", "");                  // null
  ch01mast_.Post();
  ch01mast_.First();
  EXPECT_EQ(ch01mast_.FieldText("CH01_INITIALS"), "ABCDE");
  EXPECT_EQ(ch01mast_.FieldText("CH01_DATE_OF_BIRTH"), "2010/01/25");
  EXPECT_EQ(ch01mast_.FieldText("CH01_ADM_DATE"), "2011/02/03");
  EXPECT_EQ(ch01mast_.FieldText("CH01_BALANCE"), "12.5");
  EXPECT_EQ(ch01mast_.FieldText("CH01_SURNAME"), "");

  dl01mast_.Insert();
  dl01mast_.SetFieldText("DL01_CODE", "31");
  dl01mast_.SetFieldText("DL01_CREDIT_LIMIT", "40203");
  dl01mast_.Post();
  EXPECT_EQ(dl01mast_.FieldText("DL01_CREDIT_LIMIT"), "40203");
}

TEST_F(TargetTableTest, MessagesNameTheComponentOrTheField) {
  Bind(ch01mast_, "CH01MAST.DB");
  EXPECT_EQ(ErrorOf([&] { ch01mast_.FieldText("CH01_NOPE"); }),
            "Ch01mast: Field 'CH01_NOPE' not found");
  ch01mast_.Insert();
  EXPECT_EQ(ErrorOf([&] { ch01mast_.SetFieldText("Nope", "x"); }),
            "Ch01mast: Field 'Nope' not found");
  EXPECT_EQ(ErrorOf([&] { ch01mast_.SetFieldText("ch01_date_of_birth", "12/00/2010"); }),
            "Invalid value for field 'CH01_DATE_OF_BIRTH'");
  EXPECT_EQ(ErrorOf([&] { ch01mast_.SetFieldText("CH01_BALANCE", "12,5"); }),
            "Invalid value for field 'CH01_BALANCE'");
  ch01mast_.DiscardPending();
  EXPECT_EQ(ErrorOf([&] { ch01mast_.SetFieldText("CH01_CODE", "x"); }),
            "Ch01mast: Dataset not in edit or insert mode");
  TargetTable closed("Dl00", session_, settings_);
  EXPECT_EQ(ErrorOf([&] { closed.First(); }),
            "Dl00: Cannot perform this operation on a closed dataset");
}

TEST_F(TargetTableTest, RefusedPostLeavesTheTableAsItWasAndDiscardingDropsTheRow) {
  Bind(ch01mast_, "CH01MAST.DB");
  AddLearner(ch01mast_, "L1", "Doe");
  auto before = Snapshot(dir_.path());

  ch01mast_.Insert();
  ch01mast_.SetFieldText("CH01_CODE", "L1");
  ch01mast_.SetFieldText("CH01_SURNAME", "Duplicate");
  std::string message = ErrorOf([&] { ch01mast_.Post(); });
  EXPECT_NE(message, "(no error)");
  EXPECT_TRUE(ch01mast_.HasPending());
  EXPECT_EQ(Snapshot(dir_.path()), before);

  // The command ends with the error: the pending row is dropped, so nothing half-made is posted by
  // the next move or filter change.
  ch01mast_.DiscardPending();
  EXPECT_FALSE(ch01mast_.HasPending());
  ch01mast_.SetFilter("CH01_CODE='L1'");
  ch01mast_.SetFiltered(true);
  EXPECT_EQ(ch01mast_.FieldText("CH01_SURNAME"), "Doe");
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

TEST_F(TargetTableTest, KeyViolationReadsTheSameFromAnInsertAndFromAStatement) {
  Bind(dl01mast_, "DL01MAST.DB");
  for (const char* code : {"31", "32"}) {
    dl01mast_.Insert();
    dl01mast_.SetFieldText("DL01_CODE", code);
    dl01mast_.Post();
  }
  dl01mast_.Insert();
  dl01mast_.SetFieldText("DL01_CODE", "31");
  const std::string from_insert = ErrorOf([&] { dl01mast_.Post(); });
  dl01mast_.DiscardPending();

  SqlStatement update("Update", session_, settings_);
  update.SetDatabaseName(dir_.path());
  update.SetText("UPDATE DL01MAST.DB SET DL01_CODE = '31' WHERE DL01_CODE = '32'");
  const std::string from_statement = ErrorOf([&] { update.ExecSQL(); });

  EXPECT_EQ(from_insert, "Key violation.\nTable: " + InFolder(dir_.path(), "DL01MAST.DB"));
  EXPECT_EQ(from_insert, from_statement);
}

TEST_F(TargetTableTest, WholeCodesCountTheTableCodePageBytesAgainstItsWidthOnDisk) {
  // A learner table whose code is narrower than the sample's, as another product version has it.
  std::filesystem::remove(dir_.path() + "/CH01MAST.DB");
  std::filesystem::remove(dir_.path() + "/CH01MAST.PX");
  paradox::TableSchema narrow;
  narrow.fields = {{"CH01_CODE", paradox::FieldType::kAlpha, 4},
                   {"CH01_DATE_OF_BIRTH", paradox::FieldType::kDate, 4}};
  narrow.key_field_count = 1;
  paradox::Table::Create(dir_.path() + "/CH01MAST.DB", narrow);
  Bind(ch01mast_, "CH01MAST.DB");

  EXPECT_EQ(ch01mast_.FieldWidth("ch01_code"), 4);
  EXPECT_TRUE(ch01mast_.HoldsWhole("CH01_CODE", ""));
  EXPECT_TRUE(ch01mast_.HoldsWhole("CH01_CODE", "ABCD"));
  EXPECT_FALSE(ch01mast_.HoldsWhole("CH01_CODE", "ABCDE"));
  // Four characters of code page 437 are four bytes there, though eight in UTF-8.
  EXPECT_TRUE(ch01mast_.HoldsWhole("CH01_CODE", "\u00C4\u00D6\u00DC\u00E9"));
  EXPECT_FALSE(ch01mast_.HoldsWhole("CH01_CODE", "\u00C4\u00D6\u00DC\u00E9x"));
  // The euro sign, which the code page lacks, is stored as the three letters standing in for it.
  EXPECT_FALSE(ch01mast_.HoldsWhole("CH01_CODE", "AB\u20AC"));
  EXPECT_TRUE(ch01mast_.HoldsWhole("CH01_DATE_OF_BIRTH", "01/02/2010 and more"));
  EXPECT_EQ(ErrorOf([&] { ch01mast_.HoldsWhole("CH01_NOPE", "x"); }),
            "Ch01mast: Field 'CH01_NOPE' not found");
}

TEST_F(TargetTableTest, FailedFieldWriteLeavesAPartialRowThatIsDiscarded) {
  Bind(ch01mast_, "CH01MAST.DB");
  ch01mast_.Insert();
  ch01mast_.SetFieldText("CH01_CODE", "P1");
  EXPECT_NE(ErrorOf([&] { ch01mast_.SetFieldText("CH01_DATE_OF_BIRTH", "xx/yy/zzzz"); }),
            "(no error)");
  ch01mast_.DiscardPending();
  ch01mast_.SetFilter("CH01_CODE='P1'");
  ch01mast_.SetFiltered(true);
  EXPECT_EQ(ch01mast_.FieldText("CH01_CODE"), "");
}

// A validity-check file that marks one field required, in the layout of Paradox 4 and later.
void WriteRequiredVal(const std::string& db_path, const std::string& val_path, int field) {
  std::ifstream db(db_path, std::ios::binary);
  using namespace paradox;
  std::string header(kHeaderFixedSize, '\0');
  db.read(header.data(), header.size());
  std::string val(kValFirstEntry + kEntryFixedSize, '\0');
  val[kValChangeCount] = header[kHeaderChangeCount2];
  val[kValVersion] = 12;
  val[kValEntryCount] = 1;
  val[kValFirstEntry + kEntryField] = static_cast<char>(field);
  val[kValFirstEntry + kEntryRequired] = kRequired;
  std::ofstream(val_path, std::ios::binary) << val;
}

TEST(RequiredFieldTest, ARequiredFieldLeftEmptyIsRefused) {
  TempDir dir;
  CreateTargetTables(dir.path());
  WriteRequiredVal(dir.path() + "/CLASSMAS.DB", dir.path() + "/classmas.val", 1);
  RegionalSettings settings;
  TargetSession session;
  TargetTable classmas("Classmas", session, settings);
  classmas.SetDatabaseName(dir.path());
  classmas.SetTableName("CLASSMAS.DB");
  classmas.Open();
  classmas.Insert();
  classmas.SetFieldText("CL01_CODE", "7A");
  EXPECT_EQ(ErrorOf([&] { classmas.Post(); }), "Field 'CL01_TEACHER' must have a value");
  classmas.SetFieldText("CL01_TEACHER", "Ms X");
  classmas.Post();

  SqlStatement update("UpdateC2", session, settings);
  update.SetDatabaseName(dir.path());
  update.SetText("UPDATE CLASSMAS.DB SET CL01_TEACHER = \"\" WHERE CL01_CODE = \"7A\"");
  EXPECT_EQ(ErrorOf([&] { update.ExecSQL(); }), "Field 'CL01_TEACHER' must have a value");
}

}  // namespace
}  // namespace varnholt

namespace varnholt {
namespace {

// Copies a genuine table family made by another program, under lower-case names.
bool CopySample(const std::string& table, const std::vector<std::string>& extensions,
                const std::string& dir) {
  std::string samples = std::string(VARNHOLT_SHARED_DIR) + "/testdata/paradox/teverett-paradoxReader";
  if (!std::filesystem::exists(samples)) return false;
  for (const std::string& ext : extensions) {
    std::string lower = table + ext;
    for (char& c : lower) c = static_cast<char>(std::tolower(c));
    std::filesystem::copy_file(samples + "/" + table + ext, dir + "/" + lower);
    std::filesystem::permissions(dir + "/" + lower, std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_write);
  }
  return true;
}

TEST(GenuineTableTest, ReadsFiltersAndRefusesOrUpdatesATableWithSecondaryIndexes) {
  TempDir dir;
  if (!CopySample("CUSTOMER", {".DB", ".PX", ".MB", ".X06", ".Y06"}, dir.path())) {
    GTEST_SKIP() << "no sample files";
  }
  RegionalSettings settings;
  TargetSession session;
  TargetTable customer("Customer", session, settings);
  customer.SetDatabaseName(dir.path());
  customer.SetTableName("CUSTOMER.DB");
  customer.Open();
  std::string number = customer.FieldText("custno");
  std::string city = customer.FieldText("CITY");
  ASSERT_FALSE(number.empty());
  EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << number;
  customer.SetFilter("CustNo = " + number);
  customer.SetFiltered(true);
  EXPECT_EQ(customer.FieldText("City"), city);

  // A statement either changes the row or, where the engine refuses the table, nothing at all.
  auto before = testing::Snapshot(dir.path());
  SqlStatement update("Update", session, settings);
  update.SetDatabaseName(dir.path());
  update.SetText("UPDATE customer SET City = 'Elsewhere' WHERE CustNo = " + number);
  try {
    update.ExecSQL();
    EXPECT_EQ(customer.FieldText("City"), "Elsewhere");
  } catch (const StoreError&) {
    EXPECT_EQ(testing::Snapshot(dir.path()), before);
    EXPECT_EQ(customer.FieldText("City"), city);
  }
}

}  // namespace
}  // namespace varnholt

namespace varnholt {
namespace {

TEST(GenuineTableTest, StatementRewritesEveryMatchingRowOnDisk) {
  TempDir dir;
  if (!CopySample("ORDERS", {".DB", ".PX"}, dir.path())) GTEST_SKIP() << "no sample files";
  RegionalSettings settings;
  std::string month;
  size_t matching = 0;
  {
    TargetSession session;
    TargetTable orders("Orders", session, settings);
    orders.SetDatabaseName(dir.path());
    orders.SetTableName("ORDERS.DB");
    orders.Open();
    month = orders.FieldText("Month");
    EXPECT_EQ(orders.FieldText("Sale Date").size(), 10u);
    orders.SetFilter("Month = '" + month + "'");
    orders.SetFiltered(true);
    for (; !orders.Eof(); orders.Next()) ++matching;
    ASSERT_GT(matching, 0u);
    SqlStatement update("Update", session, settings);
    update.SetDatabaseName(dir.path());
    update.SetText("UPDATE Orders.db SET Terms = 'Net 9' WHERE Month = '" + month + "'");
    update.ExecSQL();
  }
  // A new session reads the files afresh.
  TargetSession session;
  TargetTable orders("Orders", session, settings);
  orders.SetDatabaseName(dir.path());
  orders.SetTableName("orders.db");
  orders.Open();
  size_t rewritten = 0;
  size_t others = 0;
  for (; !orders.Eof(); orders.Next()) {
    if (orders.FieldText("Month") == month) {
      EXPECT_EQ(orders.FieldText("Terms"), "Net 9");
      ++rewritten;
    } else {
      EXPECT_NE(orders.FieldText("Terms"), "Net 9");
      ++others;
    }
  }
  EXPECT_EQ(rewritten, matching);
  EXPECT_EQ(rewritten + others, 224u);
}

}  // namespace
}  // namespace varnholt

namespace varnholt {
namespace {

TEST(ChangedByAnotherProgramTest, ComponentsAndStatementsSeeTheFilesAsTheyAreNow) {
  TempDir ours, theirs;
  CreateTargetTables(ours.path());
  CreateTargetTables(theirs.path());
  RegionalSettings settings;
  TargetSession session;
  TargetTable ch01mast("Ch01mast", session, settings);
  ch01mast.SetDatabaseName(ours.path());
  ch01mast.SetTableName("CH01MAST.DB");
  ch01mast.Open();
  for (const char* code : {"B1", "B2"}) {
    ch01mast.Insert();
    ch01mast.SetFieldText("CH01_CODE", code);
    ch01mast.Post();
  }
  ch01mast.First();
  ch01mast.Next();
  EXPECT_EQ(ch01mast.FieldText("CH01_CODE"), "B2");
  session.SaveAll();

  // The other program's version of the table: one row before ours, one of ours gone.
  {
    TargetSession other;
    TargetTable table("Other", other, settings);
    table.SetDatabaseName(theirs.path());
    table.SetTableName("CH01MAST.DB");
    table.Open();
    for (const char* code : {"A1", "B2"}) {
      table.Insert();
      table.SetFieldText("CH01_CODE", code);
      table.SetFieldText("CH01_SURNAME", "Theirs");
      table.Post();
    }
  }
  for (const char* file : {"/CH01MAST.DB", "/CH01MAST.PX"}) {
    varnholt::testing::CopyOver(theirs.path() + file, ours.path() + file);
  }

  ch01mast.SetFilter("CH01_CODE='A1'");
  ch01mast.SetFiltered(true);
  EXPECT_EQ(ch01mast.FieldText("CH01_SURNAME"), "Theirs");
  SqlStatement update("Update2", session, settings);
  update.SetDatabaseName(ours.path());
  update.SetText("UPDATE CH01MAST.db SET CH01_NAME = 'Seen' WHERE CH01_CODE = 'B2'");
  update.ExecSQL();
  ch01mast.SetFiltered(false);
  EXPECT_EQ(ch01mast.FieldText("CH01_CODE"), "A1");
  ch01mast.Next();
  EXPECT_EQ(ch01mast.FieldText("CH01_NAME"), "Seen");
  ch01mast.Next();
  EXPECT_TRUE(ch01mast.Eof());
}

}  // namespace
}  // namespace varnholt
