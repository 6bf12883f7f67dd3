#include "base/os/file_locks.h"

#include <gtest/gtest.h>

#include <string>

#include "base/os/os_file.h"
#ifdef _WIN32
#include <windows.h>

#include "base/os/windows_path.h"
#endif
#include "tests/os/os_test_folder.h"

namespace varnholt::os {
namespace {

using testing::OsTestFolder;

void WriteFile(const std::string& path, const std::string& text) {
  paradox::OsFile f = paradox::OsFile::Create(path);
  f.WriteAt(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(FileLocksTest, AWholeFileLockIsSeenByOthersAndKeepsNoReaderOut) {
  OsTestFolder folder;
  const std::string db = folder.File("CH01MAST.DB");
  WriteFile(db, "records");
  EXPECT_FALSE(HasForeignLock(db));
  EXPECT_FALSE(HasForeignLock(folder.File("missing.DB")));

  // The table lock our own copies take is not a byte-range lock others see.
  paradox::OsFile table = paradox::OsFile::Open(db, true);
  ASSERT_TRUE(table.TryLock());
  EXPECT_FALSE(HasForeignLock(db));

  WholeFileLock lock;
  ASSERT_TRUE(lock.TryTake(db));
  EXPECT_TRUE(lock.held());
  EXPECT_TRUE(HasForeignLock(db));  // another open file's lock counts as foreign
  EXPECT_TRUE(HasForeignLock(db));  // and asking neither took nor dropped one
  EXPECT_EQ(table.ReadAt(0, 7).size(), 7u);
  EXPECT_EQ(paradox::OsFile::Open(db, false).ReadAll().size(), 7u);

  WholeFileLock moved = std::move(lock);
  EXPECT_FALSE(lock.held());
  EXPECT_TRUE(moved.held());
  moved.Release();
  EXPECT_FALSE(HasForeignLock(db));

  WholeFileLock nothing;
  EXPECT_TRUE(nothing.TryTake(folder.File("missing.DB")));  // nothing to lock is no refusal
  EXPECT_FALSE(nothing.held());
}

#ifdef _WIN32
// A handle as another program opens the file. Windows checks sharing handle by handle, whichever
// process holds them, so one of ours stands in for the other program's.
HANDLE OpenAsOther(const std::string& path, DWORD access) {
  return ::CreateFileW(WindowsPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(FileLocksTest, AnotherProgramWritingAFileIsSeenByItsHandle) {
  OsTestFolder folder;
  const std::string lck = folder.File("PARADOX.LCK");
  WriteFile(lck, "lock");
  EXPECT_FALSE(HasForeignWriter(lck));
  EXPECT_FALSE(HasForeignWriter(folder.File("missing.LCK")));

  HANDLE reader = OpenAsOther(lck, GENERIC_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(HasForeignWriter(lck));  // readers are no sign of use
  HANDLE writer = OpenAsOther(lck, GENERIC_READ | GENERIC_WRITE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(HasForeignWriter(lck));
  EXPECT_FALSE(HasForeignLock(lck));  // open without a lock: only its handle tells
  // Looking kept nothing open: the writer still writes, and once it is gone the file is free.
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(writer, "LOCK", 4, &written, nullptr));
  ::CloseHandle(writer);
  EXPECT_FALSE(HasForeignWriter(lck));
  ::CloseHandle(reader);
}

TEST(FileLocksTest, AHeldFileRefusesOtherLocksButNotReadersNorOurSave) {
  OsTestFolder folder;
  const std::string db = folder.File("CH01MAST.DB");
  WriteFile(db, "records");
  WholeFileLock lock;
  ASSERT_TRUE(lock.TryTake(db));
  EXPECT_FALSE(HasForeignWriter(db));  // our hold only reads

  HANDLE other = OpenAsOther(db, GENERIC_READ | GENERIC_WRITE);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  char byte = 0;
  DWORD moved = 0;
  EXPECT_TRUE(::ReadFile(other, &byte, 1, &moved, nullptr));
  EXPECT_EQ(byte, 'r');
  // The lock the product takes before it writes is refused. (Whether a plain write is refused too
  // is Windows' to say: Wine does not bind one handle's writes by another's lock in one process.)
  OVERLAPPED at{};
  EXPECT_FALSE(::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
  ::CloseHandle(other);
  EXPECT_EQ(paradox::OsFile::Open(db, false).ReadAll().size(), 7u);

  // Our save renames a new copy over the held file; the hold does not stand in its way.
  WriteFile(db + ".new", "fresh copy");
  paradox::OsFile fresh = paradox::OsFile::Open(db + ".new", true);
  fresh.RenameTo(db);
  EXPECT_EQ(paradox::OsFile::Open(db, false).ReadAll().size(), 10u);
  lock.Release();
}
#endif

}  // namespace
}  // namespace varnholt::os
