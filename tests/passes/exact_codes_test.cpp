// Keys and codes that the target's code page cannot hold as they are: import and Update are
// refused before anything is written, naming the first such value, and go through once the school
// program has renamed it. Names and other texts keep their best-fit conversion.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "base/utf8_path.h"
#include "stores/paradox/table.h"
#include "tests/passes/school_fixture.h"
#include "tools/sample_school/varnholt_schema.h"

namespace varnholt::testing {
namespace {

const char kInSchoolProgram[] = " in the school-administration program";

std::set<std::string> Keys(const std::map<std::string, TargetRow>& rows) {
  std::set<std::string> keys;
  for (const auto& [key, row] : rows) keys.insert(key);
  return keys;
}

// The four target tables made again, empty, with their text in `code_page`.
void RecreateInCodePage(const std::filesystem::path& target, int code_page) {
  for (auto [name, schema] : paradox::VarnholtSchemas()) {
    std::filesystem::path db = target / name;
    std::filesystem::remove(db);
    std::filesystem::remove(db.replace_extension(".PX"));
    schema.code_page = code_page;
    paradox::Table::Create(Utf8FromPath(target / name), schema);
  }
}

class ExactCodesTest : public SchoolTest {
 protected:
  // Classes `names` (Classid 101, 102, ...) and one learner per entry of `learner_ids`, in class
  // 101, each linked to parent 1; LearnerID is a text column, as some schools keep it.
  void WriteSchool(const std::vector<std::string>& names, const std::vector<std::string>& learner_ids) {
    sample::School s;
    for (size_t i = 0; i < names.size(); ++i) {
      s.classes.push_back(MakeClass(101 + static_cast<int>(i), names[i], "T0" + std::to_string(i + 1)));
    }
    for (size_t i = 0; i < learner_ids.size(); ++i) {
      s.learners.push_back(MakeLearner(static_cast<int>(i) + 1));
      s.links.push_back(Link(static_cast<int>(i) + 1, 10001 + static_cast<int>(i), 1));
    }
    s.parents = {MakeParent(1)};
    s.parents[0].surname = "Müller-Ødegård";  // a name: best fit, never refused
    auto tables = sample::SourceTables(s);
    jet::TableData& learners = TableOf(tables, "Learner_info");
    const size_t id = ColumnOf(learners, "LearnerID");
    const size_t accession = ColumnOf(learners, "AccessionNo");
    learners.columns[id].type = jet::ColumnType::kText;
    learners.columns[id].text_length = 20;
    for (size_t i = 0; i < learner_ids.size(); ++i) {
      learners.rows[i][id] = learner_ids[i];
      learners.rows[i][accession] = std::to_string(10001 + i);  // the link stays by number
    }
    WriteTables(tables);
  }

  // Both commands end with `message` and leave every target file as it was.
  void ExpectRefusedUntouched(const std::string& message) {
    const auto before = TargetBytes();
    EXPECT_EQ(Click(&Commands::Button2Click), message);
    EXPECT_EQ(Click(&Commands::Button3Click), message);
    EXPECT_TRUE(form_.messages.empty());
    EXPECT_TRUE(TargetBytes() == before) << "a refused command wrote to the target";
  }
};

TEST_F(ExactCodesTest, KeysOutsideTheCodePageAreRefusedFirstAndRenamedOnesImportAndUpdate) {
  WriteSchool({"Ø1", "O1", "小1", "大1"}, {"Ø123"});
  std::filesystem::create_directories(target_);
  paradox::CreateVarnholtTables(Utf8FromPath(target_));
  ExpectRefusedUntouched(
      std::string("Class \"Ø1\" (row 1 of Classes) cannot be stored as it is in field Dl00_CODE of table "
                  "DL00CODE.DB: its code page 437 has no \"Ø\" (it would become \"?\"); rename the class") +
      kInSchoolProgram);

  // Renamed in the school program, accented capitals of the code page included.
  commands_.reset();
  WriteSchool({"Ö1", "O1", "K1", "K2"}, {"Ö123"});
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(Keys(TargetRows("DL00CODE.DB")), (std::set<std::string>{"K1", "K2", "O1", "Ö1"}));
  EXPECT_EQ(Keys(TargetRows("CLASSMAS.DB")), (std::set<std::string>{"K1", "K2", "O1", "Ö1"}));
  const TargetRow learner = TargetRows("CH01MAST.DB").at("Ö123");
  EXPECT_EQ(learner.at("CH01_SMART_CODE"), "Ö123");
  EXPECT_EQ(learner.at("CH01_CLASS"), "Ö1");
  // A name is stored by best fit: "ü" and "å" are in code page 437, "Ø" is not.
  EXPECT_EQ(TargetRows("DL01MAST.DB").at("31").at("DL01_DESCRIPTION"), "Müller-?degård");

  const auto imported = TargetBytes();
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_TRUE(TargetBytes() == imported) << "a second import added or changed rows";
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(form_.messages, (std::vector<std::string>{"Finished", "Finished", "Finished"}));
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 1u);
  EXPECT_EQ(TargetRows("DL00CODE.DB").size(), 4u);
}

TEST_F(ExactCodesTest, EachTableIsCheckedInItsOwnCodePage) {
  // Code page 1252 holds "Ø": Ø1 and O1 are two classes there, while 小1 and 大1 would both be "?1".
  WriteSchool({"Ø1", "O1", "小1", "大1"}, {"10001"});
  std::filesystem::create_directories(target_);
  RecreateInCodePage(target_, 1252);
  ExpectRefusedUntouched(
      std::string("Class \"小1\" (row 3 of Classes) cannot be stored as it is in field Dl00_CODE of table "
                  "DL00CODE.DB: its code page 1252 has no \"小\" (it would become \"?\"); rename the class") +
      kInSchoolProgram);

  commands_.reset();
  WriteSchool({"Ø1", "O1"}, {"10001"});
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(Keys(TargetRows("DL00CODE.DB")), (std::set<std::string>{"O1", "Ø1"}));
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(Keys(TargetRows("CLASSMAS.DB")), (std::set<std::string>{"O1", "Ø1"}));
}

TEST_F(ExactCodesTest, LearnerAndParentCodesAreCheckedToo) {
  std::filesystem::create_directories(target_);
  paradox::CreateVarnholtTables(Utf8FromPath(target_));
  WriteSchool({"Gr 1A"}, {"10001", "Ø123"});
  ExpectRefusedUntouched(
      std::string("Learner id \"Ø123\" (row 2 of Learner_info) cannot be stored as it is in field CH01_CODE of "
                  "table CH01MAST.DB: its code page 437 has no \"Ø\" (it would become \"?\"); change the "
                  "learner id") +
      kInSchoolProgram);

  // Parent ids kept as text: the link's and the parent's own become account codes.
  for (auto [table, column, field, what] :
       {std::tuple{"Parent_child", "Parentid", "CH01_DL01_CODE of table CH01MAST.DB", "parent account code"},
        std::tuple{"Parent_info", "ParentId", "DL01_CODE of table DL01MAST.DB", "account code"}}) {
    SCOPED_TRACE(table);
    sample::School s{{MakeLearner(1)}, {MakeParent(1)}, {Link(1, 10001, 1)}, {MakeClass(101, "Gr 1A", "T01")}};
    auto tables = sample::SourceTables(s);
    jet::TableData& t = TableOf(tables, table);
    const size_t id = ColumnOf(t, column);
    t.columns[id] = {column, jet::ColumnType::kText, 10};
    t.rows[0][id] = std::string("1€");
    commands_.reset();
    WriteTables(tables);
    ExpectRefusedUntouched(std::string("Parent id \"1€\" (row 1 of ") + table + ") cannot be stored as it is in field " +
                           field + ", as " + what + " \"31€\": its code page 437 has no \"€\" (it would become "
                           "\"EUR\"); change the parent id" + kInSchoolProgram);
  }
}

}  // namespace
}  // namespace varnholt::testing
