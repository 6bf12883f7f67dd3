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

using testing::WriteFile;

TEST(FileLocksTest, AWholeFileLockIsSeenByOthersAndKeepsNoReaderOut) {
  OsTestFolder folder;
  const std::string db = folder.File("CH01MAST.DB");
  WriteFile(db, "records");
  EXPECT_FALSE(HasForeignLock(db));
  EXPECT_FALSE(HasForeignLock(folder.File("missing.DB")));

  // The table lock our own copies take is not a byte-range lock others see, and the handle it is
  // taken on lets a hold be taken beside it.
  os::OsFile table = os::OsFile::OpenToReplace(db, true);
  ASSERT_TRUE(table.TryLock());
  EXPECT_FALSE(HasForeignLock(db));

  WholeFileLock lock;
  ASSERT_TRUE(lock.TryTake(db));
  EXPECT_TRUE(lock.held());
  EXPECT_TRUE(HasForeignLock(db));  // another open file's lock counts as foreign
  EXPECT_TRUE(HasForeignLock(db));  // and asking neither took nor dropped one
  EXPECT_EQ(table.ReadAt(0, 7).size(), 7u);
  EXPECT_EQ(os::OsFile::Open(db, false).ReadAll().size(), 7u);

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

TEST(FileLocksTest, AHeldFileRefusesOtherWritersButNotReadersNorOurSave) {
  OsTestFolder folder;
  const std::string db = folder.File("CH01MAST.DB");
  WriteFile(db, "records");
  WholeFileLock lock;
  ASSERT_TRUE(lock.TryTake(db));
  EXPECT_FALSE(HasForeignWriter(db));  // our hold only reads

  // Asking to write is refused at the open, as Windows refuses it to the accounting product.
  EXPECT_EQ(OpenAsOther(db, GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  HANDLE other = OpenAsOther(db, GENERIC_READ);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  char byte = 0;
  DWORD moved = 0;
  EXPECT_TRUE(::ReadFile(other, &byte, 1, &moved, nullptr));
  EXPECT_EQ(byte, 'r');
  // The lock the product takes before it writes is refused too.
  OVERLAPPED at{};
  EXPECT_FALSE(::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
  ::CloseHandle(other);
  // A reader that denies writers itself gets in as well.
  other = ::CreateFileW(WindowsPath(db).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(other, INVALID_HANDLE_VALUE);
  ::CloseHandle(other);
  EXPECT_EQ(os::OsFile::Open(db, false).ReadAll().size(), 7u);

  // Our save renames a new copy over the held file; the hold does not stand in its way, and the
  // copy, once in place, is held again beside the handle that put it there.
  WriteFile(db + ".new", "fresh copy");
  os::OsFile fresh = os::OsFile::Open(db + ".new", true);
  fresh.RenameTo(db);
  EXPECT_EQ(os::OsFile::Open(db, false).ReadAll().size(), 10u);
  ASSERT_TRUE(lock.TryTake(db));
  EXPECT_EQ(OpenAsOther(db, GENERIC_WRITE), INVALID_HANDLE_VALUE);
  lock.Release();
  other = OpenAsOther(db, GENERIC_WRITE);
  EXPECT_NE(other, INVALID_HANDLE_VALUE);

  // A file another program may write is not held, and holding it is refused.
  WholeFileLock refused;
  EXPECT_FALSE(refused.TryTake(db));
  EXPECT_FALSE(refused.held());
  ::CloseHandle(other);
  EXPECT_TRUE(refused.TryTake(db));
}
#endif

}  // namespace
}  // namespace varnholt::os
