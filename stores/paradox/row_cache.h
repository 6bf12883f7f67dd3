// Decoded records of the rows read most recently, so that a caller reading a row's fields one by one
// decodes the row once, while a pass over a large table does not keep a second, decoded copy of it.
#ifndef VARNHOLT_STORES_PARADOX_ROW_CACHE_H_
#define VARNHOLT_STORES_PARADOX_ROW_CACHE_H_

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt::paradox {

class RowCache {
 public:
  // Forgets everything; rows 0..rows − 1 may be kept from now on.
  void Reset(size_t rows);
  // Room for one more row (a new RowId).
  void AddRow() { decoded_.push_back(nullptr); }

  // The decoded record of `row`, or nullptr when it is not held.
  const Record* Find(RowId row) const { return decoded_[row].get(); }
  // Keeps `record` as the decoded `row` and returns it; the row read longest ago goes when the
  // cache is full. The reference stays valid until that row is forgotten or evicted.
  const Record& Keep(RowId row, std::unique_ptr<Record> record);
  // Drops the decoded `row` (its bytes changed).
  void Forget(RowId row) { decoded_[row].reset(); }

 private:
  static constexpr size_t kDecodedRows = 4096;

  std::vector<std::unique_ptr<Record>> decoded_;
  // The rows decoded last, oldest first from next_ once full; each with the record it got (the row
  // may have been decoded again since).
  std::vector<std::pair<RowId, const Record*>> order_;
  size_t next_ = 0;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_ROW_CACHE_H_
