#include "base/os/file_locks.h"

#include <gtest/gtest.h>

#include <string>

#include "base/os/os_file.h"
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

}  // namespace
}  // namespace varnholt::os
