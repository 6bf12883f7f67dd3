// The commands keep open tables, indexes, decoded rows and file stamps across thousands of posts
// and statements. These tests hold the tables that a whole import and a whole update write against
// a slow path that keeps nothing: a fresh open of the table for every single row, inserted or
// rewritten by paradox::Table itself and saved at once. Both must leave the same bytes on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "stores/paradox/table.h"
#include "tests/passes/school_fixture.h"
#include "tools/sample_school/school.h"
#include "tools/sample_school/target_tables.h"

namespace varnholt::testing {
namespace {

namespace fs = std::filesystem;

const char* const kTables[] = {"CH01MAST", "DL01MAST", "DL00CODE", "CLASSMAS"};

sample::School SmallSchool() {
  sample::SchoolOptions options;
  options.learners = 240;
  options.parents = 180;
  options.classes = 30;
  options.seed = 7;
  return sample::GenerateSchool(options);
}

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Every record of a table the commands hold open, in RowId order: for a table they filled from
// empty, the order of its posts (a fresh open would number the rows in key order instead).
std::vector<paradox::Record> RecordsInRowOrder(paradox::Table& table) {
  std::vector<paradox::Record> records;
  std::vector<paradox::RowId> rows = table.Rows();
  std::sort(rows.begin(), rows.end());
  for (paradox::RowId row : rows) records.push_back(table.Get(row));
  return records;
}

void CopyTableFamily(const fs::path& from_dir, const fs::path& to_dir, const std::string& stem) {
  fs::create_directories(to_dir);
  for (const char* ext : {".DB", ".PX"}) {
    fs::copy_file(from_dir / (stem + ext), to_dir / (stem + ext), fs::copy_options::overwrite_existing);
  }
}

void ExpectSameFamily(const fs::path& fast_dir, const fs::path& slow_dir, const std::string& stem) {
  for (const char* ext : {".DB", ".PX"}) {
    EXPECT_TRUE(Bytes(fast_dir / (stem + ext)) == Bytes(slow_dir / (stem + ext)))
        << stem << ext << " differs from the row-by-row reference";
  }
}

class PerfEquivalenceTest : public SchoolTest {};

TEST_F(PerfEquivalenceTest, ImportWritesWhatRowByRowInsertsWrite) {
  sample::School school = SmallSchool();
  MakeSchool(school);
  const fs::path empty = dir_ / "empty";
  for (const char* stem : kTables) CopyTableFamily(target_, empty, stem);

  // Two presses: the first stops half-way through the learners, the second finds those and adds
  // the rest, so look-ups of present rows and inserts both run.
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  std::map<std::string, std::vector<paradox::Record>> posted;
  for (const char* stem : kTables) {
    posted[stem] = RecordsInRowOrder(
        components().session().OpenTable(target_.string(), std::string(stem) + ".DB").table());
  }
  commands_.reset();  // closes the tables

  const fs::path slow = dir_ / "slow";
  size_t total = 0;
  for (const char* stem : kTables) {
    CopyTableFamily(empty, slow, stem);
    const std::vector<paradox::Record>& records = posted[stem];
    total += records.size();
    for (const paradox::Record& record : records) {
      auto table = paradox::Table::Open((slow / (std::string(stem) + ".DB")).string(), /*writable=*/true);
      table->Insert(record);
      table->Save();
    }
    ExpectSameFamily(target_, slow, stem);
  }
  EXPECT_GE(total, school.learners.size() + school.parents.size());
}

TEST_F(PerfEquivalenceTest, UpdateWritesWhatRowByRowRewritesWrite) {
  sample::School school = SmallSchool();
  WriteSource(school);
  fs::create_directories(target_);
  sample::WriteTargetTables(target_.string(), school, /*holds=*/1.0);
  const fs::path held = dir_ / "held";
  for (const char* stem : kTables) CopyTableFamily(target_, held, stem);

  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(form_.messages, std::vector<std::string>{"Finished"});
  std::map<std::string, std::vector<paradox::Record>> written;
  for (const char* stem : kTables) {
    written[stem] = RecordsInRowOrder(
        components().session().OpenTable(target_.string(), std::string(stem) + ".DB").table());
  }
  commands_.reset();

  const fs::path slow = dir_ / "slow";
  size_t changed = 0;
  for (const char* stem : kTables) {
    CopyTableFamily(held, slow, stem);
    const fs::path slow_db = slow / (std::string(stem) + ".DB");
    for (const paradox::Record& record : written[stem]) {
      auto table = paradox::Table::Open(slow_db.string(), /*writable=*/true);
      std::vector<paradox::RowId> same_key = table->FindEqual(0, record[0]);
      ASSERT_EQ(same_key.size(), 1u) << stem << ": the update added or lost a row";
      if (table->Get(same_key[0]) != record) {
        table->Update(same_key[0], record);
        table->Save();
        ++changed;
      }
    }
    ExpectSameFamily(target_, slow, stem);
  }
  EXPECT_GT(changed, school.learners.size() / 2);  // the update rewrote rows, not nothing
}

}  // namespace
}  // namespace varnholt::testing
