// A re-import that finds nothing to add leaves the target as the product's engine laid it out:
// a last block written short and a .PX whose blocks are listed out of block-number order (as the
// genuine ZIPCODES table has them) stay byte for byte, mtime included.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>

#include "stores/paradox/block.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/header.h"
#include "tests/passes/school_fixture.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/table_checker.h"
#include "tests/support/file_bytes.h"

namespace varnholt::testing {
namespace {

namespace fs = std::filesystem;
using paradox::BlockOffset;
using paradox::BlockView;


// Cuts the .DB after the records of its last block, as a writer that writes only the used part of
// the last block leaves it.
void WriteLastBlockShort(const fs::path& db) {
  std::vector<uint8_t> bytes = FileBytes(db);
  const paradox::Header h = paradox::ParseHeader(bytes, db.string());
  const size_t last = BlockOffset(h.header_size, h.block_size, h.file_blocks);
  const BlockView v(bytes.data() + last, h.record_size);
  const size_t used = paradox::kBlockHeaderSize + static_cast<size_t>(v.count()) * h.record_size;
  ASSERT_LT(used, static_cast<size_t>(h.block_size)) << "the last block is full: nothing to cut";
  bytes.resize(last + used);
  WriteBytes(db, bytes);
}

// Swaps .PX blocks 2 and 3 (contents, links, the entries that point to them and the root), so that
// the list of blocks runs 1 → 3 → 2 → 4 … with the tree unchanged.
void ListIndexBlocksOutOfOrder(const fs::path& px) {
  std::vector<uint8_t> bytes = FileBytes(px);
  const paradox::Header h = paradox::ParseHeader(bytes, px.string());
  ASSERT_GE(h.file_blocks, 4);
  const int key = h.record_size - paradox::kIndexEntryTrailer;
  auto block = [&](uint16_t b) { return BlockView(bytes.data() + BlockOffset(h.header_size, h.block_size, b), h.record_size); };
  auto swapped = [](uint16_t b) -> uint16_t { return b == 2 ? 3 : b == 3 ? 2 : b; };
  std::vector<uint16_t> upper;  // blocks above level 1, by their old numbers
  std::vector<uint16_t> level{h.index_root};
  for (int l = h.index_levels; l > 1; --l) {
    std::vector<uint16_t> below;
    for (uint16_t b : level) {
      upper.push_back(b);
      for (int i = 0; i < block(b).count(); ++i) {
        below.push_back(static_cast<uint16_t>(GetSortableInt(block(b).record(i) + key, 2)));
      }
    }
    level = below;
  }
  std::swap_ranges(block(2).data(), block(2).data() + h.block_size, block(3).data());
  for (uint16_t b : upper) {
    BlockView v = block(swapped(b));
    for (int i = 0; i < v.count(); ++i) {
      uint8_t* child = v.record(i) + key;
      PutSortableInt(child, 2, swapped(static_cast<uint16_t>(GetSortableInt(child, 2))));
    }
  }
  for (uint16_t b = 1; b <= h.file_blocks; ++b) {
    BlockView v = block(b);
    v.set_next(swapped(v.next()));
    v.set_prev(swapped(v.prev()));
  }
  PutLe16(bytes.data() + paradox::kHeaderIndexRoot, swapped(h.index_root));
  WriteBytes(px, bytes);
}

TEST_F(SchoolTest, ReimportLeavesAShortLastBlockAndAnIndexListedOutOfOrderAsTheyAre) {
  sample::School s;
  for (int n = 1; n <= 1201; ++n) s.learners.push_back(MakeLearner(n));
  s.classes = {MakeClass(101, "Gr 1A", "T01")};
  MakeSchool(s);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  const fs::path db = target_ / "CH01MAST.DB";
  WriteLastBlockShort(db);
  ListIndexBlocksOutOfOrder(target_ / "CH01MAST.PX");
  const paradox::CheckResult check = paradox::CheckTable(db.string());
  ASSERT_TRUE(check.ok()) << check.Summary();  // unusual, but valid
  ASSERT_EQ(check.records, 1201u);
  if (paradox::testing::HavePxlib()) {
    std::string error;
    EXPECT_EQ(paradox::testing::ReadWithPxlib(db.string(), &error).size(), 1201u);
    EXPECT_EQ(error, "");
  }
  const auto then = fs::file_time_type::clock::now() - std::chrono::hours(1);
  std::map<std::string, fs::file_time_type> mtimes;
  for (const auto& e : fs::directory_iterator(target_)) {
    if (e.is_directory()) continue;  // the backups, which a change would add to
    fs::last_write_time(e.path(), then);
    // Read back: a file system may keep the time coarser than the clock gives it (whole seconds
    // through MinGW's C library).
    mtimes[e.path().filename().string()] = fs::last_write_time(e.path());
  }
  const auto bytes = TargetBytes();

  commands_.reset();  // a new run of the program
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetBytes(), bytes);
  for (const auto& e : fs::directory_iterator(target_)) {
    if (e.is_directory()) continue;
    EXPECT_TRUE(fs::last_write_time(e.path()) == mtimes[e.path().filename().string()]) << e.path();
  }
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 1201u);

  // One more learner: only the blocks on its path change; the .PX keeps its root, its blocks and
  // their list, and the .DB every block before the last.
  const std::vector<uint8_t> px_before = FileBytes(target_ / "CH01MAST.PX");
  const std::vector<uint8_t> db_before = FileBytes(db);
  s.learners.push_back(MakeLearner(1202));
  WriteSource(s);
  commands_.reset();
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  const std::vector<uint8_t> px_after = FileBytes(target_ / "CH01MAST.PX");
  const paradox::Header before = paradox::ParseHeader(px_before, "before");
  const paradox::Header after = paradox::ParseHeader(px_after, "after");
  EXPECT_EQ(after.index_root, before.index_root);
  ASSERT_EQ(after.file_blocks, before.file_blocks);
  int changed = 0;
  for (uint16_t b = 1; b <= before.file_blocks; ++b) {
    const size_t at = BlockOffset(before.header_size, before.block_size, b);
    const bool same = std::equal(px_before.begin() + at, px_before.begin() + at + before.block_size,
                                 px_after.begin() + at);
    changed += same ? 0 : 1;
    EXPECT_EQ(std::vector<uint8_t>(px_before.begin() + at, px_before.begin() + at + 4),
              std::vector<uint8_t>(px_after.begin() + at, px_after.begin() + at + 4)) << "links of " << b;
  }
  EXPECT_EQ(changed, before.index_levels);  // the last leaf and the root above it
  const paradox::Header db_header = paradox::ParseHeader(db_before, "db");
  const size_t last = BlockOffset(db_header.header_size, db_header.block_size, db_header.file_blocks);
  const std::vector<uint8_t> db_after = FileBytes(db);
  EXPECT_TRUE(std::equal(db_before.begin() + db_header.header_size, db_before.begin() + last,
                         db_after.begin() + db_header.header_size));
  EXPECT_TRUE(paradox::CheckTable(db.string()).ok()) << paradox::CheckTable(db.string()).Summary();
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 1202u);
}

}  // namespace
}  // namespace varnholt::testing
