#include "stores/paradox/saved_rows.h"

#include <algorithm>
#include <cstring>

namespace varnholt::paradox {

void SavedRows::Keep(RowId row, const uint8_t* bytes, size_t record_size) {
  if (at_.count(row) != 0) return;
  if (chunks_.empty() || used_ + record_size > chunk_size_) {
    chunk_size_ = std::max(kChunkBytes, record_size);
    chunks_.push_back(std::make_unique<uint8_t[]>(chunk_size_));
    used_ = 0;
  }
  uint8_t* kept = chunks_.back().get() + used_;
  std::memcpy(kept, bytes, record_size);
  used_ += record_size;
  at_.emplace(row, kept);
}

const uint8_t* SavedRows::Find(RowId row) const {
  const auto it = at_.find(row);
  return it == at_.end() ? nullptr : it->second;
}

void SavedRows::Clear() {
  at_.clear();
  chunks_.clear();
  chunk_size_ = 0;
  used_ = 0;
}

}  // namespace varnholt::paradox
