// The folder calls the engines make instead of std::filesystem: names outside ASCII, what a path
// names, one spelling per file, and folders deeper than Windows' old 260-character limit.
#include "base/os/folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/engine_error.h"
#include "base/path_text.h"
#include "tests/os/os_test_folder.h"

namespace varnholt::testing {
namespace {

using os::PathKind;

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FolderTest, NamesKindsAndSpellings) {
  OsTestFolder dir;
  WriteFile(dir.File("CH01MAST.DB"), "table");
  WriteFile(dir.File("\xC3\x86r\xC3\xB8.db"), "other");  // Ærø.db
  ASSERT_TRUE(os::CreateFolders(dir.File("sub/deeper")));
  EXPECT_EQ(Sorted(*os::FolderNames(dir.path())),
            (std::vector<std::string>{"CH01MAST.DB", "sub", "\xC3\x86r\xC3\xB8.db"}));
  EXPECT_EQ(*os::FolderNames(dir.File("sub/deeper")), std::vector<std::string>{});
  EXPECT_FALSE(os::FolderNames(dir.File("missing")).has_value());
  EXPECT_FALSE(os::FolderNames(dir.File("CH01MAST.DB")).has_value());

  EXPECT_EQ(os::KindOf(dir.File("CH01MAST.DB")), PathKind::kFile);
  EXPECT_EQ(os::KindOf(dir.File("sub")), PathKind::kFolder);
  EXPECT_EQ(os::KindOf(dir.File("missing")), PathKind::kMissing);
  EXPECT_EQ(os::KindOf(dir.File("missing/CH01MAST.DB")), PathKind::kMissing);

  // Two spellings of one file give one path, which names that file.
  const std::string canonical = os::CanonicalPath(dir.File("CH01MAST.DB"));
  EXPECT_EQ(os::CanonicalPath(dir.File("sub/../CH01MAST.DB")), canonical);
  EXPECT_EQ(NameOfPath(canonical), "CH01MAST.DB");
  EXPECT_EQ(ReadFile(canonical), "table");
}

TEST(FolderTest, ReadRenameAndRemoveByName) {
  OsTestFolder dir;
  WriteFile(dir.File("a"), "first");
  WriteFile(dir.File("b"), "second");
  std::string reason;
  const auto bytes = os::ReadWholeFile(dir.File("a"), &reason);
  ASSERT_TRUE(bytes.has_value()) << reason;
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "first");
  EXPECT_FALSE(os::ReadWholeFile(dir.File("missing"), &reason).has_value());
  EXPECT_FALSE(reason.empty());

  os::RenamePath(dir.File("a"), dir.File("b"));  // replaces b
  EXPECT_EQ(ReadFile(dir.File("b")), "first");
  EXPECT_EQ(os::KindOf(dir.File("a")), PathKind::kMissing);
  EXPECT_THROW(os::RenamePath(dir.File("a"), dir.File("c")), EngineError);

  EXPECT_TRUE(os::RemoveIfPresent(dir.File("b")));
  EXPECT_TRUE(os::RemoveIfPresent(dir.File("b")));  // already gone
  ASSERT_TRUE(os::CreateFolders(dir.File("empty")));
  ASSERT_TRUE(os::CreateFolders(dir.File("full")));
  WriteFile(dir.File("full/x"), "");
  EXPECT_TRUE(os::RemoveEmptyFolder(dir.File("empty")));
  EXPECT_FALSE(os::RemoveEmptyFolder(dir.File("full")));
  EXPECT_EQ(os::KindOf(dir.File("full/x")), PathKind::kFile);
}

// Windows refuses paths of 260 characters and more unless they are given in their long form.
TEST(FolderTest, FoldersDeeperThanTheOldWindowsLimitWork) {
  OsTestFolder dir;
  std::string deep = dir.path();
  std::vector<std::string> folders;
  while (deep.size() < 300) {
    deep = JoinPath(deep, std::string(40, 'd') + std::to_string(folders.size()));
    folders.push_back(deep);
  }
  ASSERT_TRUE(os::CreateFolders(deep));
  const std::string file = JoinPath(deep, "CLASSMAS.DB");
  WriteFile(file, "deep");
  EXPECT_EQ(os::KindOf(file), PathKind::kFile);
  EXPECT_EQ(*os::FolderNames(deep), std::vector<std::string>{"CLASSMAS.DB"});
  EXPECT_EQ(ReadFile(os::CanonicalPath(file)), "deep");
  os::RenamePath(file, file + ".new");
  std::string reason;
  ASSERT_TRUE(os::ReadWholeFile(file + ".new", &reason).has_value()) << reason;
  EXPECT_TRUE(os::RemoveIfPresent(file + ".new"));
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) EXPECT_TRUE(os::RemoveEmptyFolder(*it));
}

}  // namespace
}  // namespace varnholt::testing
