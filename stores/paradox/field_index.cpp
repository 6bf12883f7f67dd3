#include "stores/paradox/field_index.h"

#include <algorithm>
#include <functional>

namespace varnholt::paradox {

uint64_t FieldIndex::Hash(std::string_view key) {
  // libstdc++'s string hash is 64 bits wide on the platforms we build for; mixing keeps the low
  // bits (the probe start) well spread for keys that differ only at their ends.
  uint64_t h = std::hash<std::string_view>()(key);
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

void FieldIndex::Reserve(size_t rows) {
  size_t wanted = 16;
  while (wanted < rows * 2) wanted *= 2;
  if (wanted > slots_.size()) Rehash(wanted);
}

void FieldIndex::Rehash(size_t slot_count) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(slot_count, Slot{});
  live_ = 0;
  taken_ = 0;
  for (const Slot& s : old) {
    if (s.row != kEmpty && s.row != kRemoved) Add(s.hash, s.row);
  }
}

void FieldIndex::Add(uint64_t hash, Row row) {
  if ((taken_ + 1) * 2 > slots_.size()) {
    // Mostly removed slots: the same size, cleaned; else twice the size.
    Rehash(live_ * 4 > slots_.size() || slots_.empty() ? std::max<size_t>(slots_.size() * 2, 16) : slots_.size());
  }
  for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
    Slot& s = slots_[i];
    if (s.row == kEmpty) {
      s = Slot{hash, row};
      ++live_;
      ++taken_;
      return;
    }
  }
}

void FieldIndex::Remove(uint64_t hash, Row row) {
  if (slots_.empty()) return;
  for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
    Slot& s = slots_[i];
    if (s.row == kEmpty) return;
    if (s.row == row && s.hash == hash) {
      s.row = kRemoved;
      --live_;
      return;
    }
  }
}

void FieldIndex::Find(uint64_t hash, std::vector<Row>* rows) const {
  if (slots_.empty()) return;
  for (size_t i = hash & Mask();; i = (i + 1) & Mask()) {
    const Slot& s = slots_[i];
    if (s.row == kEmpty) return;
    if (s.hash == hash && s.row != kRemoved) rows->push_back(s.row);
  }
}

}  // namespace varnholt::paradox
