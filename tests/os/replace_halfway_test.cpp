// Windows' ReplaceFileW can remove the old file and then fail to move the new one in
// (ERROR_UNABLE_TO_MOVE_REPLACEMENT). A stand-in does exactly that here; the save must then move
// the new copy in itself, or, when it cannot, keep the ".saving" copy, the table's only one, and
// fail. Where the system renames with POSIX semantics (Windows 10 and later) ReplaceFileW is not
// reached and the tests have nothing to check.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/engine_error.h"
#include "base/os/os_file.h"
#include "base/os/replace_file_seam.h"
#include "base/os/windows_path.h"
#include "stores/paradox/table_saver.h"
#include "tests/os/os_test_folder.h"

namespace varnholt::paradox {
namespace {

using testing::OsTestFolder;

int stand_in_calls = 0;
// The new copy, held by "another program" after the halfway failure when a test asks.
bool hold_replacement = false;
HANDLE replacement_held = INVALID_HANDLE_VALUE;

// Only the table itself is replaced halfway; the save's own small files are replaced as usual.
int HalfwayReplace(const wchar_t* replaced, const wchar_t* replacement) {
  const std::wstring name = replaced;
  if (name.size() < 3 || name.compare(name.size() - 3, 3, L".DB") != 0) {
    return ::ReplaceFileW(replaced, replacement, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
  }
  ++stand_in_calls;
  if (!::DeleteFileW(replaced)) return 0;
  if (hold_replacement && replacement_held == INVALID_HANDLE_VALUE) {
    // Shares reading and writing but not deletion, so nothing can move the file.
    replacement_held = ::CreateFileW(replacement, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ::SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
  return 0;
}

class ReplaceHalfwayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stand_in_calls = 0;
    hold_replacement = false;
    os::SetReplaceFileStandInForTests(&HalfwayReplace);
    db_ = folder_.File("PUPIL.DB");
    OsFile old = OsFile::Create(db_);
    old.WriteAt(0, reinterpret_cast<const uint8_t*>("old table"), 9);
  }
  void TearDown() override {
    os::SetReplaceFileStandInForTests(nullptr);
    if (replacement_held != INVALID_HANDLE_VALUE) ::CloseHandle(replacement_held);
    replacement_held = INVALID_HANDLE_VALUE;
  }

  std::string Save(const std::string& text) {
    try {
      SaveFamily(db_, db_ + ".PX-unused", nullptr, 0, {}, [&](OsFile* f) {
        f->WriteAt(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
      });
    } catch (const EngineError& e) {
      return e.what();
    }
    return "saved";
  }

  std::string Read(const std::string& path) {
    const std::vector<uint8_t> bytes = OsFile::Open(path, false).ReadAll();
    return std::string(bytes.begin(), bytes.end());
  }

  OsTestFolder folder_;
  std::string db_;
};

TEST_F(ReplaceHalfwayTest, TheNewCopyIsMovedInByMoveFileEx) {
  const std::string result = Save("new table");
  if (stand_in_calls == 0) GTEST_SKIP() << "renamed with POSIX semantics; ReplaceFileW not reached";
  EXPECT_EQ(result, "saved");
  EXPECT_EQ(stand_in_calls, 1);
  EXPECT_EQ(Read(db_), "new table");
  EXPECT_FALSE(FileExists(db_ + ".saving"));
}

TEST_F(ReplaceHalfwayTest, WhenTheMoveFailsTooTheOldTableIsPutBackAndTheSaveFails) {
  hold_replacement = true;
  const std::string result = Save("new table");
  if (stand_in_calls == 0) GTEST_SKIP() << "renamed with POSIX semantics; ReplaceFileW not reached";
  ASSERT_NE(replacement_held, INVALID_HANDLE_VALUE);
  ::CloseHandle(replacement_held);
  replacement_held = INVALID_HANDLE_VALUE;
  EXPECT_EQ(result.rfind(db_ + ": cannot put the new copy in place", 0), 0u) << result;
  EXPECT_NE(result.find("no table was changed"), std::string::npos) << result;
  // The old file, kept under a second name before the replace, is back at the table's name.
  ASSERT_TRUE(FileExists(db_));
  EXPECT_EQ(Read(db_), "old table");
  RemoveLeftOverSaves({db_});
  EXPECT_FALSE(FileExists(db_ + ".saving"));
  EXPECT_FALSE(FileExists(db_ + ".before"));
}

}  // namespace
}  // namespace varnholt::paradox
#endif  // _WIN32
