#include "stores/source/key_index.h"

#include <bit>

namespace varnholt {

namespace {

uint64_t HashOf(std::string_view key) { return std::hash<std::string_view>()(key); }

}  // namespace

KeyIndex::KeyIndex(int row_count, const std::function<std::optional<std::string>(int)>& key_of) {
  if (row_count <= 0) return;
  const size_t rows = static_cast<size_t>(row_count);
  // At most half full even when every key is distinct: probe runs stay short.
  slots_.assign(std::bit_ceil(2 * rows), kEmpty);
  std::vector<int32_t> group_of_row(rows, kEmpty);
  size_t keyed_rows = 0;
  for (int row = 0; row < row_count; ++row) {
    std::optional<std::string> key = key_of(row);
    if (!key) continue;
    const uint64_t hash = HashOf(*key);
    const size_t slot = Probe(*key, hash);
    if (slots_[slot] == kEmpty) {
      slots_[slot] = static_cast<int32_t>(groups_.size());
      groups_.push_back(Group{hash, keys_.size(), static_cast<uint32_t>(key->size()), 0, 0});
      keys_ += *key;
    }
    ++groups_[slots_[slot]].count;
    group_of_row[row] = slots_[slot];
    ++keyed_rows;
  }
  // Each group gets its run of rows_; rows are placed in ascending order, so each run is ascending.
  uint32_t begin = 0;
  for (Group& group : groups_) {
    group.begin = begin;
    begin += group.count;
  }
  rows_.resize(keyed_rows);
  std::vector<uint32_t> next(groups_.size());
  for (size_t g = 0; g < groups_.size(); ++g) next[g] = groups_[g].begin;
  for (int row = 0; row < row_count; ++row) {
    if (group_of_row[row] != kEmpty) rows_[next[group_of_row[row]]++] = row;
  }
}

size_t KeyIndex::Probe(std::string_view key, uint64_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const int32_t group = slots_[slot];
    if (group == kEmpty) return slot;
    if (groups_[group].hash == hash && KeyOf(groups_[group]) == key) return slot;
  }
}

std::span<const int> KeyIndex::RowsWithKey(std::string_view key) const {
  if (slots_.empty()) return {};
  const int32_t group = slots_[Probe(key, HashOf(key))];
  if (group == kEmpty) return {};
  return std::span<const int>(rows_).subspan(groups_[group].begin, groups_[group].count);
}

}  // namespace varnholt
