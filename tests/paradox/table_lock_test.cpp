// The table lock on its own: a writer's lock refuses other writers, whether another process of
// ours or a second holder in this one (the lock binds each open file, in one process as across
// processes, so a second holder here meets it as another copy of the program would), never
// readers; it follows a file a saver renamed over the table; and a change is seen by the header's
// bytes when the file's stamp cannot tell it.
#include "stores/paradox/table_lock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "paradox_test_util.h"
#include "stores/paradox/header.h"
#include "tests/support/second_process.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

// What the second process is asked: "held:<path>" (its open must be refused) or "free:<path>".
constexpr char kProbeVariable[] = "VARNHOLT_TABLE_LOCK_PROBE";
constexpr char kProbeTest[] = "TableLockTest.SecondProcessAsksForTheLock";
// The second process leaves this beside the table once it has asked, so that a run that never
// saw the variable (and skipped) does not pass for one that asked.
constexpr char kProbedMark[] = ".probed";

struct Family {
  explicit Family(const ScratchDir& dir, const std::string& name = "T")
      : db(dir.File(name + ".DB")), px(dir.File(name + ".PX")), mb(dir.File(name + ".MB")) {
    Table::Create(db, testing::SmallSchema());
  }
  TableLock Lock(bool writable) const { return TableLock(db, px, mb, writable); }
  std::string db, px, mb;
};

std::string LockError(const std::string& db, bool writable) {
  try {
    TableLock lock(db, "", "", writable);
    return "";
  } catch (const EngineError& e) {
    return e.what();
  }
}

bool AskInSecondProcess(const std::string& expect, const std::string& db) {
  fs::remove(db + kProbedMark);
  const bool passed =
      varnholt::testing::RunTestInSecondProcess(VARNHOLT_TEST_PROGRAM, kProbeTest, kProbeVariable, expect + ":" + db);
  return passed && fs::exists(db + kProbedMark);
}

TEST(TableLockTest, SecondProcessAsksForTheLock) {
  const char* probe = std::getenv(kProbeVariable);
  if (probe == nullptr) GTEST_SKIP() << "run by the tests beside it, in a process of its own";
  const std::string asked(probe);
  const std::string expect = asked.substr(0, asked.find(':'));
  const std::string db = asked.substr(asked.find(':') + 1);
  const std::string error = LockError(db, true);
  if (expect == "held") {
    EXPECT_NE(error.find(db + ": the table is in use"), std::string::npos) << error;
  } else {
    EXPECT_EQ(error, "");
  }
  EXPECT_EQ(LockError(db, false), "");  // reading is never refused
  std::ofstream(db + kProbedMark) << expect;
}

TEST(TableLockTest, AnotherProcessIsRefusedWhileWeHoldTheLockAndLetInOnceWeLetGo) {
  ScratchDir dir;
  const Family family(dir);
  EXPECT_TRUE(AskInSecondProcess("free", family.db));
  {
    const TableLock held = family.Lock(true);
    EXPECT_TRUE(AskInSecondProcess("held", family.db));
  }
  EXPECT_TRUE(AskInSecondProcess("free", family.db));
}

TEST(TableLockTest, ASecondWriterInThisProcessIsRefusedAndReadersNever) {
  ScratchDir dir;
  const Family family(dir);
  {
    const TableLock reader = family.Lock(false);
    const TableLock other_reader = family.Lock(false);
    const TableLock writer = family.Lock(true);  // readers hold no lock
    const std::string error = LockError(family.db, true);
    EXPECT_EQ(error, family.db + ": the table is in use (another program has it open for writing)");
    EXPECT_EQ(LockError(family.db, false), "");
  }
  EXPECT_EQ(LockError(family.db, true), "");  // closing let go of it
}

TEST(TableLockTest, TheLockFollowsAFileRenamedOverTheTable) {
  ScratchDir dir;
  const Family family(dir);
  const Family fresh(dir, "NEW");
  TableLock first = family.Lock(true);
  // A saver puts a new copy in place; the lock on the old file no longer guards the table.
  OsFile copy = OsFile::Open(fresh.db, true);
  copy.RenameTo(family.db);
  copy = OsFile();
  std::optional<TableLock> second(family.Lock(true));
  // The first holder follows the new file, and meets the second's lock on it.
  try {
    first.FollowReplaced();
    ADD_FAILURE() << "followed into a held file";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
  }
  second.reset();
  first.FollowReplaced();
  EXPECT_EQ(first.file().Stamp().inode, StampOf(family.db).inode);
  EXPECT_NE(LockError(family.db, true).find("in use"), std::string::npos);
}

TEST(TableLockTest, AChangeIsSeenInTheHeaderWhenTheStampCannotTellIt) {
  ScratchDir dir;
  const Family family(dir);
  TableLock lock = family.Lock(false);
  lock.Remember();
  EXPECT_FALSE(lock.Changed(true, true));

  // Another program rewrites a counter in place, and the file's time reads as before.
  const fs::file_time_type when = fs::last_write_time(family.db);
  const uint8_t records[4] = {1, 0, 0, 0};
  {
    OsFile other = OsFile::Open(family.db, true);
    other.WriteAt(kHeaderNumRecords, records, sizeof records);
  }
  fs::last_write_time(family.db, when);
  ASSERT_EQ(StampOf(family.db).size, fs::file_size(family.db));
  EXPECT_TRUE(lock.Changed(false, false));
  lock.Remember();
  EXPECT_FALSE(lock.Changed(true, true));

  // The .PX counts for a keyed table only, the .MB only when memo fields read it.
  std::ofstream(family.px, std::ios::binary | std::ios::app) << "x";
  EXPECT_FALSE(lock.Changed(false, false));
  EXPECT_TRUE(lock.Changed(true, false));
  lock.Remember();
  std::ofstream(family.mb, std::ios::binary) << "memo";
  EXPECT_FALSE(lock.Changed(true, false));
  EXPECT_TRUE(lock.Changed(false, true));
}

}  // namespace
}  // namespace varnholt::paradox
