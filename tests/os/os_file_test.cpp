#include "base/os/os_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "stores/paradox/table.h"
#include "tests/os/os_test_folder.h"
#ifdef _WIN32
#include <windows.h>

#include "base/os/windows_path.h"
#endif

namespace varnholt::os {
namespace {

using testing::OsTestFolder;
using testing::PathOf;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

using testing::ReadFile;
using testing::WriteFile;

TEST(OsFileTest, PositionedReadsAndWritesSizeAndStampInAFolderOutsideAscii) {
  OsTestFolder folder;
  const std::string path = folder.File("\xC3\x98stergaard \xE2\x82\xAC.DB");  // Østergaard €.DB
  {
    OsFile f = OsFile::Create(path);
    const std::string text = "0123456789";
    f.WriteAt(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    f.WriteAt(20, reinterpret_cast<const uint8_t*>("XY"), 2);  // past the end: a gap of zeros
    EXPECT_EQ(f.ReadAt(8, 4), Bytes(std::string("89\0\0", 4)));
    EXPECT_EQ(f.ReadAt(18, 10), Bytes(std::string("\0\0XY", 4)));  // fewer at the end
    EXPECT_TRUE(f.ReadAt(100, 4).empty());
    f.Truncate(5);
    EXPECT_EQ(f.ReadAll(), Bytes("01234"));
    f.SyncData();
    EXPECT_EQ(f.Stamp().size, 5u);
  }
  EXPECT_TRUE(std::filesystem::exists(PathOf(path)));
  EXPECT_TRUE(FileExists(path));
  const FileStamp stamp = StampOf(path);
  EXPECT_TRUE(stamp.exists);
  EXPECT_EQ(stamp.size, 5u);
  EXPECT_EQ(stamp, OsFile::Open(path, false).Stamp());
  EXPECT_FALSE(StampOf(folder.File("missing.DB")).exists);
  EXPECT_FALSE(FileExists(folder.File("missing.DB")));
}

TEST(OsFileTest, PathsLongerThanTheOldWindowsLimitAndRelativeOnesWork) {
  OsTestFolder folder;
  std::string deep = folder.path();
  for (int i = 0; i < 6; ++i) {
    deep += "/" + std::string(50, static_cast<char>('a' + i));
    std::filesystem::create_directory(PathOf(deep));
  }
  const std::string path = deep + "/" + std::string(40, 'z') + ".DB";
  ASSERT_GT(path.size(), 300u);
  WriteFile(path, "long");
  EXPECT_EQ(ReadFile(path), "long");
  EXPECT_EQ(StampOf(path).size, 4u);
  OsFile::RemoveFile(path);
  EXPECT_FALSE(FileExists(path));

  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(PathOf(folder.path()));
  WriteFile("relative.DB", "here");
  std::filesystem::current_path(before);
  EXPECT_EQ(ReadFile(folder.File("relative.DB")), "here");
}

TEST(OsFileTest, ReplacingAFileThatIsOpenKeepsTheOpenCopyReadable) {
  OsTestFolder folder;
  const std::string db = folder.File("TABLE.DB");
  const std::string px = folder.File("TABLE.PX");
  WriteFile(db, "old table");
  WriteFile(px, "old index");
  OsFile reader = OsFile::Open(db, false);  // another user of the table, still reading
  const FileStamp before = StampOf(db);

  // The new copies stay open, and the table's one locked, across the renames.
  OsFile new_db = OsFile::Create(db + ".new");
  new_db.WriteAt(0, reinterpret_cast<const uint8_t*>("new table"), 9);
  ASSERT_TRUE(new_db.TryLock());
  OsFile new_px = OsFile::Create(px + ".new");
  new_px.WriteAt(0, reinterpret_cast<const uint8_t*>("new index"), 9);
  OsFile::RenameBoth(&new_px, px, &new_db, db, db);
  EXPECT_EQ(new_db.path(), db);
  EXPECT_EQ(new_px.path(), px);
  EXPECT_EQ(new_db.ReadAll(), Bytes("new table"));
  EXPECT_FALSE(OsFile::Open(db, true).TryLock());
  EXPECT_EQ(ReadFile(db), "new table");
  EXPECT_EQ(ReadFile(px), "new index");
  EXPECT_FALSE(FileExists(db + ".new"));
  EXPECT_NE(StampOf(db).inode, before.inode);  // how a reader learns the table was replaced
  EXPECT_EQ(reader.ReadAll(), Bytes("old table"));

  new_db = OsFile();
  OsFile again = OsFile::Create(db + ".new");
  again.WriteAt(0, reinterpret_cast<const uint8_t*>("third"), 5);
  again.RenameTo(db);
  EXPECT_EQ(again.path(), db);
  EXPECT_EQ(ReadFile(db), "third");

  OsFile::RemoveFile(folder.File("never-there.DB"));  // missing: nothing to do
  OsFile::SyncFolderOf(db);
  OsFile gone = OsFile::Create(folder.File("gone.PX"));
  OsFile::RemoveFile(folder.File("gone.PX"));  // still open: POSIX and Windows alike let it go
  OsFile last = OsFile::Create(db + ".new");
  try {
    OsFile::RenameBoth(&gone, px, &last, db, db);
    ADD_FAILURE() << "renamed a removed file";
  } catch (const EngineError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(db + ": cannot put the new copy in place (", 0), 0u) << e.what();
  }
  EXPECT_EQ(ReadFile(px), "new index");
  EXPECT_EQ(ReadFile(db), "third");  // the second rename is not tried either
  EXPECT_EQ(last.path(), db + ".new");
}

TEST(OsFileTest, FailuresNameTheFile) {
  OsTestFolder folder;
  const std::string missing = folder.File("MISSING.DB");
  const auto message = [](auto&& call) -> std::string {
    try {
      call();
    } catch (const EngineError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(message([&] { OsFile::Open(missing, false); }).rfind(missing + ": cannot open (", 0), 0u);
  EXPECT_EQ(message([&] { OsFile::Open(folder.path(), true); }).rfind(folder.path() + ": ", 0), 0u);
  WriteFile(folder.File("A.DB"), "a");
  EXPECT_EQ(message([&] { OsFile::Create(folder.File("A.DB"), "TABLE.DB"); }),
            message([&] { OsFile::Create(folder.File("A.DB"), "TABLE.DB"); }));
  EXPECT_EQ(message([&] { OsFile::Create(folder.File("A.DB"), "TABLE.DB"); })
                .rfind("TABLE.DB: cannot write a new copy in its folder (", 0),
            0u);
  EXPECT_EQ(message([&] { OsFile::OpenToReplace(missing, true); }).rfind(missing + ": cannot open", 0), 0u);
#ifdef _WIN32
  // The handle kept reads only, so a table marked read-only is refused by its mark.
  const std::string marked = folder.File("A.DB");
  ASSERT_TRUE(::SetFileAttributesW(os::WindowsPath(marked).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(message([&] { OsFile::OpenToReplace(marked, true); }).rfind(marked + ": cannot open for writing (", 0), 0u);
  EXPECT_EQ(OsFile::OpenToReplace(marked, false).ReadAll(), Bytes("a"));
  ::SetFileAttributesW(os::WindowsPath(marked).c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

TEST(OsFileTest, TheTableLockKeepsOurCopiesApartButNotReadersOrWriters) {
  OsTestFolder folder;
  const std::string db = folder.File("LOCKED.DB");
  WriteFile(db, "0123456789");
  OsFile first = OsFile::Open(db, true);
  ASSERT_TRUE(first.TryLock());
  OsFile second = OsFile::Open(db, true);
  EXPECT_FALSE(second.TryLock());
  // Windows byte-range locks bind reads and writes; this one must not.
  EXPECT_EQ(second.ReadAt(0, 4), Bytes("0123"));
  second.WriteAt(0, reinterpret_cast<const uint8_t*>("ab"), 2);
  EXPECT_EQ(first.ReadAt(0, 4), Bytes("ab23"));
  first = OsFile();  // closing drops the lock
  EXPECT_TRUE(second.TryLock());
}

}  // namespace
}  // namespace varnholt::os
