// Bad target folders and tables: each ends the command with one error that names what is wrong,
// leaves the files as they were when nothing had been written, and the program goes on. The class
// tables are opened and written first, so a fault in the learner or parent master leaves the
// classes imported; those cases check that what was written is whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "base/byte_coding.h"
#include "stores/paradox/header.h"
#include "stores/paradox/table.h"
#include "tests/support/table_checker.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tests/reliability/bad_input_support.h"
#include "tools/sample_school/target_tables.h"

namespace varnholt::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTables[] = {"CLASSMAS.DB", "DL00CODE.DB", "CH01MAST.DB", "DL01MAST.DB"};

// The class tables are opened before anything is written.
bool OpenedBeforeAnyWrite(const std::string& table) { return table == "CLASSMAS.DB" || table == "DL00CODE.DB"; }
// The class codes are written first of all.
bool WrittenFirst(const std::string& table) { return table == "DL00CODE.DB"; }

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string PxOf(const std::string& db) { return db.substr(0, db.size() - 3) + ".PX"; }

class BadTargetTest : public BadInputTest {
 protected:
  void SetUp() override {
    BadInputTest::SetUp();
    sample::SchoolOptions options;
    options.learners = 60;
    options.parents = 45;
    options.classes = 6;
    school_ = sample::GenerateSchool(options);
    WriteSource(school_);
    fs::create_directories(target_);
    sample::WriteTargetTables(target_.string(), school_, 0.5);
  }

  // Every table that exists passes the checker and opens in our engine.
  void ExpectTablesWhole() {
    for (const char* name : kTables) {
      if (!fs::exists(target_ / name)) continue;
      const auto check = paradox::CheckTable((target_ / name).string());
      EXPECT_TRUE(check.ok()) << name << ": " << check.Summary();
    }
  }

  // Puts back a sound target in the same folder and clicks again: the command finishes.
  void ExpectFinishesOnceMended() {
    fs::remove_all(target_);
    fs::create_directories(target_);
    sample::WriteTargetTables(target_.string(), school_, 0.5);
    EXPECT_EQ(Click(&Commands::Button2Click), "");
    EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 60u);
  }

  sample::School school_;
};

TEST_F(BadTargetTest, MissingFolder) {
  fs::remove_all(target_);
  const std::string error = ExpectRefused({target_.string()}, false);
  EXPECT_FALSE(fs::exists(target_)) << "the folder was created";
  ExpectSameAgain(error);
  ExpectFinishesOnceMended();
}

TEST_F(BadTargetTest, MissingTables) {
  for (const char* name : kTables) {
    SCOPED_TRACE(name);
    fs::remove_all(target_);
    fs::create_directories(target_);
    sample::WriteTargetTables(target_.string(), school_, 0.5);
    fs::remove(target_ / name);
    fs::remove(target_ / PxOf(name));
    commands_.reset();
    const std::string error = ExpectRefused({name}, OpenedBeforeAnyWrite(name));
    EXPECT_FALSE(fs::exists(target_ / name)) << "the table was created";
    ExpectTablesWhole();
    ExpectSameAgain(error);
  }
  ExpectFinishesOnceMended();
}

TEST_F(BadTargetTest, TruncatedTables) {
  for (const char* name : kTables) {
    const std::string good = ReadBytes(target_ / name);
    const size_t header_size = GetLe16(good.data() + paradox::kHeaderHeaderSize);
    // Inside the header, after the header, and through the first record of the first block.
    for (size_t size : {size_t{40}, header_size, header_size + 6 + 10}) {
      SCOPED_TRACE(std::string(name) + " cut to " + std::to_string(size));
      if (size >= good.size()) continue;
      fs::remove_all(target_);
      fs::create_directories(target_);
      sample::WriteTargetTables(target_.string(), school_, 0.5);
      WriteBytes(target_ / name, good.substr(0, size));
      commands_.reset();
      const std::string error = ExpectRefused({name}, OpenedBeforeAnyWrite(name));
      EXPECT_EQ(ReadBytes(target_ / name), good.substr(0, size)) << "the damaged table was written";
      ExpectSameAgain(error);
    }
  }
}

TEST_F(BadTargetTest, ShortLastBlockHoldingEveryRecordIsTaken) {
  // A killed writer that was extending the file leaves its last block short; when every record the
  // block counts is there, nothing is lost and the table is taken.
  const std::string good = ReadBytes(target_ / "CLASSMAS.DB");
  WriteBytes(target_ / "CLASSMAS.DB", good.substr(0, good.size() - 700));
  EXPECT_EQ(Click(&Commands::Button2Click), "");
  ExpectTablesWhole();
  EXPECT_EQ(TargetRows("CLASSMAS.DB").size(), 6u);
}

TEST_F(BadTargetTest, GarbageHeaders) {
  std::mt19937 rng(3);
  for (const char* name : kTables) {
    SCOPED_TRACE(name);
    fs::remove_all(target_);
    fs::create_directories(target_);
    sample::WriteTargetTables(target_.string(), school_, 0.5);
    std::string bytes = ReadBytes(target_ / name);
    for (size_t i = 0; i < 0x58; ++i) bytes[i] = static_cast<char>(rng());
    WriteBytes(target_ / name, bytes);
    commands_.reset();
    const std::string error = ExpectRefused({name}, OpenedBeforeAnyWrite(name));
    EXPECT_EQ(ReadBytes(target_ / name), bytes);
    ExpectSameAgain(error);
  }
}

TEST_F(BadTargetTest, IndexOfAnotherTableIsRebuilt) {
  // The .PX only mirrors the .DB, so a wrong one is rebuilt from the blocks rather than refused.
  fs::copy_file(target_ / "DL01MAST.PX", target_ / "CH01MAST.PX", fs::copy_options::overwrite_existing);
  EXPECT_EQ(Click(&Commands::Button2Click), "");
  ExpectTablesWhole();
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 60u);
}

TEST_F(BadTargetTest, StaleIndexIsRebuilt) {
  // The .PX of an earlier state of the same table.
  const std::string old_px = ReadBytes(target_ / "CH01MAST.PX");
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  WriteBytes(target_ / "CH01MAST.PX", old_px);
  commands_.reset();
  EXPECT_EQ(Click(&Commands::Button3Click), "");
  ExpectTablesWhole();
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 60u);
}

TEST_F(BadTargetTest, FieldsOfUnexpectedTypes) {
  for (auto [table, field] : {std::pair{"DL00CODE.DB", "Dl00_DESCRIPTION"}, std::pair{"CLASSMAS.DB", "CL01_TEACHER"},
                              std::pair{"CH01MAST.DB", "CH01_SURNAME"}, std::pair{"DL01MAST.DB", "DL01_PHONE1"}}) {
    SCOPED_TRACE(field);
    fs::remove_all(target_);
    fs::create_directories(target_);
    for (auto [name, schema] : paradox::VarnholtSchemas()) {
      if (name == table) {
        for (auto& f : schema.fields) {
          if (f.name == field) {
            f.type = paradox::FieldType::kLong;
            f.size = 4;
          }
        }
      }
      paradox::Table::Create((target_ / name).string(), schema);
    }
    commands_.reset();
    const std::string error = ExpectRefused({field}, WrittenFirst(table));
    ExpectTablesWhole();
    ExpectSameAgain(error);
  }
}

// A second process holding a table open for writing, as another running copy of the program does.
class Holder {
 public:
  explicit Holder(const fs::path& table) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      try {
        auto held = paradox::Table::Open(table.string(), true);
        const char ready = 'r';
        if (write(fds[1], &ready, 1) != 1) _exit(1);
        pause();
      } catch (...) {
      }
      _exit(1);
    }
    close(fds[1]);
    char ready = 0;
    holding_ = read(fds[0], &ready, 1) == 1;
    close(fds[0]);
  }
  ~Holder() { Release(); }
  bool holding() const { return holding_; }
  void Release() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  bool holding_ = false;
};

TEST_F(BadTargetTest, TableHeldByAnotherRunningCopy) {
  for (const char* name : kTables) {
    SCOPED_TRACE(name);
    commands_.reset();  // the program holds every table it opened until it ends
    Holder holder(target_ / name);
    ASSERT_TRUE(holder.holding());
    const std::string error = ExpectRefused({name}, OpenedBeforeAnyWrite(name));
    ExpectSameAgain(error);
    holder.Release();
    EXPECT_EQ(Click(&Commands::Button2Click), "");
  }
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 60u);
  ExpectTablesWhole();
}

TEST_F(BadTargetTest, TableHeldByAnotherRunningCopyDuringUpdate) {
  // The update reaches the class tables through its statements, after its own insert pass.
  for (const char* name : kTables) {
    SCOPED_TRACE(name);
    commands_.reset();
    Holder holder(target_ / name);
    ASSERT_TRUE(holder.holding());
    ExpectRefused({name, "in use"}, false, &Commands::Button3Click);
    holder.Release();
    ExpectTablesWhole();
    EXPECT_EQ(Click(&Commands::Button3Click), "");
  }
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 60u);
}

// ---- Through press: the message box, and faults that need a process of their own.

class PressTargetTest : public BadTargetTest {
 protected:
  PressResult Press(const std::vector<std::string>& captions, const std::function<bool()>& in_child = {}) {
    return RunPress(source_, target_, dir_ / "press", captions, in_child);
  }
};

TEST_F(PressTargetTest, OneBoxPerFailedClickAndTheProgramGoesOn) {
  Holder holder(target_ / "CLASSMAS.DB");
  ASSERT_TRUE(holder.holding());
  const auto before = TargetBytes();
  const PressResult run = Press({"IMPORT INTO VARNHOLT", "IMPORT INTO VARNHOLT"});
  ASSERT_TRUE(run.exited) << "signal " << run.signal;
  EXPECT_EQ(run.exit_code, 0);
  ASSERT_EQ(run.boxes.size(), 2u);
  EXPECT_TRUE(Contains(run.boxes[0], "CLASSMAS.DB") && Contains(run.boxes[0], "in use")) << run.boxes[0];
  EXPECT_EQ(run.boxes[1], run.boxes[0]);
  EXPECT_TRUE(TargetBytes() == before);
  holder.Release();
  EXPECT_EQ(Press({"IMPORT INTO VARNHOLT"}).boxes, std::vector<std::string>{"Finished"});
}

// Runs `in_child` as user nobody; false when privileges cannot be dropped.
bool BecomeNobody() { return setgid(65534) == 0 && setuid(65534) == 0; }

class ReadOnlyTest : public PressTargetTest {
 protected:
  void SetUp() override {
    PressTargetTest::SetUp();
    // Root ignores permission bits, so press runs as nobody there; the folders must let it in.
    if (geteuid() == 0) {
      const pid_t probe = fork();
      if (probe == 0) _exit(BecomeNobody() ? 0 : 1);
      int status = 0;
      waitpid(probe, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        skip_ = "running as root without the right to become another user, so permission bits cannot be tested";
        return;
      }
      as_nobody_ = BecomeNobody;
    }
    fs::permissions(dir_, fs::perms::all);
    fs::create_directories(dir_ / "press" / "c");
    fs::create_directories(dir_ / "press" / "cwd");
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "press")) fs::permissions(entry, fs::perms::all);
    fs::permissions(dir_ / "press", fs::perms::all);
    fs::permissions(source_, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    for (const auto& entry : fs::directory_iterator(target_)) fs::permissions(entry, fs::perms::all);
    fs::permissions(target_, fs::perms::all);
  }
  std::function<bool()> as_nobody_;
  std::string skip_;
};

TEST_F(ReadOnlyTest, ReadOnlyTable) {
  if (!skip_.empty()) GTEST_SKIP() << skip_;
  fs::permissions(target_ / "CLASSMAS.DB", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto before = TargetBytes();
  const PressResult run = Press({"IMPORT INTO VARNHOLT", "IMPORT INTO VARNHOLT"}, as_nobody_);
  ASSERT_TRUE(run.exited) << "signal " << run.signal;
  ASSERT_EQ(run.boxes.size(), 2u);
  // In the engine's form, naming the table.
  EXPECT_EQ(run.boxes[0].rfind("Table is read only. Table: ", 0), 0u) << run.boxes[0];
  EXPECT_TRUE(Contains(run.boxes[0], "CLASSMAS.DB")) << run.boxes[0];
  EXPECT_EQ(run.boxes[1], run.boxes[0]);
  EXPECT_TRUE(TargetBytes() == before);
}

TEST_F(ReadOnlyTest, ReadOnlyFolder) {
  if (!skip_.empty()) GTEST_SKIP() << skip_;
  // The tables themselves are writable, but a save writes its new copy beside them: refused in the
  // engine's form, naming the folder and each table once, nothing changed, and once the folder is
  // writable the rerun finishes.
  fs::permissions(target_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const auto before = TargetBytes();
  PressResult run = Press({"IMPORT INTO VARNHOLT"}, as_nobody_);
  ASSERT_TRUE(run.exited) << "signal " << run.signal;
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].rfind("Permission denied. Directory: ", 0), 0u) << run.boxes[0];
  EXPECT_TRUE(Contains(run.boxes[0], "CH01MAST.DB Table: ")) << run.boxes[0];
  EXPECT_EQ(run.boxes[0].find("Permission denied.", 1), std::string::npos) << run.boxes[0];
  EXPECT_TRUE(TargetBytes() == before);
  fs::permissions(target_, fs::perms::all);
  run = Press({"IMPORT INTO VARNHOLT"}, as_nobody_);
  ASSERT_EQ(run.boxes, std::vector<std::string>{"Finished"});
  ExpectTablesWhole();
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 60u);
}

class DiskFullTest : public PressTargetTest {};

TEST_F(DiskFullTest, AWriteBeyondTheLimitFailsWithAMessageAndARerunFinishes) {
  // An empty target and a larger school, so the tables must grow past the limit.
  sample::SchoolOptions options;
  options.learners = 1500;
  options.parents = 1100;
  options.classes = 20;
  school_ = sample::GenerateSchool(options);
  WriteSource(school_);
  fs::remove_all(target_);
  fs::create_directories(target_);
  sample::WriteTargetTables(target_.string(), school_, 0);
  static constexpr rlim_t kLimit = 64 * 1024;
  const PressResult run = Press({"IMPORT INTO VARNHOLT", "IMPORT INTO VARNHOLT"}, [] {
    rlimit l{kLimit, kLimit};
    return setrlimit(RLIMIT_FSIZE, &l) == 0;
  });
  ASSERT_TRUE(run.exited) << "press was ended by signal " << run.signal;
  EXPECT_EQ(run.exit_code, 0);
  ASSERT_EQ(run.boxes.size(), 2u);
  EXPECT_TRUE(Contains(run.boxes[0], "CH01MAST")) << run.boxes[0];
  EXPECT_NE(run.boxes[0], "Finished");

  // What was written is whole once opened for writing, and a run without the limit completes it.
  for (const char* name : kTables) paradox::Table::Open((target_ / name).string(), true);
  ExpectTablesWhole();
  const PressResult rerun = Press({"IMPORT INTO VARNHOLT"});
  ASSERT_EQ(rerun.boxes, std::vector<std::string>{"Finished"});
  ExpectTablesWhole();
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 1500u);
}

}  // namespace
}  // namespace varnholt::testing
