// A virus scanner or indexer that opens a file for a moment, on Windows: replacing a table waits
// for it to let go, and a scanner that does not let go in time fails the save with an error that
// names the table, leaving the old table and no ".saving" copy.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "base/engine_error.h"
#include "base/os/os_file.h"
#include "base/os/windows_path.h"
#include "stores/paradox/table_saver.h"
#include "tests/os/os_test_folder.h"

namespace varnholt::paradox {
namespace {

using testing::OsTestFolder;
using testing::PathOf;

using testing::ReadFile;
using testing::WriteFile;

// Opens `path` as a scanner does: reading, sharing reads and writes but not deletion, so no one
// can rename over the file or rename it away until the handle is closed `for_how_long` later.
class ScannerHold {
 public:
  ScannerHold(const std::string& path, std::chrono::milliseconds for_how_long) {
    handle_ = ::CreateFileW(os::WindowsPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return;
    closer_ = std::thread([this, for_how_long] {
      std::this_thread::sleep_for(for_how_long);
      ::CloseHandle(handle_);
    });
  }
  ~ScannerHold() {
    if (closer_.joinable()) closer_.join();
  }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::thread closer_;
};

std::string SaveMessage(const std::string& db, const std::string& text) {
  try {
    SaveFamily(db, db + ".PX-unused", nullptr, 0, {}, [&](OsFile* f) {
      f->WriteAt(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    });
  } catch (const EngineError& e) {
    return e.what();
  }
  return "saved";
}

TEST(ScannerHoldTest, TheHoldIsEnforcedWithinOneProcess) {
  // What the tests below rest on: the sharing modes bind handles of the same process too (Wine
  // keeps them in its server, as Windows keeps them in the kernel).
  OsTestFolder folder;
  const std::string path = folder.File("T.DB");
  WriteFile(path, "x");
  ScannerHold hold(path, std::chrono::milliseconds(200));
  ASSERT_TRUE(hold.held());
  EXPECT_FALSE(::MoveFileExW(os::WindowsPath(path).c_str(), os::WindowsPath(path + ".away").c_str(), 0));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(ScannerHoldTest, ASaveWaitsForAShortHoldOnTheNewOrTheOldFile) {
  OsTestFolder folder;
  const std::string db = folder.File("PUPIL.DB");
  WriteFile(db, "old table");
  {
    ScannerHold on_old(db, std::chrono::milliseconds(300));
    ASSERT_TRUE(on_old.held());
    EXPECT_EQ(SaveMessage(db, "new table"), "saved");
  }
  EXPECT_EQ(ReadFile(db), "new table");

  // The new copy itself held, as a scanner does right after it was written.
  OsFile fresh = OsFile::Create(db + ".new");
  fresh.WriteAt(0, reinterpret_cast<const uint8_t*>("third"), 5);
  ASSERT_TRUE(fresh.TryLock());
  {
    ScannerHold on_new(db + ".new", std::chrono::milliseconds(300));
    ASSERT_TRUE(on_new.held());
    fresh.RenameTo(db);
  }
  EXPECT_EQ(fresh.path(), db);
  EXPECT_EQ(fresh.ReadAll(), std::vector<uint8_t>({'t', 'h', 'i', 'r', 'd'}));
  EXPECT_FALSE(OsFile::Open(db, true).TryLock());  // locked again under its new name
  EXPECT_FALSE(FileExists(db + ".new"));
}

TEST(ScannerHoldTest, AHoldThatOutlastsTheRetriesFailsTheSaveNamingTheTable) {
  OsTestFolder folder;
  const std::string db = folder.File("PUPIL.DB");
  WriteFile(db, "old table");
  const auto start = std::chrono::steady_clock::now();
  std::string message;
  {
    ScannerHold on_old(db, std::chrono::milliseconds(4000));
    ASSERT_TRUE(on_old.held());
    message = SaveMessage(db, "new table");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));  // it did wait
  EXPECT_EQ(message.rfind(db + ": cannot put the new copy in place: another program", 0), 0u) << message;
  EXPECT_NE(message.find("no table was changed"), std::string::npos) << message;
  EXPECT_EQ(ReadFile(db), "old table");
  // The old file's second name cannot go while the hold lasts (it denies deletion); the table's
  // next writable open removes it.
  RemoveLeftOverSaves({db});
  for (const auto& entry : std::filesystem::directory_iterator(PathOf(folder.path()))) {
    EXPECT_EQ(entry.path().filename(), PathOf("PUPIL.DB")) << entry.path();
  }
}

}  // namespace
}  // namespace varnholt::paradox
#endif  // _WIN32
