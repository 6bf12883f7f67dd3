// The restore killed (SIGKILL) at random moments: what it leaves is the tables as before the
// restore or as after it, never between, and a rerun finishes it, with one backup that undoes it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/utf8_path.h"
#include "stores/backup/backups.h"
#include "tests/passes/school_fixture.h"
#include "tests/support/file_bytes.h"

extern char** environ;

namespace varnholt::testing {
namespace {

using Files = std::map<std::string, std::string>;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 24;
constexpr int kLearners = 600;


std::string ReadSmall(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool IsLeftover(const std::string& name) {
  for (const char* suffix : {".saving", ".renaming", ".before", ".set"}) {
    if (name.ends_with(suffix)) return true;
  }
  return false;
}

class RestoreKillTest : public SchoolTest {
 protected:
  Files Tables() const {
    Files files = TargetBytes();
    std::erase_if(files, [](const auto& f) { return f.first.starts_with(kBackupsFolderName) || IsLeftover(f.first); });
    return files;
  }
  // Starts the restore tool on `target`; returns its process.
  static pid_t StartRestore(const std::filesystem::path& target, const std::string& id, const char* output = "/dev/null") {
    const std::string program = VARNHOLT_RESTORE;
    const std::string folder = Utf8FromPath(target);
    std::vector<std::string> args = {program, "--target", folder, "--restore", id};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }
  // The folder once what the killed run left running (the child that does a save's renames) is
  // done: two looks a while apart that agree.
  Files Settled() const {
    Files last = Tables();
    for (int i = 0; i < 50; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      Files now = Tables();
      if (now == last) return now;
      last = std::move(now);
    }
    return last;
  }
};

TEST_F(RestoreKillTest, EveryKillLeavesTheTablesBeforeOrAfterAndARerunFinishes) {
  sample::School school;
  for (int n = 1; n <= kLearners; ++n) school.learners.push_back(MakeLearner(n));
  for (int n = 1; n <= kLearners / 2; ++n) school.parents.push_back(MakeParent(n));
  for (int n = 1; n <= kLearners; ++n) school.links.push_back(Link(n, 10000 + n, (n + 1) / 2));
  school.classes = {MakeClass(101, "Gr 1A", "T01")};
  MakeSchool(school);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  const Files imported = Tables();
  for (auto& learner : school.learners) learner.surname = *learner.surname + "x";
  WriteSource(school);
  commands_.reset();
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  commands_.reset();
  const Files updated = Tables();
  const std::string update_id = ListBackups(Utf8FromPath(target_)).front().id;
  const std::filesystem::path start = dir_ / "start";
  std::filesystem::copy(target_, start, std::filesystem::copy_options::recursive);

  // How long a whole restore takes, so the kills fall inside it.
  const std::filesystem::path work = dir_ / "work";
  std::filesystem::copy(start, work, std::filesystem::copy_options::recursive);
  const Clock::time_point began = Clock::now();
  ASSERT_EQ(Wait(StartRestore(work, update_id)), 0);
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began);
  std::filesystem::remove_all(work);

  std::mt19937 random(7);
  int landed = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    std::filesystem::copy(start, work, std::filesystem::copy_options::recursive);
    target_ = work;
    const auto at = std::chrono::microseconds(std::uniform_int_distribution<int64_t>(0, whole.count())(random));
    const pid_t pid = StartRestore(work, update_id);
    std::this_thread::sleep_for(at);
    ::kill(pid, SIGKILL);
    const int status = Wait(pid);
    if (WIFSIGNALED(status)) ++landed;
    const std::string where = "kill " + std::to_string(kill) + " at " + std::to_string(at.count()) + " us";
    const Files left = Settled();
    // Between the two only while the set is marked: stopped among its tables' renames, which the
    // next open of each table finishes.
    bool marked = false;
    for (const auto& [name, bytes] : TargetBytes()) marked = marked || name.ends_with(".renaming");
    EXPECT_TRUE(left == updated || left == imported || marked)
        << where << ": the tables are neither before nor after: differ from before in" << Differing(left, updated)
        << ", from after in" << Differing(left, imported);

    std::string left_info = std::string("left ") + (left == updated ? "before" : left == imported ? "after" : "between") + ":";
    for (const auto& [name, bytes] : TargetBytes()) {
      if (!name.starts_with(kBackupsFolderName) || name.ends_with("/")) left_info += " " + name;
    }
    for (const auto& e : std::filesystem::directory_iterator(work)) {
      const std::string n = Utf8FromPath(e.path().filename());
      if (n.ends_with(".set") || n.ends_with(".renaming")) left_info += "\n  " + n + ": " + ReadSmall(e.path());
    }
    // The rerun finishes: the tables as before the Update, one backup of the restore, and that
    // backup undoes it.
    std::filesystem::remove(dir_ / "rerun.txt");
    ASSERT_EQ(Wait(StartRestore(work, update_id, Utf8FromPath(dir_ / "rerun.txt").c_str())), 0) << where;
    EXPECT_EQ(Differing(Tables(), imported), "") << where;
    for (const auto& [name, bytes] : TargetBytes()) EXPECT_FALSE(IsLeftover(name)) << where << ": " << name;
    const std::vector<BackupInfo> backups = ListBackups(Utf8FromPath(work));
    ASSERT_EQ(backups.size(), 3u) << where;
    EXPECT_EQ(backups.front().command, "Restore") << where;
    ASSERT_EQ(Wait(StartRestore(work, backups.front().id, Utf8FromPath(dir_ / "rerun.txt").c_str())), 0) << where;
    EXPECT_EQ(Differing(Tables(), updated), "") << where << "\n" << left_info << "\n" << ReadSmall(dir_ / "rerun.txt");
    std::filesystem::remove_all(work);
  }
  EXPECT_GE(landed, kKills / 2);
}

TEST_F(RestoreKillTest, ARestoreIsRefusedWhileAnotherProgramHoldsTheTables) {
  sample::School school;
  for (int n = 1; n <= 20; ++n) school.learners.push_back(MakeLearner(n));
  for (int n = 1; n <= 10; ++n) school.parents.push_back(MakeParent(n));
  school.classes = {MakeClass(101, "Gr 1A", "T01")};
  MakeSchool(school);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  commands_.reset();
  const Files imported = Tables();
  const std::string id = ListBackups(Utf8FromPath(target_)).front().id;

  // A copy of the program in the middle of a command: the restore must not touch its tables.
  const std::filesystem::path said = dir_ / "holding.txt";
  const std::string command = "'" + std::string(VARNHOLT_HOLD_TARGET) + "' '" + Utf8FromPath(target_) + "' > '" +
                              Utf8FromPath(said) + "'";
  FILE* holder = popen(command.c_str(), "w");
  ASSERT_NE(holder, nullptr);
  for (int i = 0; i < 500 && ReadSmall(said).find("holding") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(ReadSmall(said).find("holding"), std::string::npos);
  const std::filesystem::path out = dir_ / "restore.txt";
  EXPECT_NE(Wait(StartRestore(target_, id, Utf8FromPath(out).c_str())), 0);
  EXPECT_EQ(Differing(Tables(), imported), "") << "a held table was restored";
  pclose(holder);

  ASSERT_EQ(Wait(StartRestore(target_, id)), 0);
  EXPECT_NE(Differing(Tables(), imported), "");
}

}  // namespace
}  // namespace varnholt::testing
