// Password-protected target tables through the session: the prompt is asked once per run for a
// password that opens them all, and Cancel or a wrong password opens nothing and writes nothing.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>

#include "stores/target/target_session.h"
#include "tests/target/target_test_tables.h"
#include "tools/sample_school/protect_table.h"

namespace varnholt {
namespace {

using paradox::Null;
using paradox::Record;

constexpr char kPassword[] = "Bursar24";

class QueuedPrompt : public PasswordPrompt {
 public:
  std::optional<std::string> AskTablePassword(const std::string& table_name) override {
    asked.push_back(table_name);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> asked;
};

class TablePasswordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::CreateTargetTables(dir_.path());
    ProtectTable(dir_.path() + "/CLASSMAS.DB", kPassword);
    ProtectTable(dir_.path() + "/DL00CODE.DB", kPassword);
  }
  testing::TempDir dir_;
};

TEST_F(TablePasswordTest, AskedOnceForTablesSharingAPasswordAndWrittenProtected) {
  QueuedPrompt prompt;
  prompt.answers = {kPassword};
  {
    TargetSession session;
    session.set_password_prompt(&prompt);
    SharedTable& classes = session.OpenTable(dir_.path(), "classmas.db");
    classes.Insert(Record{std::string("Gr 1A"), std::string("Mrs Ndlovu"), Null{}});
    SharedTable& codes = session.OpenTable(dir_.path(), "DL00CODE.DB");
    codes.Insert(Record{std::string("Gr 1A"), std::string("Grade 1A")});
    session.SaveAll();
  }
  EXPECT_EQ(prompt.asked, std::vector<std::string>{"CLASSMAS.DB"});
  auto reread = paradox::Table::Open(dir_.path() + "/CLASSMAS.DB", false, kPassword);
  EXPECT_EQ(reread->RecordCount(), 1u);
  EXPECT_NE(testing::ErrorMessage([&] { paradox::Table::Open(dir_.path() + "/CLASSMAS.DB", false); }), "");
}

TEST_F(TablePasswordTest, CancelOrAWrongPasswordOpensNothingAndWritesNothing) {
  const auto before = testing::Snapshot(dir_.path());
  // As the session names it: its canonical path.
  const std::string path = std::filesystem::weakly_canonical(std::filesystem::path(dir_.path()) / "CLASSMAS.DB").string();
  QueuedPrompt prompt;
  prompt.answers = {std::nullopt, std::string("bursar24"), std::string(kPassword)};
  TargetSession session;
  EXPECT_EQ(testing::ErrorMessage([&] { session.OpenTable(dir_.path(), "CLASSMAS.DB"); }),
            "Insufficient table rights for operation. Password required.\nTable: " + path);
  session.set_password_prompt(&prompt);
  EXPECT_EQ(testing::ErrorMessage([&] { session.OpenTable(dir_.path(), "CLASSMAS.DB"); }),
            "Insufficient table rights for operation. Password required.\nTable: " + path);
  EXPECT_EQ(testing::ErrorMessage([&] { session.OpenTable(dir_.path(), "CLASSMAS.DB"); }),
            "Invalid password given.\nTable: " + path);
  session.SaveAll();
  EXPECT_EQ(testing::Snapshot(dir_.path()), before);
  // Refused answers are not remembered: the next open asks again, and the right one opens.
  EXPECT_EQ(session.OpenTable(dir_.path(), "CLASSMAS.DB").table().RecordCount(), 0u);
  EXPECT_EQ(prompt.asked.size(), 3u);
  // An unprotected table never asks.
  session.OpenTable(dir_.path(), "CH01MAST.DB");
  EXPECT_EQ(prompt.asked.size(), 3u);
}

}  // namespace
}  // namespace varnholt
