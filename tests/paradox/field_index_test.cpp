#include "stores/paradox/field_index.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace varnholt::paradox {
namespace {

std::vector<FieldIndex::Row> Rows(const FieldIndex& index, uint64_t hash) {
  std::vector<FieldIndex::Row> rows;
  index.Find(hash, &rows);
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Rows sharing a hash (duplicate keys, or different keys that collide) stay apart from the rows of
// a neighbouring hash, and removing one leaves the others findable past its slot.
TEST(FieldIndexTest, SharedHashesAndRemovalsKeepEveryOtherRowFindable) {
  FieldIndex index;
  for (FieldIndex::Row r = 0; r < 5; ++r) index.Add(7, r);  // all probe from the same slot
  index.Add(8, 100);                                         // lands behind them
  index.Remove(7, 2);
  index.Remove(7, 42);  // not held: nothing happens
  EXPECT_EQ(Rows(index, 7), (std::vector<FieldIndex::Row>{0, 1, 3, 4}));
  EXPECT_EQ(Rows(index, 8), (std::vector<FieldIndex::Row>{100}));
  EXPECT_TRUE(Rows(index, 9).empty());
  EXPECT_EQ(index.size(), 5u);
}

// A table that keeps changing (rows moved by updates: removed and added again) reuses its room
// instead of filling up with removed slots, and loses no row on the way.
TEST(FieldIndexTest, ManyUpdatesLoseNoRow) {
  FieldIndex index;
  index.Reserve(1000);
  for (FieldIndex::Row r = 0; r < 1000; ++r) index.Add(FieldIndex::Hash(std::to_string(r)), r);
  for (int round = 0; round < 50; ++round) {
    for (FieldIndex::Row r = 0; r < 1000; r += 3) {
      index.Remove(FieldIndex::Hash(std::to_string(r)), r);
      index.Add(FieldIndex::Hash(std::to_string(r)), r);
    }
  }
  ASSERT_EQ(index.size(), 1000u);
  for (FieldIndex::Row r = 0; r < 1000; ++r) {
    ASSERT_EQ(Rows(index, FieldIndex::Hash(std::to_string(r))), std::vector<FieldIndex::Row>{r}) << r;
  }
}

}  // namespace
}  // namespace varnholt::paradox
