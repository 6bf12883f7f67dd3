// Codes that the target's fields cannot hold whole: the import and update commands end at the row,
// naming it, instead of storing a cut code that later imports would miss or merge.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "stores/paradox/table.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tests/passes/school_fixture.h"

namespace varnholt::testing {
namespace {

// Recreates one empty target table with one character field of another width, as the accounting
// product's own tables may define it.
void Recreate(const std::filesystem::path& target, const std::string& file, const std::string& field,
              int width) {
  for (auto [name, schema] : paradox::VarnholtSchemas()) {
    if (name != file) continue;
    for (paradox::Field& f : schema.fields) {
      if (f.name == field) f.size = width;
    }
    std::filesystem::path db = target / name;
    std::filesystem::remove(db);
    std::filesystem::remove(db.replace_extension(".PX"));
    paradox::Table::Create((target / name).string(), schema);
  }
}

std::set<std::string> Keys(const std::map<std::string, TargetRow>& rows) {
  std::set<std::string> keys;
  for (const auto& [key, row] : rows) keys.insert(key);
  return keys;
}

// One code whose target field is one character too short for it.
struct TooLong {
  const char* name;
  const char* file;        // the table whose field is narrowed (or left as it is)
  const char* field;
  int width;
  // The school, with `code` in the place under test; an earlier row sits exactly at the width.
  std::function<sample::School(const std::string& code)> school;
  std::string too_long;    // one character more than the width
  std::string corrected;   // what the school-administration program makes of it
  const char* checked;     // the table that holds the row of the code
  std::set<std::string> held_after_error;
  std::string message;
};

// Names the case in gtest's output instead of dumping its bytes.
void PrintTo(const TooLong& c, std::ostream* out) { *out << c.name; }

sample::School ClassSchool(const std::string& second_class) {
  sample::School s;
  s.learners = {MakeLearner(1)};
  s.parents = {MakeParent(1)};
  s.links = {Link(1, 10001, 1)};
  s.classes = {MakeClass(101, "Gr 1A", "T01"), MakeClass(102, "Gr 10 Sci", "T02"),
               MakeClass(103, second_class, "T03")};
  return s;
}

sample::School LearnerSchool(const std::string& second_learner) {
  sample::School s = ClassSchool("Gr 2B");
  s.learners.push_back(MakeLearner(2));
  s.learners[1].learner_id = std::stoi(second_learner);
  s.learners[1].accession_no = second_learner;
  return s;
}

sample::School ParentSchool(const std::string& second_parent) {
  sample::School s = ClassSchool("Gr 2B");
  s.parents = {MakeParent(1), MakeParent(2)};
  s.parents[0].parent_id = 1234;
  s.parents[1].parent_id = std::stoi(second_parent);
  s.links = {};  // the learner's own account code is not under test here
  return s;
}

// The learner's class and account code are checked as the codes are: cut, they name another row.
sample::School LearnerClassSchool(const std::string& second_class) {
  sample::School s = ClassSchool(second_class);
  s.learners = {MakeLearner(1), MakeLearner(2), MakeLearner(3)};
  s.learners[0].class_id = 102;  // exactly the width
  s.learners[1].status = "A";  // departed: gets "ZZ", whatever its class
  s.learners[1].class_id = 103;
  s.learners[2].class_id = 103;
  return s;
}

sample::School LearnerAccountSchool(const std::string& second_parent) {
  sample::School s = ClassSchool("Gr 2B");
  s.learners = {MakeLearner(1), MakeLearner(2)};
  s.parents = {};
  s.links = {Link(1, 10001, 1234), Link(2, 10002, std::stoi(second_parent))};
  return s;
}

const char kShorten[] = " in the school-administration program";

std::vector<TooLong> Cases() {
  return {
      {"ClassCode", "DL00CODE.DB", "Dl00_CODE", 9, ClassSchool, "Gr 10 Sci2", "Gr 10 S2",
       "DL00CODE.DB", {"Gr 1A", "Gr 10 Sci"},
       std::string("Class \"Gr 10 Sci2\" is too long for field Dl00_CODE of table DL00CODE.DB, which holds 9 "
                   "characters; shorten the class name") + kShorten},
      {"ClassMaster", "CLASSMAS.DB", "CL01_CODE", 9, ClassSchool, "Gr 10 Sci2", "Gr 10 S2",
       "CLASSMAS.DB", {"Gr 1A", "Gr 10 Sci"},
       std::string("Class \"Gr 10 Sci2\" is too long for field CL01_CODE of table CLASSMAS.DB, which holds 9 "
                   "characters; shorten the class name") + kShorten},
      {"LearnerId", "CH01MAST.DB", "CH01_CODE", 5, LearnerSchool, "100002", "10002", "CH01MAST.DB", {"10001"},
       std::string("Learner 100002: learner id \"100002\" is too long for field CH01_CODE of table "
                   "CH01MAST.DB, which holds 5 characters; shorten the learner id") + kShorten},
      {"AccountCode", "DL01MAST.DB", "DL01_CODE", 5, ParentSchool, "12345", "2345", "DL01MAST.DB", {"31234"},
       std::string("Parent 12345: account code \"312345\" is too long for field DL01_CODE of table "
                   "DL01MAST.DB, which holds 5 characters; shorten the parent id") + kShorten},
      {"LearnerClass", "CH01MAST.DB", "CH01_CLASS", 9, LearnerClassSchool, "Gr 10 Sci2", "Gr 10 S2",
       "CH01MAST.DB", {"10001", "10002"},
       std::string("Learner 10003: class \"Gr 10 Sci2\" is too long for field CH01_CLASS of table "
                   "CH01MAST.DB, which holds 9 characters; shorten the class name") + kShorten},
      {"LearnerAccount", "CH01MAST.DB", "CH01_DL01_CODE", 5, LearnerAccountSchool, "12345", "2345",
       "CH01MAST.DB", {"10001"},
       std::string("Learner 10002: parent account code \"312345\" is too long for field CH01_DL01_CODE of "
                   "table CH01MAST.DB, which holds 5 characters; shorten the parent id") + kShorten},
  };
}

class WholeCodeTest : public SchoolTest, public ::testing::WithParamInterface<TooLong> {};

TEST_P(WholeCodeTest, ImportEndsAtTheRowAndACorrectedSourceFinishes) {
  const TooLong& c = GetParam();
  MakeSchool(c.school(c.too_long));
  Recreate(target_, c.file, c.field, c.width);

  EXPECT_EQ(Click(&Commands::Button2Click), c.message);
  EXPECT_TRUE(form_.messages.empty());
  // The rows before it, the one exactly at the width among them, and no cut row.
  EXPECT_EQ(Keys(TargetRows(c.checked)), c.held_after_error);

  commands_.reset();  // the operator shortens the code and runs the import again
  WriteSource(c.school(c.corrected));
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(form_.messages, std::vector<std::string>{"Finished"});
  auto rows = TargetRows(c.checked);
  std::string stored;
  for (const auto& [key, row] : rows) {
    if (row.at(c.field) == c.corrected || row.at(c.field) == "3" + c.corrected) stored = row.at(c.field);
  }
  EXPECT_NE(stored, "") << "the corrected code is stored whole";
  // A second import finds every row: nothing is added twice, nothing fails.
  auto before = TargetBytes();
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetBytes(), before);
}

INSTANTIATE_TEST_SUITE_P(EachCode, WholeCodeTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TooLong>& info) { return info.param.name; });

TEST_F(SchoolTest, UpdateNeverStoresALearnersClassCut) {
  sample::School s = ClassSchool("Gr 2B");
  MakeSchool(s);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  ASSERT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_CLASS"), "Gr 1A");

  s.classes[0].class_name = "Grade 1 Alpha";  // renamed in the source, too long for CH01_CLASS
  commands_.reset();
  WriteSource(s);
  EXPECT_EQ(Click(&Commands::Button3Click),
            std::string("Learner 10001: class \"Grade 1 Alpha\" is too long for field CH01_CLASS of table "
                        "CH01MAST.DB, which holds 10 characters; shorten the class name") + kShorten);
  EXPECT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_CLASS"), "Gr 1A");
  EXPECT_EQ(TargetRows("DL01MAST.DB")["31"].at("DL01_MOTHER_ID"), "7701010000081");  // parents ran
}

}  // namespace
}  // namespace varnholt::testing
