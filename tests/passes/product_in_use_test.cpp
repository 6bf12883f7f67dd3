// The accounting product holding the target folder: its lock files or a table locked by another
// process (as a file server does for a Windows client), or on Windows open for writing, refuse every command before anything is
// written; stale lock files do not; and while a command uses a table, the product cannot lock it
// (nor, on Windows, open it for writing), even across a save.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/utf8_path.h"
#include "stores/paradox/index_creator.h"
#include "tests/passes/school_fixture.h"
#include "tools/sample_school/varnholt_schema.h"

namespace varnholt::testing {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

#ifdef _WIN32
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// `path` open for reading and writing until Stop, as the accounting product keeps its lock files
// and tables open. Windows checks sharing handle by handle, whichever process holds them, so a
// handle of ours stands in for the product's.
class ForeignLock {
 public:
  explicit ForeignLock(const std::filesystem::path& path)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ForeignLock() { Stop(); }
  bool locked() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Stop() {
    if (locked()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// Whether another program could lock a byte of `path` for writing right now, as the product does
// before it writes.
bool OtherProcessCanLock(const std::filesystem::path& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED at{};
  const bool locked = ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
  ::CloseHandle(h);  // drops the lock
  return locked;
}

// Why another program cannot open `path` for writing right now: Windows' error, or 0 when it can.
DWORD WhyNotOpenForWriting(const std::filesystem::path& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
  ::CloseHandle(h);
  return 0;
}

bool OtherProcessCanRead(const std::filesystem::path& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char byte = 0;
  DWORD read = 0;
  const bool ok = ::ReadFile(h, &byte, 1, &read, nullptr) && read == 1;
  ::CloseHandle(h);
  return ok;
}
#else
// A POSIX lock on a few bytes of `path`, held by a child process until Stop, as a file server holds
// one for a client of the accounting product.
class ForeignLock {
 public:
  explicit ForeignLock(const std::filesystem::path& path) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      int fd = ::open(path.c_str(), O_RDWR);
      flock lock{};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      lock.l_start = 0x100;  // a range somewhere in the file, not the whole of it
      lock.l_len = 4;
      const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 1 : 0;
      (void)!::write(ready[1], &ok, 1);
      ::pause();
      ::_exit(0);
    }
    char ok = 0;
    locked_ = ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
    ::close(ready[1]);
  }
  ~ForeignLock() { Stop(); }
  bool locked() const { return locked_; }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool locked_ = false;
};

// Whether another process can take a read lock on any part of `path` right now.
bool OtherProcessCanLock(const std::filesystem::path& path) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int fd = ::open(path.c_str(), O_RDONLY);
    flock lock{};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    ::_exit(fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

void WriteFile(const std::filesystem::path& path, size_t size) {
  std::ofstream out(path, std::ios::binary);
  out << std::string(size, '\x23');
}

sample::School OneLearnerSchool() {
  sample::School s;
  s.learners = {MakeLearner(1), MakeLearner(2)};
  s.parents = {MakeParent(1)};
  s.links = {Link(1, 10001, 1), Link(2, 10002, 1)};
  s.classes = {MakeClass(101, "Gr 1A", "T01")};
  return s;
}

class ProductInUseTest : public SchoolTest {
 protected:
  void SetUp() override {
    SchoolTest::SetUp();
    MakeSchool(OneLearnerSchool());
    WriteFile(target_ / "PDOXUSRS.LCK", 1024);
    WriteFile(target_ / "PARADOX.LCK", 110);
  }

  // The product's named indexes, and CH01MAST.X02/.Y02 on the learners' initials.
  void AddIndexes() {
    paradox::AddVarnholtIndexes(Utf8FromPath(target_));
    paradox::CreateSecondaryIndex(Utf8FromPath(target_ / "CH01MAST.DB"), paradox::IndexDefinition{{"CH01_INITIALS"}, false, ""});
    for (const char* name : kLearnerIndexFiles) ASSERT_TRUE(std::filesystem::exists(target_ / name)) << name;
  }

  static constexpr const char* kLearnerIndexFiles[] = {"CH01MAST.X02", "CH01MAST.Y02", "CH01MAST.XG0", "CH01MAST.YG0"};
};

TEST_F(ProductInUseTest, LockedLockFilesRefuseEveryCommandUntilLetGo) {
  for (const char* lock_file : {"PDOXUSRS.LCK", "PARADOX.LCK"}) {
    SCOPED_TRACE(lock_file);
    const auto before = TargetBytes();
    ForeignLock product(target_ / lock_file);
    ASSERT_TRUE(product.locked());
    for (auto command : {&Commands::Button2Click, &Commands::Button3Click}) {
      const std::string error = Click(command);
      EXPECT_TRUE(Contains(error, "Directory is busy.\nDirectory: ")) << error;
      EXPECT_TRUE(Contains(error, "File in use: ")) << error;
      EXPECT_TRUE(Contains(error, lock_file)) << error;
      EXPECT_TRUE(Contains(error, "Close the Varnholt accounting program on every computer")) << error;
      EXPECT_TRUE(TargetBytes() == before);
    }
    EXPECT_TRUE(form_.messages.empty());
  }
  // Let go, the files still there: the same commands finish.
  EXPECT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 2u);
  EXPECT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(form_.messages.size(), 2u);
  EXPECT_TRUE(std::filesystem::exists(target_ / "PDOXUSRS.LCK"));
}

TEST_F(ProductInUseTest, StaleLockFilesAreLeftAlone) {
  const auto lock_bytes = TargetBytes()["PDOXUSRS.LCK"];
  EXPECT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 2u);
  EXPECT_TRUE(TargetBytes()["PDOXUSRS.LCK"] == lock_bytes);
}

TEST_F(ProductInUseTest, ALockOnOneTableRefusesTheCommand) {
  const auto before = TargetBytes();
  {
    ForeignLock product(target_ / "CH01MAST.DB");
    ASSERT_TRUE(product.locked());
    const std::string error = Click(&Commands::Button2Click);
    EXPECT_TRUE(Contains(error, "Directory is busy.")) << error;
    EXPECT_TRUE(Contains(error, "CH01MAST.DB")) << error;
  }
  // The classes' tables were free, but the folder is in use: nothing is written.
  EXPECT_TRUE(TargetBytes() == before);
  EXPECT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 2u);
}

TEST_F(ProductInUseTest, ALockOrWriterOnlyOnASecondaryIndexRefusesTheCommand) {
  AddIndexes();
  const auto before = TargetBytes();
  for (const char* index_file : {"CH01MAST.X02", "CH01MAST.YG0"}) {
    SCOPED_TRACE(index_file);
    ForeignLock product(target_ / index_file);  // on Windows: open for writing
    ASSERT_TRUE(product.locked());
    const std::string error = Click(&Commands::Button2Click);
    EXPECT_TRUE(Contains(error, "Directory is busy.")) << error;
    EXPECT_TRUE(Contains(error, "File in use: ")) << error;
    EXPECT_TRUE(Contains(error, index_file)) << error;
    EXPECT_TRUE(TargetBytes() == before);
  }
  EXPECT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 2u);
}

TEST_F(ProductInUseTest, TablesAreHeldForOthersWhileACommandUsesThemOnlyAndAcrossItsSaves) {
  AddIndexes();
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  std::vector<std::string> files = {"CH01MAST.DB", "CH01MAST.PX"};
  files.insert(files.end(), std::begin(kLearnerIndexFiles), std::end(kLearnerIndexFiles));
  for (const std::string& name : files) EXPECT_TRUE(OtherProcessCanLock(target_ / name)) << name;
  const auto expect_held = [&](const char* when) {
    for (const std::string& name : files) {
      EXPECT_FALSE(OtherProcessCanLock(target_ / name)) << name << " " << when;
#ifdef _WIN32
      EXPECT_EQ(WhyNotOpenForWriting(target_ / name), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << name << " " << when;
      EXPECT_TRUE(OtherProcessCanRead(target_ / name)) << name << " " << when;
#endif
    }
  };
  TargetSession& session = components().session();
  {
    CommandScope scope(session);
    SharedTable& learners = session.OpenTable(target_.string(), "CH01MAST.DB");
    learners.Refresh();
    expect_held("once opened");
    EXPECT_TRUE(OtherProcessCanLock(target_ / "PDOXUSRS.LCK"));  // never ours to hold
    // A save renames new copies over the held files, and holds those in their turn.
    paradox::Record learner = learners.NewRecord();
    learner[0] = std::string("99999");
    learner[1] = std::string("Q");
    learners.Insert(learner);
    session.SaveAll();
    expect_held("after a save");
  }
  for (const std::string& name : files) {
    EXPECT_TRUE(OtherProcessCanLock(target_ / name)) << name;
#ifdef _WIN32
    EXPECT_EQ(WhyNotOpenForWriting(target_ / name), 0u) << name;
#endif
  }
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 3u);
  EXPECT_EQ(TargetRows("CH01MAST.DB")["99999"]["CH01_INITIALS"], "Q");
}

}  // namespace
}  // namespace varnholt::testing
