// LongValueWriter: stores Memo and OLE data that does not stay inside its row on the table's LVAL
// pages, and returns the 12-byte reference the row holds instead. Data that fits one LVAL row is
// one row (reference type "single"); longer data is a chain of rows, each naming the next.
#ifndef VARNHOLT_TOOLS_JETWRITER_LONG_VALUE_H_
#define VARNHOLT_TOOLS_JETWRITER_LONG_VALUE_H_

#include <array>
#include <cstdint>
#include <span>

#include "stores/jet/jet_format.h"
#include "tools/jetwriter/row_page.h"

namespace varnholt::jet {

using LongValueRef = std::array<uint8_t, jet_format::kLongValueReferenceSize>;

// The reference for data kept in the row right after it.
LongValueRef InlineLongValueRef(size_t length);

class LongValueWriter {
 public:
  explicit LongValueWriter(PageFile& file);

  // REQUIRES: data.size() <= kLongValueMaxLength.
  LongValueRef Store(std::span<const uint8_t> data);
  void Flush() { rows_.Flush(); }

 private:
  RowStream rows_;
};

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_LONG_VALUE_H_
