// A save stopped between its renames (a kill on Windows, which puts the files in place one after
// another; a power cut anywhere) is finished by the next writable open; one stopped before its
// renames began is dropped. Either way the family is whole again: as before the save, or as saved.
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

  // The folder as a save stopped after putting `in_place` of its files in place leaves it.
  Folder StoppedAfter(size_t in_place) const {
    Folder files = before_;
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

TEST_F(StoppedSaveTest, TheNextOpenFinishesASaveWhoseRenamesHadBegunAndDropsOneWhoseHadNot) {
  for (size_t in_place = 0; in_place <= std::size(kRenamedBeforeTheTable); ++in_place) {
    SCOPED_TRACE("files in place: " + std::to_string(in_place));
    ScratchDir dir;
    WriteFolder(dir.path(), StoppedAfter(in_place));
    const size_t expected_rows = in_place == 0 ? 200 : 400;
    {
      auto table = Table::Open(dir.File("PEOPLE.DB"), true);
      EXPECT_EQ(table->RecordCount(), expected_rows);
    }
    EXPECT_TRUE(ReadFolder(dir.path()) == (in_place == 0 ? before_ : saved_)) << "not the family as it was or as saved";
    const CheckResult check = CheckTable(dir.File("PEOPLE.DB"));
    EXPECT_TRUE(check.ok()) << check.Summary();
    // The finished family takes the next save as any other.
    auto table = Table::Open(dir.File("PEOPLE.DB"), true);
    AddRows(table.get(), 400, 410);
    table->Save();
    EXPECT_EQ(table->RecordCount(), expected_rows + 10);
  }
}

TEST_F(StoppedSaveTest, ANewTableFileCutShortIsNeverPutInPlace) {
  // Stopped while the new .DB was being written: the renames had not begun, nothing is finished.
  Folder files = StoppedAfter(0);
  std::string& db = files.at("PEOPLE.DB.saving");
  db.resize(db.size() / 2);
  ScratchDir dir;
  WriteFolder(dir.path(), files);
  { auto table = Table::Open(dir.File("PEOPLE.DB"), true); }
  EXPECT_TRUE(ReadFolder(dir.path()) == before_);
  // A read-only open (another reader of the folder) leaves a stopped save alone for the writer.
  ScratchDir stopped;
  WriteFolder(stopped.path(), StoppedAfter(2));
  { auto table = Table::Open(stopped.File("PEOPLE.DB"), false); }
  EXPECT_TRUE(ReadFolder(stopped.path()) == StoppedAfter(2));
}

}  // namespace
}  // namespace varnholt::paradox
