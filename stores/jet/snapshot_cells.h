// SnapshotCells: a source table's values as read, compactly: one 16-byte cell per value, row after
// row, and one byte arena holding every text of the table. The reader appends; the snapshot reads.
#ifndef VARNHOLT_STORES_JET_SNAPSHOT_CELLS_H_
#define VARNHOLT_STORES_JET_SNAPSHOT_CELLS_H_

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "stores/jet/source_value.h"

namespace varnholt {

class SnapshotCells {
 public:
  // Texts of one table together are bounded by 32-bit offsets: a reader that finds Texts() grown
  // past this stops (the file is damaged) instead of adding the cell.
  static constexpr size_t kMaxTextBytes = std::numeric_limits<uint32_t>::max() - 1;

  void Reserve(size_t cells, size_t text_bytes) {
    cells_.reserve(cells);
    texts_.reserve(text_bytes);
  }
  size_t size() const { return cells_.size(); }

  void AddNull() { cells_.push_back(Cell{0, 0, kNullSize}); }
  void AddInteger(int64_t integer) { cells_.push_back(Cell{integer, 0, 0}); }
  void AddReal(double real) { cells_.push_back(Cell{std::bit_cast<int64_t>(real), 0, 0}); }
  // A text is appended to Texts() first; AddText then takes what was appended since `start` (the
  // size of Texts() before). REQUIRES: Texts().size() <= kMaxTextBytes.
  std::string& Texts() { return texts_; }
  void AddText(size_t start) { cells_.push_back(Cell{0, static_cast<uint32_t>(start), TextSize(start)}); }
  // A Decimal: its text as stored and its value.
  void AddDecimal(size_t start, double real) {
    cells_.push_back(Cell{std::bit_cast<int64_t>(real), static_cast<uint32_t>(start), TextSize(start)});
  }

  // The value of cell `index`, a view into this object. `real`: the column holds reals (see
  // SourceType), so the number is read as `real`, else as `integer`.
  SourceValue Value(size_t index, bool real) const {
    const Cell& cell = cells_[index];
    SourceValue value;
    if (cell.text_size == kNullSize) return value;
    value.is_null = false;
    if (real) {
      value.real = std::bit_cast<double>(cell.number);
    } else {
      value.integer = cell.number;
    }
    value.text = std::string_view(texts_.data() + cell.text_offset, cell.text_size);
    return value;
  }

 private:
  static constexpr uint32_t kNullSize = std::numeric_limits<uint32_t>::max();
  struct Cell {
    int64_t number;  // an integer, or a real's bits
    uint32_t text_offset;
    uint32_t text_size;  // kNullSize: the value is null
  };
  static_assert(sizeof(Cell) == 16);

  uint32_t TextSize(size_t start) const { return static_cast<uint32_t>(texts_.size() - start); }

  std::vector<Cell> cells_;
  std::string texts_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_SNAPSHOT_CELLS_H_
