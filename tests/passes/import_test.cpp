// The import commands end to end: a real Jet source, real Paradox targets, the commands driven as
// the window drives them.
#include <gtest/gtest.h>

#include <fstream>

#include "base/os/folder.h"
#include "base/utf8_path.h"
#include "passes/import_passes.h"
#include "stores/components/binding.h"
#include "stores/paradox/table.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tests/passes/school_fixture.h"
#include "tests/support/copy_over.h"

namespace varnholt::testing {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Seven learners that show the mapping's cases; three parents; two classes.
sample::School SmallSchool() {
  sample::School s;
  for (int n = 1; n <= 7; ++n) s.learners.push_back(MakeLearner(n));
  s.learners[0].surname = "O'Neill";                 // apostrophe in a value
  s.learners[0].first_name = "Zoë";
  s.learners[1].status = "A";                        // departed: I / ZZ
  s.learners[2].status = "X";                        // neither pair
  s.learners[3].class_id = 999;                      // no such class: empty class name
  s.learners[4].nick_name = "The \"Rock\"";          // double quote in a value
  s.learners[5].birth_date = std::nullopt;           // empty dates stay empty
  s.learners[5].admitted = std::nullopt;
  s.learners[6].admitted = jet::DateTime::FromCivil(2020, 2, 3, 8, 30);  // time of day dropped
  for (int n = 1; n <= 3; ++n) s.parents.push_back(MakeParent(n));
  s.links = {Link(1, 10001, 1), Link(2, 10002, 2), Link(4, 10004, 3), Link(4, 10004, 1), Link(5, 10005, 2),
             Link(6, 10006, 3), Link(7, 10007, 1)};  // learner 3 has no link, learner 4 two
  s.classes = {MakeClass(101, "Gr 1A", "T01"), MakeClass(102, "Gr 2B", "T01")};
  return s;
}

TEST_F(SchoolTest, ImportAddsEveryClassLearnerAndParentInOneCommand) {
  MakeSchool(SmallSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(form_.messages, std::vector<std::string>{"Finished"});

  auto learners = TargetRows("CH01MAST.DB");
  ASSERT_EQ(learners.size(), 7u);
  const TargetRow& zoe = learners["10001"];
  EXPECT_EQ(zoe.at("CH01_SURNAME"), "O'Neill");
  EXPECT_EQ(zoe.at("CH01_NAME"), "Zoë");
  EXPECT_EQ(zoe.at("CH01_INITIALS"), "L");
  EXPECT_EQ(zoe.at("CH01_DL01_CODE"), "31");
  EXPECT_EQ(zoe.at("CH01_DATE_OF_BIRTH"), "02/03/2015");
  EXPECT_EQ(zoe.at("CH01_ADM_DATE"), "15/01/2021");
  EXPECT_EQ(zoe.at("CH01_STATUS"), "A");
  EXPECT_EQ(zoe.at("CH01_CLASS"), "Gr 1A");
  EXPECT_EQ(zoe.at("CH01_SMART_CODE"), "10001");
  EXPECT_EQ(zoe.at("CH01_SECOND_NAME"), "");  // the first form leaves it unset
  EXPECT_EQ(zoe.at("CH01_MEDICAL_MEMBER"), "Parent1");

  EXPECT_EQ(learners["10002"].at("CH01_STATUS"), "I");
  EXPECT_EQ(learners["10002"].at("CH01_CLASS"), "ZZ");
  EXPECT_EQ(learners["10003"].at("CH01_STATUS"), "");
  EXPECT_EQ(learners["10003"].at("CH01_CLASS"), "");
  EXPECT_EQ(learners["10003"].at("CH01_DL01_CODE"), "3");  // no link
  EXPECT_EQ(learners["10004"].at("CH01_DL01_CODE"), "33");  // first of two links
  EXPECT_EQ(learners["10004"].at("CH01_CLASS"), "");        // class 999 does not exist
  EXPECT_EQ(learners["10005"].at("CH01_NICK_NAME"), "The \"Rock\"");
  EXPECT_EQ(learners["10006"].at("CH01_DATE_OF_BIRTH"), "");
  EXPECT_EQ(learners["10006"].at("CH01_ADM_DATE"), "");
  EXPECT_EQ(learners["10007"].at("CH01_ADM_DATE"), "03/02/2020");

  auto parents = TargetRows("DL01MAST.DB");
  ASSERT_EQ(parents.size(), 3u);
  EXPECT_EQ(parents["32"].at("DL01_DESCRIPTION"), "Parent2");
  EXPECT_EQ(parents["32"].at("DL01_FATHER_ID"), "7501015000082");
  EXPECT_EQ(parents["32"].at("DL01_MOTHER_ID"), "");  // only the update fills it
  EXPECT_EQ(parents["32"].at("DL01_PHONE1"), "012 555 1002");

  EXPECT_EQ(TargetRows("DL00CODE.DB").size(), 2u);
  EXPECT_EQ(TargetRows("CLASSMAS.DB")["Gr 2B"].at("CL01_TEACHER"), "T01");
}

// A school's folders are named in its own language ("D:\\Skole\\Ærø 2026"): every file of the
// source and the target is found, written and replaced there, on Windows as on Linux.
TEST_F(SchoolTest, ImportAndUpdateWorkInAFolderNamedOutsideAscii) {
  MoveSchoolInto("Skole/Ærø 2026 – Ωmega Σχολείο");  // Greek is outside every Western ANSI code page
  MakeSchool(SmallSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(form_.messages, (std::vector<std::string>{"Finished", "Finished"}));
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 7u);
  EXPECT_EQ(TargetRows("DL01MAST.DB").size(), 3u);
}

// Windows refuses paths of 260 characters and more unless the program gives them in their long
// form; a school's folder on a server can be that deep.
TEST_F(SchoolTest, ImportAndUpdateWorkInAFolderDeeperThanTheOldWindowsLimit) {
  std::string deep = "Skole";
  while (Utf8FromPath(dir_).size() + deep.size() < 300) deep += "/" + std::string(40, 'd');
  MoveSchoolInto(deep + "/Ærø");
  MakeSchool(SmallSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(form_.messages, (std::vector<std::string>{"Finished", "Finished"}));
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 7u);
  EXPECT_EQ(TargetRows("CLASSMAS.DB").size(), 2u);
}

// A command's tables change together: when one of them cannot be written (here a folder stands at
// the name its new copy needs, as a full disk would refuse it), none is replaced, so no learner
// names a parent account or class the other tables lack.
TEST_F(SchoolTest, ATableThatCannotBeWrittenLeavesEveryTableAsItWas) {
  MakeSchool(SmallSchool());
  const auto before = TargetBytes();
  const std::string blocker = Utf8FromPath(target_ / "DL01MAST.DB.saving");
  ASSERT_TRUE(os::CreateFolders(blocker));
  const std::string error = Click(&Commands::Button2Click);
  EXPECT_NE(error.find("DL01MAST.DB"), std::string::npos) << error;
  EXPECT_TRUE(form_.messages.empty());
  ASSERT_TRUE(os::RemoveEmptyFolder(blocker));
  EXPECT_EQ(TargetBytes(), before);  // no table replaced, no new copy left behind
  // The next click writes what the first one posted, all together.
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 7u);
  EXPECT_EQ(TargetRows("DL01MAST.DB").size(), 3u);
  EXPECT_EQ(TargetRows("CLASSMAS.DB").size(), 2u);
}

TEST_F(SchoolTest, SecondImportChangesNothing) {
  MakeSchool(SmallSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  auto before = TargetBytes();
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetBytes(), before);
  EXPECT_EQ(form_.messages.size(), 2u);
}

TEST_F(SchoolTest, LongListOfMissingLearnersIsAddedWhole) {
  sample::School s;
  for (int n = 1; n <= 40; ++n) s.learners.push_back(MakeLearner(n));
  s.learners.push_back(MakeLearner(7));  // a duplicate id is added once
  s.classes = {MakeClass(101, "Gr 1A", "T01")};
  MakeSchool(s);
  BindImportStores(components(), form_);
  ImportLearners(components(), LearnerImportForm::kFirst);
  components().Save();
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 40u);
}

TEST_F(SchoolTest, TargetHoldingSomeLearnersGetsOnlyTheOthers) {
  sample::School s = SmallSchool();
  sample::School first_half = s;
  first_half.learners.resize(3);
  MakeSchool(first_half);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  commands_.reset();  // a new run of the program
  WriteSource(s);
  ASSERT_EQ(Click(&Commands::Button1Click), "");  // the second form
  auto learners = TargetRows("CH01MAST.DB");
  EXPECT_EQ(learners.size(), 7u);
  EXPECT_EQ(learners["10001"].at("CH01_SECOND_NAME"), "");        // held before: untouched
  EXPECT_EQ(learners["10005"].at("CH01_SECOND_NAME"), "Second5");  // added by the second form
}

TEST_F(SchoolTest, ShortDateEndsTheCommandNamingTheLearnerAndKeepsEarlierRows) {
  sample::School s = SmallSchool();
  s.learners[3].birth_date = "2010";
  MakeSchool(s);
  EXPECT_EQ(Click(&Commands::Button2Click), "Learner 10004: BirthDate \"2010\" is not a date of the form YYYYMMDD");
  EXPECT_TRUE(form_.messages.empty());
  auto learners = TargetRows("CH01MAST.DB");
  EXPECT_EQ(learners.size(), 3u);  // the three before it, complete
  EXPECT_EQ(learners["10003"].at("CH01_SURNAME"), "Surname3");
  EXPECT_TRUE(TargetRows("DL01MAST.DB").empty());  // the parent pass never ran
}

TEST_F(SchoolTest, RefusedFieldDropsThePendingRow) {
  sample::School s = SmallSchool();
  s.learners[2].birth_date = "20151340";  // month 13: names no day
  MakeSchool(s);
  std::string error = Click(&Commands::Button2Click);
  EXPECT_EQ(error, "Learner 10003: BirthDate \"20151340\" is not a date of the form YYYYMMDD");
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 2u);
  // The next command must not post the half-written learner.
  s.learners[2].birth_date = "20151230";
  commands_.reset();
  WriteSource(s);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB")["10003"].at("CH01_DATE_OF_BIRTH"), "30/12/2015");
}

TEST_F(SchoolTest, ChangedSourceLocationIsRefusedBeforeAnythingIsWritten) {
  MakeSchool(SmallSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  auto before = TargetBytes();
  form_.edit1 += ".other";
  EXPECT_EQ(Click(&Commands::Button2Click), "Classes: Cannot perform this operation on an open dataset");
  EXPECT_EQ(TargetBytes(), before);
}

TEST_F(SchoolTest, MissingSourceFileFailsAtTheFirstOpenAndACorrectedPathWorks) {
  MakeSchool(SmallSchool());
  form_.edit1 = (dir_ / "nope.mdb").string();
  std::string error = Click(&Commands::Button2Click);
  EXPECT_NE(error.find("nope.mdb"), std::string::npos) << error;
  form_.edit1 = source_.string();
  EXPECT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 7u);
}

TEST_F(SchoolTest, ClassesMissingFromOneTableAreAddedThereOnly) {
  sample::School s = SmallSchool();
  s.classes.push_back(MakeClass(104, "O'Brien's", "T04"));  // an apostrophe in a class name
  MakeSchool(s);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  std::filesystem::path fresh = dir_ / "fresh";
  std::filesystem::create_directories(fresh);
  paradox::CreateVarnholtTables(fresh.string());
  for (const char* name : {"DL00CODE.DB", "DL00CODE.PX"}) {
    varnholt::testing::CopyOver(fresh / name, target_ / name);
  }
  auto master_before = TargetRows("CLASSMAS.DB");
  commands_.reset();  // a new run of the program
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  auto codes = TargetRows("DL00CODE.DB");
  EXPECT_EQ(codes.size(), 3u);
  EXPECT_EQ(codes["O'Brien's"].at("Dl00_DESCRIPTION"), "T04");
  EXPECT_EQ(TargetRows("CLASSMAS.DB"), master_before);
}

TEST_F(SchoolTest, EveryClassIsSeenAgainAfterALearnerPassFilteredClasses) {
  sample::School s = SmallSchool();
  s.classes.push_back(MakeClass(103, "Gr 3C", "T03"));
  MakeSchool(s);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  ASSERT_TRUE(components().Classes().Filtered());  // the learner pass left it on one class
  // Another program empties the class master between two commands of this run.
  std::filesystem::path fresh = dir_ / "fresh";
  std::filesystem::create_directories(fresh);
  paradox::CreateVarnholtTables(fresh.string());
  for (const char* name : {"CLASSMAS.DB", "CLASSMAS.PX"}) {
    varnholt::testing::CopyOver(fresh / name, target_ / name);
  }
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CLASSMAS.DB").size(), 3u);
}

TEST_F(SchoolTest, ReportListsUnlinkedLearnersAndIsCreatedWhenMissing) {
  MakeSchool(SmallSchool());
  ASSERT_FALSE(std::filesystem::exists(report_));
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  const std::string block =
      ",Parents   ,3 , Children   ,7,\r\n"
      "\r\n"
      "Children Active  ,5 ,Children Inactive  ,1,\r\n"
      "\r\n"
      "Children that doesnt have a parent link.,1,\r\n"
      "Date,12/08/2026,\r\n"
      "Children id not linked,3,\r\n";
  EXPECT_EQ(ReadText(report_), block + block);
}

TEST_F(SchoolTest, SkipMarkerLeavesTheReportAlone) {
  MakeSchool(SmallSchool());
  std::ofstream(skip_marker_) << "";
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_FALSE(std::filesystem::exists(report_));
  EXPECT_EQ(form_.messages, std::vector<std::string>{"Finished"});
}

TEST_F(SchoolTest, EmptySourceImportsNothingAndFinishes) {
  MakeSchool(sample::School{});
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_TRUE(TargetRows("DL01MAST.DB").empty());  // no empty account "3"
  EXPECT_TRUE(TargetRows("CH01MAST.DB").empty());
  EXPECT_EQ(form_.messages, std::vector<std::string>{"Finished"});
}

TEST_F(SchoolTest, ASourceParentWithoutAnIdAddsNoAccount3) {
  sample::School s;
  s.classes = {MakeClass(101, "Gr 1A", "T01")};
  s.learners = {MakeLearner(1), MakeLearner(2)};
  s.links = {Link(1, 10001, 1)};  // learner 2 has no parent link: its account code is "3"
  s.parents = {MakeParent(1), MakeParent(2)};
  s.parents[0].parent_id = std::nullopt;
  s.parents[0].surname = "Stranger";
  MakeSchool(s);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("DL01MAST.DB").count("3"), 0u);
  EXPECT_EQ(TargetRows("DL01MAST.DB").size(), 1u);
  EXPECT_EQ(TargetRows("CH01MAST.DB").at("10002").at("CH01_DL01_CODE"), "3");

  // An account "3" the school already has (made by hand, or by an earlier version) is not the
  // id-less parent's: Update leaves it as it is.
  commands_.reset();
  {
    auto table = paradox::Table::Open(Utf8FromPath(target_ / "DL01MAST.DB"), true);
    paradox::Record record = table->Get(table->Rows().front());
    record[0] = std::string("3");
    record[1] = std::string("Own account");
    table->Insert(record);
    table->Save();
  }
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(TargetRows("DL01MAST.DB").at("3").at("DL01_DESCRIPTION"), "Own account");
  EXPECT_EQ(TargetRows("DL01MAST.DB").size(), 2u);
}

}  // namespace
}  // namespace varnholt::testing
