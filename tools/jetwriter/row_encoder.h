// EncodeRow: the stored bytes of one table row.
//
// Layout: u16 column count; the fixed area (every fixed column at its offset, zeros when null);
// the variable values in order; u16 end of data; u16 offsets of the variable values, last first;
// u16 number of variable columns; the null mask (bit = column number, 1 = present; for Yes/No
// the bit is the value). A table without variable columns has only count, fixed area and mask.
#ifndef VARNHOLT_TOOLS_JETWRITER_ROW_ENCODER_H_
#define VARNHOLT_TOOLS_JETWRITER_ROW_ENCODER_H_

#include <cstdint>
#include <vector>

#include "tools/jetwriter/jet_writer.h"
#include "tools/jetwriter/long_value.h"
#include "tools/jetwriter/table_layout.h"

namespace varnholt::jet {

// Long values stay in the row while the row stays under kMaxTableRow; otherwise the largest go to
// long_values. Throws std::invalid_argument, naming table and column, for a wrong number of cells,
// a cell the column does not take (see jet_writer.h) or a row too long even so.
std::vector<uint8_t> EncodeRow(const TableLayout& layout, const std::vector<Cell>& cells,
                               LongValueWriter& long_values);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_ROW_ENCODER_H_
