// A save stopped among its renames (a kill on Windows, which puts the files in place one after
// another; a power cut anywhere) is finished by the next writable open; one stopped before them is
// dropped. Either way the family is whole again: as before the save, or as saved. What tells the
// two apart is the save's mark, made once every new file is whole on the disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "paradox_test_util.h"
#include "stores/paradox/index_creator.h"
#include "stores/paradox/table.h"
#include "tests/support/table_checker.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using Folder = std::map<std::string, std::string>;  // file name → bytes

Folder ReadFolder(const std::string& dir) {
  Folder out;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::ifstream in(e.path(), std::ios::binary);
    out[e.path().filename().string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void WriteFolder(const std::string& dir, const Folder& files) {
  for (const auto& [name, bytes] : files) WriteFile(dir + "/" + name, bytes);
}

void AddRows(Table* table, int from, int to) {
  for (int i = from; i < to; ++i) {
    table->Insert(testing::SmallRecord("C" + std::to_string(10000 + (i * 37) % 1000), i % 3 ? "Dube" : "Abrahams", i));
  }
}

// The files of the family a save renames, in its order; the .DB comes after them.
const char* const kRenamedBeforeTheTable[] = {"PEOPLE.X02", "PEOPLE.Y02", "PEOPLE.XG0", "PEOPLE.YG0", "PEOPLE.PX"};

class StoppedSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Before: 200 rows. Saved: 200 more, and 30 of the first changed (index entries move).
    const std::string path = work_.File("PEOPLE.DB");
    Table::Create(path, testing::SmallSchema());
    CreateSecondaryIndex(path, IndexDefinition{{"Name"}, false, ""});
    CreateSecondaryIndex(path, IndexDefinition{{"Name", "Count"}, false, "ByNameCount"});
    {
      auto table = Table::Open(path, true);
      AddRows(table.get(), 0, 200);
      table->Save();
    }
    before_ = ReadFolder(work_.path());
    {
      auto table = Table::Open(path, true);
      AddRows(table.get(), 200, 400);
      const std::vector<RowId> rows = table->Rows();
      for (size_t i = 0; i < 30; ++i) {
        Record r = table->Get(rows[i * 5]);
        r[1] = std::string("Zulu");
        table->Update(rows[i * 5], r);
      }
      table->Save();
    }
    saved_ = ReadFolder(work_.path());
    for (const char* name : kRenamedBeforeTheTable) ASSERT_NE(before_.at(name), saved_.at(name)) << name;
  }

  // The folder as a save stopped after putting `in_place` of its files in place leaves it; `marked`:
  // the save had made its mark (it always has, once its renames begin).
  Folder StoppedAfter(size_t in_place, bool marked = true) const {
    Folder files = before_;
    if (marked) files["PEOPLE.DB.renaming"] = "";
    for (size_t i = 0; i < std::size(kRenamedBeforeTheTable); ++i) {
      const std::string name = kRenamedBeforeTheTable[i];
      files[i < in_place ? name : name + ".saving"] = saved_.at(name);
    }
    files["PEOPLE.DB.saving"] = saved_.at("PEOPLE.DB");
    return files;
  }

  ScratchDir work_;
  Folder before_, saved_;
};

TEST_F(StoppedSaveTest, TheNextOpenFinishesASaveStoppedAmongItsRenames) {
  for (size_t in_place = 0; in_place <= std::size(kRenamedBeforeTheTable); ++in_place) {
    SCOPED_TRACE("files in place: " + std::to_string(in_place));
    ScratchDir dir;
    WriteFolder(dir.path(), StoppedAfter(in_place));
    {
      auto table = Table::Open(dir.File("PEOPLE.DB"), true);
      EXPECT_EQ(table->RecordCount(), 400u);
    }
    EXPECT_TRUE(ReadFolder(dir.path()) == saved_) << "not the family as saved";
    const CheckResult check = CheckTable(dir.File("PEOPLE.DB"));
    EXPECT_TRUE(check.ok()) << check.Summary();
    // The finished family takes the next save as any other.
    auto table = Table::Open(dir.File("PEOPLE.DB"), true);
    AddRows(table.get(), 400, 410);
    table->Save();
    EXPECT_EQ(table->RecordCount(), 410u);
  }
}

TEST_F(StoppedSaveTest, ATableFileRemovedByAStoppedReplaceIsPutBack) {
  // Windows' replace can remove the old .DB before it moves the new one in.
  Folder files = StoppedAfter(std::size(kRenamedBeforeTheTable));
  files.erase("PEOPLE.DB");
  ScratchDir dir;
  WriteFolder(dir.path(), files);
  { EXPECT_EQ(Table::Open(dir.File("PEOPLE.DB"), true)->RecordCount(), 400u); }
  EXPECT_TRUE(ReadFolder(dir.path()) == saved_);
  // The same for an index file: its new copy is found by its own name.
  Folder index_gone = StoppedAfter(1);
  index_gone.erase("PEOPLE.Y02");
  ScratchDir index_dir;
  WriteFolder(index_dir.path(), index_gone);
  { EXPECT_EQ(Table::Open(index_dir.File("PEOPLE.DB"), true)->RecordCount(), 400u); }
  EXPECT_TRUE(ReadFolder(index_dir.path()) == saved_);
  // Without the mark nothing says the new copy is whole: the table stays missing, the copy stays.
  files.erase("PEOPLE.DB.renaming");
  ScratchDir unmarked;
  WriteFolder(unmarked.path(), files);
  EXPECT_THROW(Table::Open(unmarked.File("PEOPLE.DB"), true), EngineError);
  EXPECT_TRUE(ReadFolder(unmarked.path()) == files);
}

TEST_F(StoppedSaveTest, NewFilesWithoutTheMarkAreNeverPutInPlace) {
  // Stopped while the new .DB was being written: the renames had not begun.
  Folder files = StoppedAfter(0, false);
  std::string& db = files.at("PEOPLE.DB.saving");
  db.resize(db.size() / 2);
  ScratchDir dir;
  WriteFolder(dir.path(), files);
  { auto table = Table::Open(dir.File("PEOPLE.DB"), true); }
  EXPECT_TRUE(ReadFolder(dir.path()) == before_);
  // A whole new .DB left from an older save, beside index files that are newer than it: without
  // the mark it is old news, and the table is never turned back to it.
  ScratchDir stale;
  WriteFolder(stale.path(), StoppedAfter(2, false));
  try {
    auto table = Table::Open(stale.File("PEOPLE.DB"), true);
  } catch (const EngineError&) {
    // the index files no longer describe the rows: refused, as it should be
  }
  const Folder after = ReadFolder(stale.path());
  EXPECT_EQ(after.at("PEOPLE.DB"), before_.at("PEOPLE.DB"));
  EXPECT_EQ(after.count("PEOPLE.DB.saving"), 0u);
  // A read-only open (another reader of the folder) leaves a stopped save alone for the writer.
  ScratchDir stopped;
  WriteFolder(stopped.path(), StoppedAfter(2));
  { auto table = Table::Open(stopped.File("PEOPLE.DB"), false); }
  EXPECT_TRUE(ReadFolder(stopped.path()) == StoppedAfter(2));
}

}  // namespace
}  // namespace varnholt::paradox
