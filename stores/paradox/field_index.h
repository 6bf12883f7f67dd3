// FieldIndex: the rows of a table by the value of one field, for equality lookups.
//
// It holds a 64-bit hash of each row's key and the row, in one open-addressed array: no key is
// stored a second time and no row costs a heap block of its own, so building, keeping up and
// dropping the index of a large table stay cheap. Different keys can share a hash: the caller
// confirms each row a lookup yields against its own key.
#ifndef VARNHOLT_STORES_PARADOX_FIELD_INDEX_H_
#define VARNHOLT_STORES_PARADOX_FIELD_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace varnholt::paradox {

class FieldIndex {
 public:
  using Row = uint32_t;

  static uint64_t Hash(std::string_view key);

  // Makes room for `rows` entries without regrowing.
  void Reserve(size_t rows);
  // REQUIRES: (hash, row) is not held yet.
  void Add(uint64_t hash, Row row);
  // Drops (hash, row); nothing when it is not held.
  void Remove(uint64_t hash, Row row);
  // Appends to `rows` every row held with `hash`, in no particular order.
  void Find(uint64_t hash, std::vector<Row>* rows) const;

  size_t size() const { return live_; }

 private:
  static constexpr Row kEmpty = 0xFFFFFFFF;
  static constexpr Row kRemoved = 0xFFFFFFFE;
  struct Slot {
    uint64_t hash = 0;
    Row row = kEmpty;
  };

  size_t Mask() const { return slots_.size() - 1; }
  void Rehash(size_t slot_count);

  std::vector<Slot> slots_;  // a power of two in size, at most 1/2 taken (removed slots count)
  size_t live_ = 0;
  size_t taken_ = 0;  // live and removed slots
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_FIELD_INDEX_H_
