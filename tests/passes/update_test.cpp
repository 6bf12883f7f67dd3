// The Update command end to end, on targets that already hold part of the school with other values.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/passes/school_fixture.h"
#include "tools/sample_school/target_tables.h"

namespace varnholt::testing {
namespace {

sample::School UpdateSchool() {
  sample::School s;
  for (int n = 1; n <= 6; ++n) s.learners.push_back(MakeLearner(n));
  s.learners[1].status = "A";
  s.learners[2].status = "X";
  s.learners[3].class_id = 102;
  s.learners[4].surname = "Say \"cheese\"";
  s.learners[5].class_id = 103;
  for (int n = 1; n <= 4; ++n) s.parents.push_back(MakeParent(n));
  s.parents[2].street_address1 = "12 \"Oak\" Lane";
  s.links = {Link(1, 10001, 1), Link(2, 10002, 2), Link(4, 10004, 3), Link(5, 10005, 4), Link(6, 10006, 4)};
  s.classes = {MakeClass(101, "Gr 1A", "T01"), MakeClass(102, "Gr 2B", "T02"), MakeClass(103, "Gr 3C", "T03")};
  return s;
}

class UpdateTest : public SchoolTest {
 protected:
  void MakeHeldSchool(const sample::School& school, double holds) {
    WriteSource(school);
    std::filesystem::create_directories(target_);
    sample::WriteTargetTables(target_.string(), school, holds);
  }
};

TEST_F(UpdateTest, UpdateAddsWhatIsMissingAndRewritesEveryRow) {
  MakeHeldSchool(UpdateSchool(), 0.5);
  auto held = TargetRows("CH01MAST.DB");
  ASSERT_EQ(held.size(), 3u);
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(form_.messages, std::vector<std::string>{"Finished"});
  EXPECT_TRUE(std::filesystem::exists(report_));

  // Update adds no class (that is the import's work); it rewrites the classes the target holds.
  auto classes = TargetRows("DL00CODE.DB");
  auto master = TargetRows("CLASSMAS.DB");
  ASSERT_EQ(classes.size(), 1u);
  EXPECT_EQ(classes["Gr 2B"].at("Dl00_DESCRIPTION"), "T02");
  EXPECT_EQ(master["Gr 2B"].at("CL01_TEACHER"), "T02");
  EXPECT_EQ(master["Gr 2B"].at("CL01_ROOM"), "R1");  // columns the statement does not name stay

  auto parents = TargetRows("DL01MAST.DB");
  ASSERT_EQ(parents.size(), 4u);
  for (int n = 1; n <= 4; ++n) {
    const TargetRow& p = parents["3" + std::to_string(n)];
    EXPECT_EQ(p.at("DL01_DESCRIPTION"), "Parent" + std::to_string(n));
    EXPECT_EQ(p.at("DL01_MOTHER_ID"), "770101000008" + std::to_string(n));
    EXPECT_EQ(p.at("DL01_TITLE"), "Mr");
  }
  EXPECT_EQ(parents["33"].at("DL01_DEL_ADDR1"), "12 \"Oak\" Lane");

  auto learners = TargetRows("CH01MAST.DB");
  ASSERT_EQ(learners.size(), 6u);
  const TargetRow& held_one = learners["10004"];  // held before with other values
  EXPECT_EQ(held_one.at("CH01_SURNAME"), "Surname4");
  EXPECT_EQ(held_one.at("CH01_DL01_CODE"), "33");
  EXPECT_EQ(held_one.at("CH01_SECOND_NAME"), "Second4");
  EXPECT_EQ(held_one.at("CH01_SMART_CODE"), "10004");
  EXPECT_EQ(held_one.at("CH01_STATUS"), "A");
  EXPECT_EQ(held_one.at("CH01_CLASS"), "Gr 2B");
  EXPECT_EQ(held_one.at("CH01_DATE_OF_BIRTH"), held.at("10004").at("CH01_DATE_OF_BIRTH"));  // dates untouched
  EXPECT_EQ(held_one.at("CH01_REMARKS"), "kept by the update");
  EXPECT_EQ(learners["10001"].at("CH01_SECOND_NAME"), "Second1");  // added by the second form
  EXPECT_EQ(learners["10002"].at("CH01_STATUS"), "I");
  EXPECT_EQ(learners["10002"].at("CH01_CLASS"), "ZZ");
  EXPECT_EQ(learners["10003"].at("CH01_DL01_CODE"), "3");  // no link: the bare prefix
  EXPECT_EQ(learners["10003"].at("CH01_STATUS"), "");  // neither pair: as the import left it
  EXPECT_EQ(learners["10005"].at("CH01_SURNAME"), "Say \"cheese\"");
  EXPECT_EQ(learners["10006"].at("CH01_CLASS"), "Gr 3C");
}

TEST_F(UpdateTest, SecondUpdateChangesNothingFurther) {
  MakeHeldSchool(UpdateSchool(), 0.5);
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  auto before = TargetBytes();
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(TargetBytes(), before);
}

TEST_F(UpdateTest, EmptiedSourceFieldClearsItsColumn) {
  sample::School s = UpdateSchool();
  MakeHeldSchool(s, 1.0);
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  ASSERT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_NICK_NAME"), "Nick1");
  s.learners[0].nick_name = std::nullopt;
  s.parents[0].tel1 = "";
  s.classes[0].ed_code = std::nullopt;
  commands_.reset();
  WriteSource(s);
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_NICK_NAME"), "");
  EXPECT_EQ(TargetRows("DL01MAST.DB")["31"].at("DL01_PHONE1"), "");
  EXPECT_EQ(TargetRows("CLASSMAS.DB")["Gr 1A"].at("CL01_TEACHER"), "");
}

TEST_F(UpdateTest, UpdateAfterImportInOneRunRewritesEveryClass) {
  sample::School s = UpdateSchool();
  MakeHeldSchool(s, 1.0);
  ASSERT_EQ(Click(&Commands::Button2Click), "");  // leaves Classes filtered on one class
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  auto master = TargetRows("CLASSMAS.DB");
  EXPECT_EQ(master["Gr 1A"].at("CL01_TEACHER"), "T01");
  EXPECT_EQ(master["Gr 2B"].at("CL01_TEACHER"), "T02");
  EXPECT_EQ(master["Gr 3C"].at("CL01_TEACHER"), "T03");
}

TEST_F(UpdateTest, RefusedStatementEndsTheCommandWithEarlierStatementsInEffect) {
  MakeHeldSchool(UpdateSchool(), 1.0);
  // The class master goes missing: its first statement is refused, after every class code
  // statement has run and before any parent or learner statement.
  for (const char* name : {"CLASSMAS.DB", "CLASSMAS.PX"}) std::filesystem::remove(target_ / name);
  std::string error = Click(&Commands::Button3Click);
  EXPECT_NE(error.find("CLASSMAS"), std::string::npos) << error;
  EXPECT_TRUE(form_.messages.empty());
  auto codes = TargetRows("DL00CODE.DB");
  EXPECT_EQ(codes["Gr 1A"].at("Dl00_DESCRIPTION"), "T01");
  EXPECT_EQ(codes["Gr 3C"].at("Dl00_DESCRIPTION"), "T03");
  EXPECT_EQ(TargetRows("DL01MAST.DB")["31"].at("DL01_DESCRIPTION"), "Old Parent1");
}

TEST_F(UpdateTest, MissingReportFolderEndsTheUpdateBeforeItsPasses) {
  MakeHeldSchool(UpdateSchool(), 1.0);
  std::filesystem::remove_all(report_.parent_path());
  std::string error = Click(&Commands::Button3Click);
  EXPECT_NE(error.find("Varnholt import.csv"), std::string::npos) << error;
  EXPECT_TRUE(form_.messages.empty());
  EXPECT_EQ(TargetRows("DL01MAST.DB")["31"].at("DL01_DESCRIPTION"), "Old Parent1");  // no update ran
}

}  // namespace
}  // namespace varnholt::testing
