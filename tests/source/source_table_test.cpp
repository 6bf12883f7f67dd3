#include "stores/source/source_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/store_error.h"
#include "tests/source/source_test_files.h"

namespace varnholt {
namespace {

using jet::Cell;
using jet::ColumnType;

Cell L(int64_t v) { return Cell{v}; }
Cell T(const char* v) { return Cell{std::string(v)}; }

// A small school: learners, parent links and classes, with the quirks the passes meet.
std::string WriteSchool(const ScratchDir& dir, const std::string& password = "Talvern") {
  std::string path = dir.File("school.mdb");
  jet::WriteOptions options;
  options.password = password;
  jet::WriteDatabase(
      path,
      {{"Learner_info",
        {{"LearnerID", ColumnType::kLong},
         {"Surname", ColumnType::kText, 50},
         {"Class", ColumnType::kText, 20},
         {"BirthDate", ColumnType::kDateTime},
         {"Active", ColumnType::kBoolean},
         {"Fees", ColumnType::kCurrency},
         {"Height", ColumnType::kDouble},
         {"Notes", ColumnType::kMemo}},
        {{L(101), T("Smith"), T("7"), Cell{jet::DateTime::FromCivil(2012, 3, 4)}, Cell{true},
          Cell{jet::Currency{12345000}}, Cell{1.45}, T("")},
         {L(102), T("Ndlovu"), T(""), Cell{jet::DateTime::FromCivil(2011, 11, 30, 14, 5, 9)}, Cell{false},
          Cell{jet::Currency{0}}, Cell{}, Cell{}},
         {L(103), T("Παπαδόπουλος"), T("8"), Cell{}, Cell{true}, Cell{}, Cell{0.1}, T("Άλλη σημείωση")},
         {L(104), Cell{}, T("7"), Cell{jet::DateTime::FromCivil(1899, 12, 30, 12)}, Cell{false}, Cell{}, Cell{},
          T("x")}}},
       {"Parent_child",
        {{"ParentID", ColumnType::kLong}, {"ChildID", ColumnType::kLong}, {"LearnerID", ColumnType::kLong}},
        {{L(1), L(101), L(101)}, {L(2), L(101), L(101)}, {L(3), L(103), L(103)}, {L(4), L(999), L(999)}}},
       {"Classes",
        {{"ClassID", ColumnType::kText, 10}, {"ClassName", ColumnType::kText, 30}},
        {{T("7"), T("Grade 7")}, {T("8"), T("Grade 8")}, {T("8A"), T("Grade 8a")}}}},
      options);
  return path;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const StoreError& e) {
    return e.what();
  }
  return "(no error)";
}

// The field's texts over the whole filtered view, First to Eof.
std::vector<std::string> Column(SourceTable& table, const char* field) {
  std::vector<std::string> texts;
  table.First();
  int guard = 0;
  while (!table.Eof() && ++guard < 100) {
    texts.push_back(table.FieldText(field));
    table.Next();
  }
  return texts;
}

class SourceTableTest : public ::testing::Test {
 protected:
  void Bind(SourceTable& table, const std::string& name) { OpenSourceTable(table, path_, name); }
  ScratchDir dir_;
  std::string path_ = WriteSchool(dir_);
  RegionalSettings settings_;
};

TEST_F(SourceTableTest, RebindingRules) {
  SourceTable classes("Classes", settings_);
  EXPECT_FALSE(classes.Active());
  // Closed: any text is stored, even one that cannot work.
  classes.SetConnectionString("nonsense");
  classes.SetTableName("Nothing");
  EXPECT_EQ(classes.ConnectionString(), "nonsense");
  Bind(classes, "Classes");
  EXPECT_TRUE(classes.Active());
  EXPECT_EQ(classes.FieldText("ClassName"), "Grade 7");
  classes.Next();

  // The same texts change nothing; making it active again neither reopens nor moves it.
  classes.SetConnectionString(Connection(path_));
  classes.SetTableName("Classes");
  classes.Open();
  EXPECT_EQ(classes.FieldText("ClassName"), "Grade 8");

  EXPECT_EQ(ErrorOf([&] { classes.SetConnectionString(Connection(path_ + "x")); }),
            "Classes: Cannot perform this operation on an open dataset");
  EXPECT_EQ(ErrorOf([&] { classes.SetTableName("classes"); }),  // compared exactly
            "Classes: Cannot perform this operation on an open dataset");
  EXPECT_EQ(classes.ConnectionString(), Connection(path_));
  EXPECT_EQ(classes.TableName(), "Classes");
  EXPECT_EQ(ErrorOf([&] { classes.FieldText("Nickname"); }), "Classes: Field 'Nickname' not found");
  EXPECT_EQ(classes.FieldText("CLASSNAME"), "Grade 8");
}

TEST_F(SourceTableTest, FailedOpenLeavesItClosedAndRebindable) {
  SourceTable learners("tblLearner_Info", settings_);
  learners.SetConnectionString(Connection(dir_.File("typo.mdb")));
  learners.SetTableName("Learner_info");
  EXPECT_EQ(ErrorOf([&] { learners.Open(); }), "Could not find file '" + dir_.File("typo.mdb") + "'");
  EXPECT_FALSE(learners.Active());
  learners.SetConnectionString(Connection(path_, "password"));
  EXPECT_EQ(ErrorOf([&] { learners.Open(); }), "Not a valid password for '" + path_ + "'");
  learners.SetConnectionString("Provider=SQLOLEDB;Data Source=" + path_);
  EXPECT_EQ(ErrorOf([&] { learners.Open(); }),
            "Provider 'SQLOLEDB' cannot open the source database; only Microsoft.Jet.OLEDB.4.0 can");
  learners.SetConnectionString(Connection(path_));
  learners.SetTableName("Learners");
  EXPECT_EQ(ErrorOf([&] { learners.Open(); }), "Cannot find the table 'Learners' in '" + path_ + "'");
  learners.SetTableName("Learner_info");
  learners.Open();
  EXPECT_EQ(learners.RecordCount(), 4);
  EXPECT_EQ(ErrorOf([&] { SourceTable("X", settings_).First(); }),
            "X: Cannot perform this operation on a closed dataset");
}

TEST_F(SourceTableTest, CursorAndEndFlag) {
  SourceTable learners("tblLearner_Info", settings_);
  Bind(learners, "Learner_info");
  EXPECT_EQ(learners.RecordCount(), 4);
  EXPECT_FALSE(learners.Eof());
  EXPECT_EQ(learners.FieldText("LearnerID"), "101");
  for (int i = 0; i < 3; ++i) learners.Next();
  EXPECT_FALSE(learners.Eof());
  EXPECT_EQ(learners.FieldText("LearnerID"), "104");
  learners.Next();  // at the last row: stays, end flag set
  EXPECT_TRUE(learners.Eof());
  EXPECT_EQ(learners.FieldText("LearnerID"), "104");
  learners.Next();
  EXPECT_TRUE(learners.Eof());
  EXPECT_EQ(learners.FieldText("LearnerID"), "104");
  learners.First();
  EXPECT_FALSE(learners.Eof());
  EXPECT_EQ(learners.FieldText("LearnerID"), "101");
}

TEST_F(SourceTableTest, FilterSelectsCountsAndMoves) {
  SourceTable links("tblParent_Child", settings_);
  Bind(links, "Parent_child");
  // Stored while Filtered is off: nothing changes yet.
  links.SetFilter("learnerid='101' ");
  EXPECT_EQ(links.RecordCount(), 4);
  links.SetFiltered(true);
  EXPECT_EQ(links.RecordCount(), 2);
  EXPECT_EQ(Column(links, "ParentID"), (std::vector<std::string>{"1", "2"}));

  // At the end of the filtered view the cursor stays on the last matching row.
  links.First();
  links.Next();
  links.Next();
  EXPECT_TRUE(links.Eof());
  EXPECT_EQ(links.FieldText("ParentID"), "2");

  // The unquoted form selects the same rows; an unchanged text does not move the cursor.
  links.SetFilter("learnerId=101");
  EXPECT_EQ(links.RecordCount(), 2);
  EXPECT_FALSE(links.Eof());
  links.Next();
  links.SetFilter("learnerId=101");
  EXPECT_EQ(links.FieldText("ParentID"), "2");

  // A filter no row passes: empty view, end flag set, empty field text.
  links.SetFilter("childid=555");
  EXPECT_EQ(links.RecordCount(), 0);
  EXPECT_TRUE(links.Eof());
  EXPECT_EQ(links.FieldText("ParentID"), "");
  EXPECT_EQ(ErrorOf([&] { links.FieldText("Nope"); }), "tblParent_Child: Field 'Nope' not found");

  // Switched off: all rows, cursor on the first; switched on again: the stored filter returns.
  links.SetFilter("childid=103");
  links.Next();
  links.SetFiltered(false);
  EXPECT_EQ(links.RecordCount(), 4);
  EXPECT_EQ(links.FieldText("ParentID"), "1");
  links.Next();
  links.SetFiltered(false);  // the same value does nothing
  EXPECT_EQ(links.FieldText("ParentID"), "2");
  links.SetFiltered(true);
  EXPECT_EQ(links.RecordCount(), 1);
  EXPECT_EQ(links.FieldText("ParentID"), "3");
  links.SetFilter("ParentID > 1 AND (childid = 101 OR [ChildID] = 999)");
  EXPECT_EQ(Column(links, "ParentID"), (std::vector<std::string>{"2", "4"}));
  links.SetFilter("");
  EXPECT_EQ(links.RecordCount(), 4);
}

TEST_F(SourceTableTest, TextFiltersIgnoreCaseAndEmptyValuesMatchNothingNumeric) {
  SourceTable classes("Classes", settings_);
  Bind(classes, "Classes");
  classes.SetFiltered(true);
  classes.SetFilter("Classid=8");  // unquoted number against text: its digits
  EXPECT_EQ(Column(classes, "ClassName"), (std::vector<std::string>{"Grade 8"}));
  classes.SetFilter("classid='8a'");
  EXPECT_EQ(Column(classes, "ClassName"), (std::vector<std::string>{"Grade 8a"}));
  classes.SetFilter("Classid=''");
  EXPECT_EQ(classes.RecordCount(), 0);
  EXPECT_EQ(classes.FieldText("ClassName"), "");

  SourceTable links("tblParent_Child", settings_);
  Bind(links, "Parent_child");
  links.SetFiltered(true);
  links.SetFilter("childid=''");  // a numeric field and a value that is no number
  EXPECT_EQ(links.RecordCount(), 0);
  links.SetFilter("childid='103'");
  EXPECT_EQ(links.RecordCount(), 1);
}

TEST_F(SourceTableTest, BadFilterFailsWhenItTakesEffectAndChangesNothing) {
  SourceTable classes("Classes", settings_);
  Bind(classes, "Classes");
  classes.SetFilter("Classid=");  // stored only: Filtered is off
  EXPECT_EQ(classes.RecordCount(), 3);
  EXPECT_EQ(ErrorOf([&] { classes.SetFiltered(true); }),
            "Filter \"Classid=\" cannot be read: a value is expected after '=' (at character 9)");
  EXPECT_FALSE(classes.Filtered());
  EXPECT_EQ(classes.RecordCount(), 3);

  classes.SetFilter("ClassID='7'");
  classes.SetFiltered(true);
  EXPECT_EQ(classes.RecordCount(), 1);
  EXPECT_EQ(ErrorOf([&] { classes.SetFilter("ClassID='7"); }),
            "Filter \"ClassID='7\" cannot be read: the quoted text is not closed (at character 9)");
  EXPECT_EQ(ErrorOf([&] { classes.SetFilter("Teacher='x'"); }),
            "Filter \"Teacher='x'\" cannot be applied: field 'Teacher' not found");
  EXPECT_EQ(classes.Filter(), "ClassID='7'");
  EXPECT_EQ(classes.RecordCount(), 1);

  // A stored bad filter makes the open fail, and the component stays closed.
  SourceTable other("Other", settings_);
  other.SetFilter("ClassID=");
  other.SetFiltered(true);
  other.SetConnectionString(Connection(path_));
  other.SetTableName("Classes");
  EXPECT_NE(ErrorOf([&] { other.Open(); }), "(no error)");
  EXPECT_FALSE(other.Active());
}

TEST_F(SourceTableTest, FieldTextOfEveryType) {
  SourceTable learners("tblLearner_Info", settings_);
  Bind(learners, "Learner_info");
  auto row = [&](int index) {
    learners.First();
    for (int i = 0; i < index; ++i) learners.Next();
    std::vector<std::string> texts;
    for (const char* f : {"LearnerID", "Surname", "Class", "BirthDate", "Active", "Fees", "Height", "Notes"}) {
      texts.push_back(learners.FieldText(f));
    }
    return texts;
  };
  EXPECT_EQ(row(0), (std::vector<std::string>{"101", "Smith", "7", "2012/03/04", "True", "1234.5", "1.45", ""}));
  EXPECT_EQ(row(1),
            (std::vector<std::string>{"102", "Ndlovu", "", "2011/11/30 14:05:09", "False", "0", "", ""}));
  EXPECT_EQ(row(2), (std::vector<std::string>{"103", "Παπαδόπουλος", "8", "", "True", "", "0.1", "Άλλη σημείωση"}));
  EXPECT_EQ(row(3), (std::vector<std::string>{"104", "", "7", "1899/12/30 12:00:00", "False", "", "", "x"}));

  // Filters see the same values: empty text is not null, dates compare as dates, text ignores case.
  learners.SetFiltered(true);
  learners.SetFilter("Class = ''");
  EXPECT_EQ(Column(learners, "LearnerID"), (std::vector<std::string>{"102"}));
  learners.SetFilter("Surname = NULL");
  EXPECT_EQ(Column(learners, "LearnerID"), (std::vector<std::string>{"104"}));
  learners.SetFilter("BirthDate >= #2012-01-01# OR surname = 'ΠΑΠΑΔΌΠΟΥΛΟΣ'");
  EXPECT_EQ(Column(learners, "LearnerID"), (std::vector<std::string>{"101", "103"}));
  learners.SetFilter("Active = True AND Fees > 1000");
  EXPECT_EQ(Column(learners, "LearnerID"), (std::vector<std::string>{"101"}));
  learners.SetFilter("Surname LIKE 'n*'");
  EXPECT_EQ(Column(learners, "LearnerID"), (std::vector<std::string>{"102"}));

  RegionalSettings dutch;
  dutch.short_date_format = "dd/mm/yyyy";
  dutch.date_separator = '-';
  SourceTable again("tblLearner_Info", dutch);
  Bind(again, "Learner_info");
  again.Next();
  EXPECT_EQ(again.FieldText("birthdate"), "30-11-2011 14:05:09");
}

TEST_F(SourceTableTest, GenuineFilesThroughTheComponent) {
  if (!HaveSharedFiles()) GTEST_SKIP() << "no genuine sample files";
  std::string locked = CopyShared(dir_, "access2003-password.mdb");
  SourceTable table("Table1", settings_);
  table.SetConnectionString(Connection(locked, "Talvern"));
  table.SetTableName("Table1");
  EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Not a valid password for '" + locked + "'");
  table.SetConnectionString(Connection(locked, "password"));
  table.Open();
  table.SetFilter("Data='two'");
  table.SetFiltered(true);
  EXPECT_EQ(Column(table, "ID"), (std::vector<std::string>{"2"}));

  SourceTable old("Table1", settings_);
  old.SetConnectionString(Connection(CopyShared(dir_, "access97-no-password.mdb")));
  old.SetTableName("Table1");
  old.Open();
  old.Next();
  EXPECT_EQ(old.FieldText("A"), "abcdefg");
  EXPECT_EQ(old.FieldText("F"), "444.555");
  EXPECT_EQ(old.FieldText("G"), "1974/09/21");
  EXPECT_EQ(old.FieldText("H"), "3.5");
  EXPECT_EQ(old.FieldText("I"), "True");
}

TEST_F(SourceTableTest, EqualityFiltersFromTheIndexAgreeWithScans) {
  // Many links, one equality filter per learner as the passes set them, checked against a filter
  // of the same meaning that the index cannot answer.
  std::string path = dir_.File("many.mdb");
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 600; ++i) rows.push_back({L(i), L(i % 97), L(i % 7 == 0 ? 0 : i % 53)});
  jet::WriteDatabase(path, {{"Parent_child",
                             {{"ParentID", ColumnType::kLong}, {"ChildID", ColumnType::kLong},
                              {"LearnerID", ColumnType::kLong}},
                             rows}});
  SourceTable links("tblParent_Child", settings_);
  links.SetConnectionString(Connection(path));
  links.SetTableName("Parent_child");
  links.Open();
  links.SetFiltered(true);
  for (int id = 0; id < 100; ++id) {
    links.SetFilter("learnerid='" + std::to_string(id) + "' ");
    std::vector<std::string> indexed = Column(links, "ParentID");
    links.SetFilter("learnerid>=" + std::to_string(id) + " AND learnerid<=" + std::to_string(id));
    EXPECT_EQ(Column(links, "ParentID"), indexed) << id;
    links.SetFilter("childid=" + std::to_string(id));
    EXPECT_EQ(links.RecordCount(), id < 97 ? static_cast<int>((600 - id + 96) / 97) : 0) << id;
  }
}

}  // namespace
}  // namespace varnholt
