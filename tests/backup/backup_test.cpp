// The way back end to end: the backups the commands make, what their lists say, the restore tool
// putting each back byte for byte, the keep setting, and the preview that writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/utf8_path.h"
#include "stores/backup/backups.h"
#include "tests/passes/school_fixture.h"
#include "tests/support/file_bytes.h"
#include "tools/restore/restore_tool.h"

namespace varnholt::testing {
namespace {

using Files = std::map<std::string, std::string>;

constexpr std::time_t kRestoreTime = 1796734800;  // 2026-12-08 13:00 UTC

sample::School SmallSchool() {
  sample::School s;
  for (int n = 1; n <= 5; ++n) s.learners.push_back(MakeLearner(n));
  s.learners[0].surname = "Müller";
  for (int n = 1; n <= 3; ++n) s.parents.push_back(MakeParent(n));
  s.links = {Link(1, 10001, 1), Link(2, 10002, 2), Link(3, 10003, 3), Link(4, 10004, 1), Link(5, 10005, 2)};
  s.classes = {MakeClass(101, "Gr 1A", "T01"), MakeClass(102, "Gr 2B", "T01")};
  return s;
}


std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class BackupTest : public SchoolTest {
 protected:
  // The target's files without the backups.
  Files Tables() const {
    Files files = TargetBytes();
    std::erase_if(files, [](const auto& f) { return f.first.starts_with(kBackupsFolderName); });
    return files;
  }
  std::vector<BackupInfo> Backups() const { return ListBackups(Utf8FromPath(target_)); }
  // Runs the restore tool; returns its exit status, with what it printed.
  int Tool(const std::vector<std::string>& arguments, std::string* out = nullptr, std::string* err = nullptr) {
    commands_.reset();  // the program is closed while the tool runs
    std::ostringstream o, e;
    const int status = RunRestoreTool(arguments, o, e, [] { return kRestoreTime; });
    if (out != nullptr) *out = o.str();
    if (err != nullptr) *err = e.str();
    return status;
  }
  std::string ChangeListOf(const BackupInfo& backup) const {
    return ReadText(PathFromUtf8(backup.folder) / kChangeListName);
  }
};

TEST_F(BackupTest, ImportThenUpdateEachPutBackByteForByte) {
  sample::School school = SmallSchool();
  MakeSchool(school);
  const Files empty = Tables();
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  const Files imported = Tables();
  school.learners[1].surname = "Nkosi";
  school.parents.push_back(MakeParent(4));
  school.links.push_back(Link(6, 10006, 4));
  WriteSource(school);
  commands_.reset();
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  const Files updated = Tables();
  ASSERT_NE(Differing(updated, imported), "");

  std::string listed;
  ASSERT_EQ(Tool({"--target", Utf8FromPath(target_), "--list"}, &listed), 0);
  const std::vector<BackupInfo> backups = Backups();
  ASSERT_EQ(backups.size(), 2u);
  EXPECT_EQ(backups[0].command, "Update");
  EXPECT_EQ(backups[1].command, "Import");
  // One line a backup, newest first: id, time, command, folder, added, rewritten.
  const std::string first_line = listed.substr(0, listed.find('\n'));
  EXPECT_EQ(first_line, backups[0].id + "\t" + backups[0].time + "\t" + "Update\t" + backups[0].folder + "\t" +
                            std::to_string(backups[0].added) + "\t" + std::to_string(backups[0].rewritten));
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 2);
  EXPECT_GE(backups[1].added, 5u + 3u);  // five learners and three parents at least
  EXPECT_GE(backups[0].rewritten, 1u);

  // Each list names the rows its command added or rewrote; the import's every learner.
  const std::string import_list = ChangeListOf(backups[1]);
  for (const auto& [code, row] : TargetRows("CH01MAST.DB")) {
    EXPECT_NE(import_list.find("CH01MAST.DB," + code + ",added"), std::string::npos) << code << "\n" << import_list;
  }
  const std::string update_list = ChangeListOf(backups[0]);
  EXPECT_NE(update_list.find(",rewritten,CH01_SURNAME,Surname2,Nkosi"), std::string::npos) << update_list;
  EXPECT_NE(update_list.find("\r\nCH01MAST.DB,0,5,0,0\r\nDL01MAST.DB,1,3,0,0\r\n"), std::string::npos) << update_list;

  // The Update's backup holds only what the Update replaced.
  for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(backups[0].folder))) {
    const std::string name = Utf8FromPath(entry.path().filename());
    if (name.ends_with(".DB")) {
      EXPECT_NE(imported.at(name), updated.at(name)) << name << " was kept but not changed";
    }
  }

  std::string said;
  ASSERT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", "latest"}, &said), 0);
  EXPECT_EQ(Differing(Tables(), imported), "") << said;
  EXPECT_NE(said.find("DL01MAST.DB: 0 added, 3 rewritten, 1 removed"), std::string::npos) << said;
  ASSERT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", backups[1].id}, &said), 0);
  EXPECT_EQ(Differing(Tables(), empty), "") << said;

  // Each restore is backed up in its turn: undoing both brings the Update's tables back.
  const std::vector<BackupInfo> after = Backups();
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0].command, "Restore");
  ASSERT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", after[0].id}), 0);
  EXPECT_EQ(Differing(Tables(), imported), "");
  ASSERT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", after[1].id}), 0);
  EXPECT_EQ(Differing(Tables(), updated), "");
  // The program goes on from a restored folder as from any other.
  EXPECT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(Differing(Tables(), updated), "");
}

TEST_F(BackupTest, ACommandThatChangesNothingMakesNoBackupAndARestoreOfTheSameNothing) {
  MakeSchool(SmallSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  commands_.reset();
  const Files before = TargetBytes();
  const Files imported = Tables();
  ASSERT_EQ(Click(&Commands::Button2Click), "");  // a second import finds every row there
  commands_.reset();
  EXPECT_EQ(Differing(TargetBytes(), before), "");
  // Restoring a backup onto tables it already matches changes nothing either, and says so.
  ASSERT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", "latest"}), 0);  // back to empty
  const std::string id = Backups().front().id;                                      // the restore's
  ASSERT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", id}), 0);          // imported again
  EXPECT_EQ(Differing(Tables(), imported), "");
  std::string said;
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", Backups()[1].id}, &said), 0);
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", Backups()[1].id}, &said), 0);
  EXPECT_NE(said.find("Nothing to restore"), std::string::npos) << said;
}

TEST_F(BackupTest, TheKeepSettingBoundsTheBackupsAndZeroMakesNone) {
  sample::School school = SmallSchool();
  MakeSchool(school);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  std::filesystem::create_directories(target_ / kBackupsFolderName);
  std::ofstream(target_ / kBackupsFolderName / kBackupSettingsName) << "keep = 2\r\n";
  for (const char* surname : {"A", "B", "C"}) {
    school.learners[0].surname = surname;
    WriteSource(school);
    commands_.reset();  // a new run reads the new source
    ASSERT_EQ(Click(&Commands::Button3Click), "");
  }
  const std::vector<BackupInfo> backups = Backups();
  ASSERT_EQ(backups.size(), 2u);  // the newest two, the import's gone
  EXPECT_EQ(backups[0].command, "Update");
  EXPECT_EQ(backups[1].command, "Update");

  std::ofstream(target_ / kBackupsFolderName / kBackupSettingsName) << "keep = 0\r\n";
  school.learners[0].surname = "D";
  WriteSource(school);
  commands_.reset();
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(Backups().size(), 2u);
  EXPECT_EQ(TargetRows("CH01MAST.DB").begin()->second.at("CH01_SURNAME"), "D");
}

TEST_F(BackupTest, ARestoreRefusesBadInputAndChangesNothing) {
  MakeSchool(SmallSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  const Files before = Tables();
  std::string err;
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", "19990101-000000"}, nullptr, &err), 1);
  EXPECT_NE(err.find("no backup 19990101-000000"), std::string::npos) << err;
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_ / "nowhere"), "--list"}, nullptr, &err), 1);
  EXPECT_NE(err.find("not a folder"), std::string::npos) << err;
  EXPECT_EQ(Tool({"--list"}, nullptr, &err), 2);
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_), "--list", "--restore", "latest"}), 2);
  // A backup whose list of files was tampered with is refused before any table is touched.
  const BackupInfo backup = Backups().front();
  std::ofstream(PathFromUtf8(backup.folder) / "files.txt") << "kept ../CH01MAST.DB\n";
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", "latest"}, nullptr, &err), 1);
  EXPECT_NE(err.find("not a list of kept files"), std::string::npos) << err;
  std::ofstream(PathFromUtf8(backup.folder) / "files.txt") << "kept CH01MAST.PX\n";
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", "latest"}, nullptr, &err), 1);
  EXPECT_NE(err.find("without the table"), std::string::npos) << err;
  std::ofstream(PathFromUtf8(backup.folder) / "files.txt") << "kept CH01MAST.DB\n";
  std::filesystem::remove(PathFromUtf8(backup.folder) / "CH01MAST.DB");
  EXPECT_EQ(Tool({"--target", Utf8FromPath(target_), "--restore", "latest"}, nullptr, &err), 1);
  EXPECT_NE(err.find("CH01MAST.DB"), std::string::npos) << err;
  EXPECT_EQ(Differing(Tables(), before), "");
}

TEST_F(BackupTest, APreviewWritesNothingInTheTargetAndListsWhatTheCommandThenDoes) {
  MakeSchool(SmallSchool());
  const std::filesystem::path preview = dir_ / "preview";
  const Files before = TargetBytes();
  {
    CommandEnvironment environment;
    environment.regional = regional_;
    environment.report_file = Utf8FromPath(report_);
    environment.clock = [] { return std::time_t{1796731200}; };
    environment.dry_run_folder = Utf8FromPath(preview);
    Commands previewing(form_, environment);
    form_.commands = &previewing;
    previewing.Button2Click();
    previewing.Save();
    ASSERT_EQ(previewing.dry_run_summary().size(), 4u);
    EXPECT_NE(previewing.dry_run_summary()[0].find(" added"), std::string::npos);
    form_.commands = nullptr;
  }
  EXPECT_EQ(Differing(TargetBytes(), before), "");
  EXPECT_FALSE(std::filesystem::exists(report_)) << "the preview's report belongs in its own folder";
  EXPECT_TRUE(std::filesystem::exists(preview / "Varnholt import.csv"));
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  ASSERT_EQ(Backups().size(), 1u);
  EXPECT_EQ(ReadText(preview / kChangeListName), ChangeListOf(Backups().front()));
}

}  // namespace
}  // namespace varnholt::testing
