// Pages made of rows: table data pages, LVAL pages (long values) and the pages that hold usage-map
// rows share one shape. A page header, a table of row offsets growing forward, and the rows packed
// from the page end backward (row 0 last in the page).
#ifndef VARNHOLT_TOOLS_JETWRITER_ROW_PAGE_H_
#define VARNHOLT_TOOLS_JETWRITER_ROW_PAGE_H_

#include <cstdint>
#include <span>
#include <vector>

#include "tools/jetwriter/page_file.h"

namespace varnholt::jet {

class RowPageBuilder {
 public:
  // owner: the TDEF page whose rows these are (0 for usage maps). lval: mark an LVAL page.
  RowPageBuilder(uint32_t owner, bool lval);

  bool Fits(size_t row_size) const;
  // REQUIRES: Fits(row.size()). Returns the row's number on the page.
  int Add(std::span<const uint8_t> row);
  bool empty() const { return row_count_ == 0; }
  // The finished page; the builder starts a new, empty page.
  std::vector<uint8_t> Take();

 private:
  uint32_t owner_;
  bool lval_;
  std::vector<uint8_t> page_;
  int row_count_ = 0;
  size_t row_start_;  // where the last added row begins
};

// Rows appended to a run of pages of one kind. A page is allocated when its first row arrives and
// written when the next row does not fit, or at Flush.
class RowStream {
 public:
  RowStream(PageFile& file, uint32_t owner, bool lval);

  // REQUIRES: row.size() <= kMaxRowOnPage. Returns where the row went (page << 8 | row).
  uint32_t Add(std::span<const uint8_t> row);
  void Flush();
  // Every page this stream has allocated, in ascending order.
  const std::vector<uint32_t>& pages() const { return pages_; }

 private:
  PageFile& file_;
  RowPageBuilder builder_;
  std::vector<uint32_t> pages_;
};

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_ROW_PAGE_H_
