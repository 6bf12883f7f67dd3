// SavedRows: the bytes each row had at the last save, kept the first time a post rewrites it, so
// that what the posts changed can be listed after them. One allocation per many rows, and the
// bytes stay where they are until Clear.
#ifndef VARNHOLT_STORES_PARADOX_SAVED_ROWS_H_
#define VARNHOLT_STORES_PARADOX_SAVED_ROWS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt::paradox {

class SavedRows {
 public:
  // Keeps `bytes` (record_size of them) for `row` unless it already has saved bytes.
  void Keep(RowId row, const uint8_t* bytes, size_t record_size);
  // The saved bytes of `row`; nullptr when no post rewrote it since the last Clear.
  const uint8_t* Find(RowId row) const;
  bool empty() const { return at_.empty(); }
  size_t size() const { return at_.size(); }
  void Clear();

 private:
  static constexpr size_t kChunkBytes = 256 * 1024;  // a chunk holds many rows; rows never span two

  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  size_t chunk_size_ = 0;
  size_t used_ = 0;  // bytes used of the last chunk
  std::unordered_map<RowId, const uint8_t*> at_;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_SAVED_ROWS_H_
