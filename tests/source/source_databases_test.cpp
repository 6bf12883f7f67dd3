#include "stores/source/source_databases.h"

#include <gtest/gtest.h>

#include <string>

#include "stores/source/source_table.h"
#include "tests/source/source_test_files.h"

namespace varnholt {
namespace {

using jet::Cell;
using jet::ColumnType;

// A school whose learners and classes both carry `mark`, so a read shows which version it came from.
void WriteSchool(const std::string& path, const std::string& mark) {
  jet::WriteOptions options;
  options.password = "Talvern";
  jet::WriteDatabase(path,
                     {{"Learner_info", {{"Surname", ColumnType::kText, 50}}, {{Cell{"Learner " + mark}}}},
                      {"Classes", {{"ClassName", ColumnType::kText, 30}}, {{Cell{"Class " + mark}}}}},
                     options);
}

std::string FirstText(SourceTable& table, const char* field) {
  table.First();
  return table.FieldText(field);
}

class SourceDatabasesTest : public ::testing::Test {
 protected:
  void Bind(SourceTable& table, const std::string& name) { OpenSourceTable(table, path_, name); }
  ScratchDir dir_;
  std::string path_ = dir_.File("school.mdb");
  RegionalSettings settings_;
  SourceDatabases databases_;
};

// The school-administration program saving between two tables of one command must not give the
// command a mix of the old learners and the new classes; the next command reads the new file.
TEST_F(SourceDatabasesTest, TablesOfOneCommandReadOneCopyAndTheNextCommandCopiesAgain) {
  WriteSchool(path_, "before");
  {
    CommandScope command(databases_);
    SourceTable learners("tblLearner_Info", settings_, &databases_);
    Bind(learners, "Learner_info");
    WriteSchool(path_, "after");
    SourceTable classes("Classes", settings_, &databases_);
    {
      CommandScope nested(databases_);  // a hidden button pressed inside the command
      Bind(classes, "Classes");
    }
    EXPECT_EQ(FirstText(learners, "Surname"), "Learner before");
    EXPECT_EQ(FirstText(classes, "ClassName"), "Class before");
  }
  CommandScope next(databases_);
  SourceTable classes("Classes", settings_, &databases_);
  Bind(classes, "Classes");
  EXPECT_EQ(FirstText(classes, "ClassName"), "Class after");
}

// Two readers of one table in one command read the same rows, each with its own place and filter.
TEST_F(SourceDatabasesTest, ReadersOfOneTableShareItsRowsButNotTheirPlace) {
  jet::WriteDatabase(path_, {{"Learner_info", {{"LearnerID", ColumnType::kText, 10}}, {{Cell{"1"}}, {Cell{"2"}}, {Cell{"3"}}}}},
                     jet::WriteOptions{});
  CommandScope command(databases_);
  SourceTable first("tblLearner_Info", settings_, &databases_);
  SourceTable second("Learners", settings_, &databases_);
  Bind(first, "Learner_info");
  Bind(second, "Learner_info");
  first.SetFilter("LearnerID='2'");
  first.SetFiltered(true);
  second.Next();
  EXPECT_EQ(first.RecordCount(), 1);
  EXPECT_EQ(first.FieldText("LearnerID"), "2");
  EXPECT_EQ(second.RecordCount(), 3);
  EXPECT_EQ(second.FieldText("LearnerID"), "2");
  second.Next();
  EXPECT_EQ(second.FieldText("LearnerID"), "3");
  EXPECT_EQ(first.FieldText("LearnerID"), "2");
}

TEST_F(SourceDatabasesTest, OutsideACommandEveryOpenCopiesTheFile) {
  WriteSchool(path_, "one");
  SourceTable learners("tblLearner_Info", settings_, &databases_);
  Bind(learners, "Learner_info");
  WriteSchool(path_, "two");
  SourceTable classes("Classes", settings_, &databases_);
  Bind(classes, "Classes");
  EXPECT_EQ(FirstText(learners, "Surname"), "Learner one");
  EXPECT_EQ(FirstText(classes, "ClassName"), "Class two");
}

// A failed open (wrong password) is not kept: the right password then opens the file.
TEST_F(SourceDatabasesTest, AFailedOpenLeavesNothingBehind) {
  WriteSchool(path_, "one");
  CommandScope command(databases_);
  SourceTable learners("tblLearner_Info", settings_, &databases_);
  learners.SetConnectionString(Connection(path_, "wrong"));
  learners.SetTableName("Learner_info");
  EXPECT_THROW(learners.Open(), StoreError);
  learners.SetConnectionString(Connection(path_));
  learners.Open();
  EXPECT_EQ(FirstText(learners, "Surname"), "Learner one");
}

}  // namespace
}  // namespace varnholt
