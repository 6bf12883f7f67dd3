// Every file call of a command failed in turn, once each way it can fail: each time the command
// ends with an error that names what failed (or, when only a clean-up failed, as it would have),
// the target's tables are all as before the command or all as after it, nothing of the save is
// left beside them, and the next command does the whole job.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <map>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "base/path_text.h"
#include "base/utf8_path.h"
#include "stores/backup/backups.h"
#include "tests/faults/failing_file_calls.h"
#include "tools/restore/restore_tool.h"
#include "tests/passes/school_fixture.h"
#include "tests/support/file_bytes.h"
#include "tools/sample_school/varnholt_schema.h"

namespace varnholt::testing {
namespace {

using os::FileCall;
using os::FileFault;
using Files = std::map<std::string, std::string>;

sample::School FaultSchool() {
  sample::School s;
  for (int n = 1; n <= 6; ++n) s.learners.push_back(MakeLearner(n));
  s.learners[0].surname = "Müller";  // a letter outside ASCII, stored in the table's code page
  s.learners[2].class_id = 102;
  for (int n = 1; n <= 3; ++n) s.parents.push_back(MakeParent(n));
  s.links = {Link(1, 10001, 1), Link(2, 10002, 2), Link(3, 10003, 3), Link(4, 10004, 1), Link(5, 10005, 2)};
  s.classes = {MakeClass(101, "Gr 1A", "T01"), MakeClass(102, "Gr 2B", "T01")};
  return s;
}

// The ways each kind of call is failed: every call can fail outright; one that can need room on
// the disk can also find it full, and a write can also stop halfway.
std::vector<FileFault> FaultsFor(FileCall call) {
  switch (call) {
    case FileCall::kWrite: return {FileFault::kFails, FileFault::kDiskFull, FileFault::kShortWrite};
    case FileCall::kCreate:
    case FileCall::kResize:
    case FileCall::kSync:
    case FileCall::kRename:
    case FileCall::kLink: return {FileFault::kFails, FileFault::kDiskFull};
    case FileCall::kRemove: return {FileFault::kDenied};
    default: return {FileFault::kFails};
  }
}


// Wine's ReplaceFileW leaves an empty "rf*.tmp" behind when a replace does not go through; it is
// Wine's, not the table's (Windows leaves none).
bool IsWineReplaceLeftover(const std::string& name) {
  return name.size() > 6 && name.compare(0, 2, "rf") == 0 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

bool IsSaveLeftover(const std::string& name) {
  for (const char* suffix : {".saving", ".renaming", ".before", ".set"}) {
    const std::string s = suffix;
    if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) return true;
  }
  return false;
}

bool InBackups(const std::string& name) { return name.starts_with(std::string(kBackupsFolderName) + "/"); }

// The backups part of a folder's files.
Files BackupFiles(Files files) {
  std::erase_if(files, [](const auto& file) { return !InBackups(file.first); });
  return files;
}

class CommandFaultsTest : public SchoolTest {
 protected:
  // The tables' own files, without what a save leaves beside them or the backups.
  Files TableFiles() const { return TableFiles(TargetBytes()); }
  std::vector<std::string> BackupIds() const {
    std::vector<std::string> ids;
    for (const BackupInfo& b : ListBackups(Utf8FromPath(target_))) ids.push_back(b.id);
    return ids;
  }
  // Windows (and Wine) removes a file's second name only once every handle on the file is closed,
  // and a table put back keeps its old file open: its ".before" name may stay until the table's
  // next writable open removes it.
#ifdef _WIN32
  static constexpr bool kKeepTheOldCopies = true;
#else
  static constexpr bool kKeepTheOldCopies = false;
#endif
  std::vector<std::string> Leftovers(bool but_old_copies = false) const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : TargetBytes()) {
      const bool old_copy = name.size() > 7 && name.compare(name.size() - 7, 7, ".before") == 0;
      if (IsSaveLeftover(name) && !(but_old_copies && old_copy)) names.push_back(name);
    }
    return names;
  }
  void PutBack(const Files& files) {
    for (const auto& entry : std::filesystem::directory_iterator(target_)) std::filesystem::remove_all(entry.path());
    for (const auto& [name, bytes] : files) {
      if (name.ends_with("/")) {
        std::filesystem::create_directories(target_ / PathFromUtf8(name));
      } else {
        std::ofstream(target_ / PathFromUtf8(name), std::ios::binary) << bytes;
      }
    }
  }
  // A new run of the program, as after the operator starts it again.
  void Restart() {
    commands_.reset();
    form_.messages.clear();
  }

  // Runs `command` once to count its file calls, then again from the same start failing each call
  // in turn; returns how many failure points were tried.
  int FailEveryCall(void (Commands::*command)(), const std::string& name) {
    return FailEveryCall([this, command] { return Click(command); }, name);
  }
  int FailEveryCall(const std::function<std::string()>& run, const std::string& name) {
    const Files before = TargetBytes();
    std::vector<FileCall> kinds;
    {
      FailingFileCalls gate;
      Restart();
      gate.FailCall(0, FileFault::kNone);
      EXPECT_EQ(run(), "");
      for (int i = 1; i <= gate.calls(); ++i) kinds.push_back(gate.KindOf(i));
    }
    const Files after = TableFiles();
    EXPECT_NE(Differing(after, TableFiles(before)), "") << name << " changed nothing: the faults would prove nothing";
    const size_t backups_before = ListBackups(Utf8FromPath(target_)).size() - 1;
    EXPECT_LT(kinds.size(), FailingFileCalls::kRemembered);
    int points = 0;
    for (size_t i = 0; i < kinds.size(); ++i) {
      for (const FileFault fault : FaultsFor(kinds[i])) {
        std::string where = name + ": call " + std::to_string(i + 1) + " of " + std::to_string(kinds.size()) +
                                  " (" + NameOf(kinds[i]) + ") failed with " + NameOf(fault);
        Restart();  // first: Windows cannot make a file again at a name an open file still holds
        PutBack(before);
        std::string error;
        {
          FailingFileCalls gate;
          gate.FailCall(static_cast<int>(i + 1), fault);
          error = run();
          EXPECT_TRUE(gate.failed()) << where << ": the command took another way";
          where += " on " + NameOfPath(gate.failed_path());
        }
        const Files now = TableFiles();
        const bool as_before = now == TableFiles(before), as_after = now == after;
        EXPECT_TRUE(as_before || as_after) << where << ": the tables are neither as before nor as after: differ from "
                                           << "before in" << Differing(now, TableFiles(before)) << ", from after in"
                                           << Differing(now, after) << "; error: " << error;
        if (error.empty()) {
          EXPECT_TRUE(as_after) << where << ": reported success without doing it (differ from after in"
                                << Differing(now, after) << ")";
        } else {
          // True and clear: the file it names, and nothing about another program.
          EXPECT_EQ(error.find("another program"), std::string::npos) << where << ": " << error;
          EXPECT_NE(error.find_first_of("/\\"), std::string::npos) << where << ": names no file: " << error;
        }
        if (kinds[i] != FileCall::kRemove) {
          EXPECT_EQ(Leftovers(kKeepTheOldCopies), std::vector<std::string>{}) << where;
        }
        // A change has its backup; no change, no backup, and nothing half made among them.
        if (as_after && !as_before) {
          EXPECT_EQ(BackupIds().size(), backups_before + 1) << where << ": a change without its backup";
        } else {
          // Windows keeps the second names of files still open (the tables' own) until they are
          // closed: the unsealed folder that holds them goes with the next command's tidying.
          if (kinds[i] != FileCall::kRemove && !kKeepTheOldCopies) {
            EXPECT_EQ(Differing(BackupFiles(TargetBytes()), BackupFiles(before)), "") << where << ": error: " << error;
          }
          EXPECT_EQ(BackupIds().size(), backups_before) << where;
        }
        Restart();
        EXPECT_EQ(run(), "") << where << ": the next command failed";
        EXPECT_EQ(Differing(TableFiles(), after), "") << where << ": the next command did not finish the job";
        EXPECT_EQ(Leftovers(), std::vector<std::string>{}) << where << ": after the next command";
        EXPECT_EQ(BackupIds().size(), backups_before + 1) << where << ": after the next command";
        ++points;
        if (::testing::Test::HasFailure()) return points;  // one broken point tells enough
      }
    }
    std::printf("%s: %d failure points of %zu file calls covered\n", name.c_str(), points, kinds.size());
    RecordProperty(name + "_failure_points", points);
    return points;
  }

  static Files TableFiles(Files files) {
    std::erase_if(files, [](const auto& file) {
      return IsSaveLeftover(file.first) || IsWineReplaceLeftover(file.first) || InBackups(file.first) ||
             file.first == std::string(kBackupsFolderName) + "/";
    });
    return files;
  }
};

TEST_F(CommandFaultsTest, ImportSurvivesEveryFileCallFailing) {
  MakeSchool(FaultSchool());
  paradox::AddVarnholtIndexes(Utf8FromPath(target_));  // families with secondary index files too
  EXPECT_GT(FailEveryCall(&Commands::Button2Click, "import"), 50);
}

TEST_F(CommandFaultsTest, UpdateSurvivesEveryFileCallFailing) {
  sample::School school = FaultSchool();
  MakeSchool(school);
  paradox::AddVarnholtIndexes(Utf8FromPath(target_));
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  // What Update brings over: a changed surname and class, a learner who left, a new parent.
  school.learners[1].surname = "Nkosi";
  school.learners[3].class_id = 102;
  school.learners[4].status = "A";
  school.parents.push_back(MakeParent(4));
  school.links.push_back(Link(6, 10006, 4));
  WriteSource(school);
  EXPECT_GT(FailEveryCall(&Commands::Button3Click, "Update"), 50);
}

TEST_F(CommandFaultsTest, RestoreSurvivesEveryFileCallFailing) {
  sample::School school = FaultSchool();
  MakeSchool(school);
  paradox::AddVarnholtIndexes(Utf8FromPath(target_));
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  school.learners[1].surname = "Nkosi";
  school.parents.push_back(MakeParent(4));
  school.links.push_back(Link(6, 10006, 4));
  WriteSource(school);
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  const std::vector<std::string> ids = BackupIds();
  ASSERT_EQ(ids.size(), 2u);
  Restart();  // the window's tables let go, as when the program is closed before a restore
  // The Update's backup by its id: a rerun after a restore that went through finds nothing to do.
  const auto restore = [&] {
    std::ostringstream out, err;
    const int status = RunRestoreTool({"--target", Utf8FromPath(target_), "--restore", ids.front()}, out, err,
                                      [] { return std::time_t{1796734800}; });
    return status == 0 ? std::string() : err.str();
  };
  EXPECT_GT(FailEveryCall(restore, "restore"), 50);
}

#ifdef __linux__
// A real full disk, not the gate's: the target on a small tmpfs, one page larger each time, so the
// disk fills at every point of the save in turn, until it holds the whole import.
TEST_F(CommandFaultsTest, ImportOntoAFullDiskAtEveryPointOfItsSaveChangesNoTable) {
  sample::School school = FaultSchool();
  for (int n = 7; n <= 160; ++n) school.learners.push_back(MakeLearner(n));
  MakeSchool(school);
  paradox::AddVarnholtIndexes(Utf8FromPath(target_));
  const Files before = TargetBytes();
  Restart();
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  const Files after = TableFiles();

  constexpr size_t kPage = 4096;  // tmpfs counts whole pages
  size_t start = kPage;           // the folder itself
  for (const auto& [name, bytes] : before) start += (bytes.size() + kPage - 1) / kPage * kPage;
  const std::filesystem::path disk = dir_ / "small-disk";
  std::filesystem::create_directories(disk);
  const std::string place = "'" + Utf8FromPath(disk) + "'";
  const auto mount = [&](size_t size, bool remount) {
    const std::string command = "mount -t tmpfs -o " + std::string(remount ? "remount," : "") +
                                "size=" + std::to_string(size) + " tmpfs " + place + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
  };
  if (!mount(start, false)) GTEST_SKIP() << "no tmpfs can be mounted here (it takes root)";
  std::system(("umount " + place).c_str());
  target_ = disk / "varnholt";
  form_.edit2 = Utf8FromPath(target_);
  int points = 0;
  for (size_t size = start;; size += kPage) {
    ASSERT_TRUE(mount(size, false));
    std::filesystem::create_directories(target_);
    Restart();
    PutBack(before);
    const std::string error = Click(&Commands::Button2Click);
    const std::string where = "a disk of " + std::to_string(size / kPage) + " pages";
    const Files now = TableFiles();
    EXPECT_TRUE(now == TableFiles(before) || now == after)
        << where << ": neither before nor after: differ from before in" << Differing(now, TableFiles(before))
        << ", from after in" << Differing(now, after) << "; error: " << error;
    if (!error.empty()) {
      EXPECT_NE(error.find("No space left on device"), std::string::npos) << where << ": " << error;
      EXPECT_EQ(Leftovers(), std::vector<std::string>{}) << where;
      // Room again: the next command does the whole job.
      constexpr size_t kRoomAgain = 16 << 20;  // the tables, their new copies and the backup's list
      EXPECT_TRUE(mount(kRoomAgain, true));
      Restart();
      EXPECT_EQ(Click(&Commands::Button2Click), "") << where;
      EXPECT_EQ(Differing(TableFiles(), after), "") << where;
      ++points;
    }
    Restart();
    std::system(("umount " + place).c_str());
    if (error.empty() || ::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(points, 20);
  std::printf("full disk: the import's save stopped at %d points\n", points);
  RecordProperty("full_disk_points", points);
}
#endif

}  // namespace
}  // namespace varnholt::testing
