#include "stores/paradox/row_cache.h"

namespace varnholt::paradox {

void RowCache::Reset(size_t rows) {
  decoded_.clear();
  decoded_.resize(rows);
  order_.clear();
  next_ = 0;
}

const Record& RowCache::Keep(RowId row, std::unique_ptr<Record> record) {
  if (order_.size() < kDecodedRows) {
    order_.emplace_back(row, record.get());
  } else {
    auto& [oldest, held] = order_[next_];
    if (oldest < decoded_.size() && decoded_[oldest].get() == held) decoded_[oldest].reset();
    order_[next_] = {row, record.get()};
    next_ = (next_ + 1) % kDecodedRows;
  }
  decoded_[row] = std::move(record);
  return *decoded_[row];
}

}  // namespace varnholt::paradox
