// Memo and OLE values: a 12-byte reference in the row (u24 length, a flag byte, u32 page << 8 |
// row), the data following it, in one LVAL row, or in a chain of LVAL rows.
#ifndef VARNHOLT_STORES_JET_LONG_VALUE_READER_H_
#define VARNHOLT_STORES_JET_LONG_VALUE_READER_H_

#include <cstdint>
#include <span>
#include <vector>

#include "stores/jet/page_reader.h"

namespace varnholt {

class JetLongValueReader {
 public:
  explicit JetLongValueReader(const JetPageReader& pages);

  // The value's bytes (at most its stated length) into `out`; nothing for a field shorter than a
  // reference. Throws JetFormatError for an unknown kind, or a row it names that is not there.
  void Read(std::span<const uint8_t> field, std::vector<uint8_t>* out);

 private:
  // The row at `pointer` (page << 8 | row), a view into page_.
  std::span<const uint8_t> Row(uint32_t pointer);

  const JetPageReader& pages_;
  std::vector<uint8_t> page_;
  uint32_t page_number_ = 0;  // 0: none loaded
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_LONG_VALUE_READER_H_
