// KeyIndex: the rows of a table grouped by an equality key (one field's filter::ValueKey), built in
// one pass and read-only after. Each group's rows are ascending and contiguous, so a look-up hands
// out a span without copying; keys live once each in one byte arena.
#ifndef VARNHOLT_STORES_SOURCE_KEY_INDEX_H_
#define VARNHOLT_STORES_SOURCE_KEY_INDEX_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnholt {

class KeyIndex {
 public:
  // key_of(row) for rows 0 .. row_count-1, in that order; a row without a key (nullopt) is left out.
  KeyIndex(int row_count, const std::function<std::optional<std::string>(int)>& key_of);

  // The rows whose key equals `key` exactly, ascending; empty when none.
  std::span<const int> RowsWithKey(std::string_view key) const;

 private:
  struct Group {
    uint64_t hash;
    size_t key_offset;  // into keys_
    uint32_t key_size;
    uint32_t begin;  // into rows_
    uint32_t count;
  };
  static constexpr int32_t kEmpty = -1;

  // The slot holding `key`'s group, or the empty slot where it would go.
  size_t Probe(std::string_view key, uint64_t hash) const;
  std::string_view KeyOf(const Group& group) const {
    return std::string_view(keys_).substr(group.key_offset, group.key_size);
  }

  std::vector<int32_t> slots_;  // open addressing (linear probing): a group number or kEmpty
  std::vector<Group> groups_;   // in order of first appearance
  std::string keys_;
  std::vector<int> rows_;  // group by group
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_SOURCE_KEY_INDEX_H_
