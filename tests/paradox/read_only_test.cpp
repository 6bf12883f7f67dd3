// A table the OS will not let this program write (a read-only file, as Windows marks it or as
// file rights make it) is refused in the engine's form, naming the table, and still reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/utf8_path.h"
#include "paradox_test_util.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;

TEST(ParadoxReadOnly, AReadOnlyTableIsRefusedNamingItAndStillReads) {
  testing::ScratchDir dir;
  const std::string path = dir.File("R.DB");
  Table::Create(path, testing::SmallSchema());
  {
    auto t = Table::Open(path, true);
    t->Insert(testing::SmallRecord("A1", "first"));
    t->Save();
  }
  constexpr fs::perms kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(PathFromUtf8(path), kWrite, fs::perm_options::remove);
  std::string refusal;
  try {
    Table::Open(path, true);
  } catch (const EngineError& e) {
    refusal = e.what();
  }
  const size_t rows = Table::Open(path, false)->RecordCount();
  fs::permissions(PathFromUtf8(path), fs::perms::owner_write, fs::perm_options::add);
  if (refusal.empty()) GTEST_SKIP() << "this user may write a read-only file (root ignores file rights)";
  EXPECT_EQ(refusal, "Table is read only.\nTable: " + path);
  EXPECT_EQ(rows, 1u);
}

}  // namespace
}  // namespace varnholt::paradox
