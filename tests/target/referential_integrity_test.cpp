// Referential integrity on the genuine engine-made families: the links read from both sides'
// .VAL files, a dependant's post refused without its master record, a master's key kept while
// dependants hold it, and what the engine cannot check refused before anything is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "stores/paradox/integrity_links.h"
#include "stores/paradox/validity_checks.h"
#include "stores/target/password_prompt.h"
#include "stores/target/target_session.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/table_checker.h"
#include "tests/target/target_test_tables.h"
#include "tools/sample_school/protect_table.h"

namespace varnholt {
namespace {

namespace fs = std::filesystem;
using paradox::IntegrityLink;
using paradox::Null;
using paradox::Record;
using paradox::Value;

class ReferentialIntegrityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(Folder())) GTEST_SKIP() << "no sample files";
  }
  static std::string Folder() {
    return std::string(VARNHOLT_SHARED_DIR) + "/testdata/paradox/leonhad-paradoxdriver/joins";
  }
  void Copy(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      const fs::path to = fs::path(dir_.path()) / name;
      fs::copy_file(fs::path(Folder()) / name, to);
      fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
    }
  }
  void CopyAbc() {
    Copy({"A.db", "A.PX", "A.VAL", "B.db", "B.PX", "B.VAL", "C.DB", "C.PX", "C.VAL", "C.X02", "C.Y02",
          "C.X03", "C.Y03"});
  }
  paradox::IntegrityLinks Links(const std::string& name) {
    const std::string path = dir_.path() + "/" + name;
    const paradox::ValidityChecks checks =
        paradox::ValidityChecks::Read(path, paradox::Table::Open(path, false)->fields(), 437);
    EXPECT_TRUE(checks.referential_integrity());
    EXPECT_TRUE(checks.links().has_value()) << name;
    return checks.links().value_or(paradox::IntegrityLinks{});
  }
  void ExpectFamiliesSound(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      const paradox::CheckResult result = paradox::CheckTable(dir_.path() + "/" + name);
      EXPECT_TRUE(result.ok()) << name << "\n" << result.Summary();
      if (!paradox::testing::HavePxlib()) continue;
      std::string error;
      EXPECT_EQ(paradox::testing::ReadWithPxlib(dir_.path() + "/" + name, &error).size(), result.records) << name;
      EXPECT_EQ(error, "") << name;
    }
  }
  testing::TempDir dir_;
};

void ExpectLink(const IntegrityLink& link, const std::string& name, const std::string& other,
                const std::vector<int>& fields, const std::vector<int>& other_fields) {
  EXPECT_EQ(link.name, name);
  EXPECT_EQ(link.other_table, other);
  EXPECT_EQ(link.fields, fields);
  EXPECT_EQ(link.other_fields, other_fields);
}

TEST_F(ReferentialIntegrityTest, BothSidesOfEveryLinkAreRead) {
  Copy({"A.db", "A.VAL", "C.DB", "C.VAL", "primary.db", "primary.val", "multiple.db", "multiple.val",
        "two.db", "two.val", "fk4.db", "fk4.val", "fk2.db", "fk2.val"});
  const paradox::IntegrityLinks c = Links("C.DB");
  ASSERT_EQ(c.masters.size(), 2u);
  EXPECT_TRUE(c.dependants.empty());
  ExpectLink(c.masters[0], "Reference A", "A.db", {1}, {0});
  ExpectLink(c.masters[1], "Reference B", "B.db", {2}, {0});
  const paradox::IntegrityLinks a = Links("A.db");
  ASSERT_EQ(a.dependants.size(), 1u);
  ExpectLink(a.dependants[0], "Reference A", "C.DB", {0}, {1});

  // A master with five dependants, one of them linked twice; a table on both sides.
  const paradox::IntegrityLinks primary = Links("primary.db");
  ASSERT_EQ(primary.dependants.size(), 5u);
  EXPECT_TRUE(primary.masters.empty());
  ExpectLink(primary.dependants[0], "fk_multiple_primary", "multiple.DB", {0}, {1});
  ExpectLink(primary.dependants[2], "reference", "fk3.db", {0}, {2});
  ExpectLink(primary.dependants[4], "fk2", "multiple.DB", {0}, {3});
  const paradox::IntegrityLinks multiple = Links("multiple.db");
  ASSERT_EQ(multiple.masters.size(), 2u);
  ASSERT_EQ(multiple.dependants.size(), 1u);
  ExpectLink(multiple.masters[0], "fk2", "primary.db", {3}, {0});
  ExpectLink(multiple.dependants[0], "to_multiple", "to_multiple.db", {0}, {1});

  // A two-field key, and the flag that tells two links to the same master apart.
  ExpectLink(Links("two.db").dependants.at(0), "reference", "fk4.DB", {0, 1}, {1, 3});
  ExpectLink(Links("fk4.db").masters.at(0), "reference", "two.db", {1, 3}, {0, 1});
  EXPECT_EQ(multiple.masters[0].update_rule, 1);
  EXPECT_EQ(Links("fk2.db").masters.at(0).update_rule, 0);
}

TEST_F(ReferentialIntegrityTest, DependantRowsNeedTheirMasterRecord) {
  CopyAbc();
  TargetSession session;
  SharedTable& c = session.OpenTable(dir_.path(), "C.DB");
  const std::string a_path = session.OpenTable(dir_.path(), "A.db").table().path();
  const auto before = testing::Snapshot(dir_.path());
  EXPECT_EQ(testing::ErrorMessage([&] { c.Insert(Record{int64_t{4}, int64_t{9}, int64_t{4}}); }),
            "Master record missing.\nField: A\nValue: 9\nTable: " + c.table().path() + "\nMaster table: " + a_path);
  EXPECT_NE(testing::ErrorMessage([&] { c.Insert(Record{int64_t{4}, int64_t{1}, int64_t{1}}); }).find("Field: B\nValue: 1\n"),
            std::string::npos);
  // An update that points a row at a missing master is refused; one that keeps its links is not.
  const paradox::RowId first = c.table().Rows()[0];
  Record moved = c.table().Get(first);
  moved[2] = int64_t{99};
  EXPECT_NE(testing::ErrorMessage([&] { c.UpdateAll({{first, moved}}); }).find("Master record missing."), std::string::npos);
  session.SaveAll();
  EXPECT_EQ(testing::Snapshot(dir_.path()), before);

  c.Insert(Record{int64_t{4}, int64_t{1}, int64_t{6}});
  c.Insert(Record{int64_t{5}, int64_t{2}, int64_t{5}});
  Record relinked = c.table().Get(first);
  relinked[1] = int64_t{3};
  c.UpdateAll({{first, relinked}});
  session.SaveAll();
  EXPECT_EQ(c.table().RecordCount(), 5u);
  ExpectFamiliesSound({"A.db", "B.db", "C.DB"});
}

TEST_F(ReferentialIntegrityTest, AMasterKeyStaysWhileDependantsHoldIt) {
  CopyAbc();
  TargetSession session;
  SharedTable& a = session.OpenTable(dir_.path(), "A.db");
  SharedTable& c = session.OpenTable(dir_.path(), "C.DB");
  const auto before = testing::Snapshot(dir_.path());
  const paradox::RowId one = a.table().FindEqual(0, int64_t{1}).at(0);
  EXPECT_EQ(testing::ErrorMessage([&] { a.UpdateAll({{one, Record{int64_t{7}}}}); }),
            "Master has detail records. Cannot delete or modify.\nField: A\nValue: 1\nTable: " + a.table().path() +
                "\nDetail table: " + c.table().path());
  session.SaveAll();
  EXPECT_EQ(testing::Snapshot(dir_.path()), before);

  // A key nobody refers to moves; once a dependant row posted in this session refers to it, it stays.
  const paradox::RowId ten = a.Insert(Record{int64_t{10}});
  a.UpdateAll({{ten, Record{int64_t{11}}}});
  c.Insert(Record{int64_t{8}, int64_t{11}, Null{}});
  const paradox::RowId eleven = a.table().FindEqual(0, int64_t{11}).at(0);
  EXPECT_NE(testing::ErrorMessage([&] { a.UpdateAll({{eleven, Record{int64_t{12}}}}); }).find("Master has detail records."),
            std::string::npos);
  session.SaveAll();
  EXPECT_EQ(a.table().RecordCount(), 4u);
  ExpectFamiliesSound({"A.db", "C.DB"});
}

TEST_F(ReferentialIntegrityTest, TwoFieldKeysAndAutoincrementMasters) {
  Copy({"primary.db", "primary.px", "primary.val", "fk1.db", "fk1.px", "fk1.val", "fk1.x02", "fk1.y02",
        "fk2.db", "fk2.px", "fk2.val", "fk2.x02", "fk2.y02", "fk3.db", "fk3.px", "fk3.val", "fk3.x03",
        "fk3.y03", "multiple.db", "multiple.PX", "multiple.val", "multiple.X02", "multiple.Y02",
        "multiple.X04", "multiple.Y04", "to_multiple.db", "to_multiple.px", "to_multiple.val",
        "to_multiple.X02", "to_multiple.Y02", "two.db", "two.px", "two.val", "fk4.db", "fk4.px",
        "fk4.val", "fk4.XG0", "fk4.YG0"});
  TargetSession session;
  SharedTable& primary = session.OpenTable(dir_.path(), "primary.db");
  primary.Insert(Record{Null{}, std::string("Ann")});
  const Value id = primary.table().Get(primary.table().Rows().at(0))[0];
  SharedTable& fk1 = session.OpenTable(dir_.path(), "fk1.db");
  fk1.Insert(Record{int64_t{1}, id});
  fk1.Insert(Record{int64_t{3}, Null{}});  // a blank foreign key refers to nothing
  EXPECT_NE(testing::ErrorMessage([&] { fk1.Insert(Record{int64_t{2}, int64_t{424242}}); }).find("Master record missing."),
            std::string::npos);
  SharedTable& multiple = session.OpenTable(dir_.path(), "multiple.db");
  multiple.Insert(Record{Null{}, id, std::string("x"), id});
  SharedTable& to_multiple = session.OpenTable(dir_.path(), "to_multiple.db");
  const Value multiple_id = multiple.table().Get(multiple.table().Rows().at(0))[0];
  to_multiple.Insert(Record{Null{}, multiple_id});

  SharedTable& two = session.OpenTable(dir_.path(), "two.db");
  two.Insert(Record{int64_t{1}, int64_t{2}, std::string("x")});
  SharedTable& fk4 = session.OpenTable(dir_.path(), "fk4.db");
  fk4.Insert(Record{int64_t{3}, int64_t{1}, std::string("z"), int64_t{2}});
  EXPECT_EQ(testing::ErrorMessage([&] { fk4.Insert(Record{int64_t{4}, int64_t{1}, std::string("z"), int64_t{3}}); }),
            "Master record missing.\nField: FK1, FK\nValue: 1, 3\nTable: " + fk4.table().path() +
                "\nMaster table: " + two.table().path());
  // Half a key is not blank: it names a master record no key can match.
  EXPECT_NE(testing::ErrorMessage([&] { fk4.Insert(Record{int64_t{5}, int64_t{1}, std::string("z"), Null{}}); })
                .find("Master record missing."),
            std::string::npos);
  const paradox::RowId two_row = two.table().Rows().at(0);
  EXPECT_NE(testing::ErrorMessage([&] { two.UpdateAll({{two_row, Record{int64_t{1}, int64_t{5}, std::string("x")}}}); })
                .find("Master has detail records."),
            std::string::npos);
  // The name is not part of the key: it may change.
  two.UpdateAll({{two_row, Record{int64_t{1}, int64_t{2}, std::string("y")}}});
  session.SaveAll();
  EXPECT_EQ(fk4.table().RecordCount(), 3u);
  ExpectFamiliesSound({"primary.db", "fk1.db", "multiple.db", "to_multiple.db", "two.db", "fk4.db"});
}

TEST_F(ReferentialIntegrityTest, AMissingMasterFileIsNamedAndNothingIsWritten) {
  Copy({"B.db", "B.PX", "B.VAL", "C.DB", "C.PX", "C.VAL", "C.X02", "C.Y02", "C.X03", "C.Y03"});
  const auto before = testing::Snapshot(dir_.path());
  TargetSession session;
  SharedTable& c = session.OpenTable(dir_.path(), "C.DB");
  EXPECT_EQ(testing::ErrorMessage([&] { c.Insert(Record{int64_t{4}, int64_t{1}, int64_t{4}}); }),
            "Master table missing.\nTable: " + c.table().path() + "\nFile: " + testing::InFolder(dir_.path(), "A.db"));
  session.SaveAll();
  EXPECT_EQ(testing::Snapshot(dir_.path()), before);
}

TEST_F(ReferentialIntegrityTest, AMissingDetailFileIsNamedAndNothingIsWritten) {
  Copy({"B.db", "B.PX", "B.VAL"});
  const auto before = testing::Snapshot(dir_.path());
  TargetSession session;
  SharedTable& b = session.OpenTable(dir_.path(), "B.db");
  const paradox::RowId row = b.table().Rows().at(0);
  EXPECT_EQ(testing::ErrorMessage([&] { b.UpdateAll({{row, Record{int64_t{40}}}}); }),
            "Detail table missing.\nTable: " + b.table().path() + "\nFile: " + testing::InFolder(dir_.path(), "C.DB"));
  session.SaveAll();
  EXPECT_EQ(testing::Snapshot(dir_.path()), before);
}

// Answers the session's password dialog with one password, and counts the questions.
class OnePassword : public PasswordPrompt {
 public:
  std::optional<std::string> AskTablePassword(const std::string& table_name) override {
    asked.push_back(table_name);
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> asked;
};

TEST_F(ReferentialIntegrityTest, AProtectedMasterIsReadWithThePasswordTheOperatorGives) {
  CopyAbc();
  ProtectTable(dir_.path() + "/A.db", "Kestrel7");
  const auto before = testing::Snapshot(dir_.path());
  {
    TargetSession session;  // nobody to ask: the master cannot be read, so nothing is written
    SharedTable& c = session.OpenTable(dir_.path(), "C.DB");
    EXPECT_NE(testing::ErrorMessage([&] { c.Insert(Record{int64_t{4}, int64_t{1}, int64_t{4}}); }).find("Password required"),
              std::string::npos);
    session.SaveAll();
  }
  EXPECT_EQ(testing::Snapshot(dir_.path()), before);
  TargetSession session;
  OnePassword prompt;
  prompt.answer = "Kestrel7";
  session.set_password_prompt(&prompt);
  SharedTable& c = session.OpenTable(dir_.path(), "C.DB");
  EXPECT_NE(testing::ErrorMessage([&] { c.Insert(Record{int64_t{4}, int64_t{9}, int64_t{4}}); }).find("Master record missing."),
            std::string::npos);
  c.Insert(Record{int64_t{4}, int64_t{2}, int64_t{4}});
  session.SaveAll();
  EXPECT_EQ(prompt.asked, std::vector<std::string>{"A.db"});
  EXPECT_EQ(c.table().RecordCount(), 4u);
  ExpectFamiliesSound({"A.db", "C.DB"});
}

TEST_F(ReferentialIntegrityTest, LinksThatCannotBeReadKeepTheTableRefused) {
  CopyAbc();
  // Each damage leaves the field checks readable but the links not.
  const std::vector<std::pair<size_t, uint8_t>> damages = {
      {0x6d, 3},     // more links to masters than the section holds
      {0x20d, 17},   // a link of 17 fields
      {0x20f, 9},    // a field C does not have
      {0x209, 2},    // an update rule never seen
      {0x143, '/'},  // a master outside the folder
      {0x3ef + 4, 1},  // a field number past the link's count
  };
  for (const auto& [at, byte] : damages) {
    SCOPED_TRACE(at);
    fs::remove(dir_.path() + "/C.VAL");
    fs::copy_file(Folder() + "/C.VAL", dir_.path() + "/C.VAL");
    fs::permissions(dir_.path() + "/C.VAL", fs::perms::owner_read | fs::perms::owner_write);
    std::fstream val(dir_.path() + "/C.VAL", std::ios::in | std::ios::out | std::ios::binary);
    val.seekp(static_cast<std::streamoff>(at));
    val.put(static_cast<char>(byte));
    val.close();
    const auto before = testing::Snapshot(dir_.path());
    TargetSession session;
    SharedTable& c = session.OpenTable(dir_.path(), "C.DB");
    EXPECT_EQ(testing::ErrorMessage([&] { c.Insert(Record{int64_t{4}, int64_t{1}, int64_t{4}}); }),
              c.table().path() + ": cannot write: the table takes part in referential integrity (its .VAL "
                                 "links it to other tables) and this engine cannot read those links");
    session.SaveAll();
    EXPECT_EQ(testing::Snapshot(dir_.path()), before);
  }
}

}  // namespace
}  // namespace varnholt
