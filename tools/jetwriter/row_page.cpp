#include "tools/jetwriter/row_page.h"

#include <cstring>
#include <stdexcept>

#include "stores/jet/jet_format.h"

namespace varnholt::jet {

using namespace jet_format;

RowPageBuilder::RowPageBuilder(uint32_t owner, bool lval)
    : owner_(owner), lval_(lval), page_(kPageSize, 0), row_start_(kPageSize) {}

bool RowPageBuilder::Fits(size_t row_size) const {
  if (row_count_ >= kMaxRowsPerPage) return false;
  const size_t table_end = kDataRowOffsets + kRowOffsetSize * (row_count_ + 1);
  return row_start_ >= table_end && row_start_ - table_end >= row_size;
}

int RowPageBuilder::Add(std::span<const uint8_t> row) {
  if (!Fits(row.size())) throw std::logic_error("row does not fit the page");
  row_start_ -= row.size();
  if (!row.empty()) std::memcpy(&page_[row_start_], row.data(), row.size());
  PutLe16(&page_[kDataRowOffsets + kRowOffsetSize * row_count_], static_cast<uint16_t>(row_start_));
  return row_count_++;
}

std::vector<uint8_t> RowPageBuilder::Take() {
  page_[0] = kPageData;
  page_[1] = kPageMarker;
  const size_t table_end = kDataRowOffsets + kRowOffsetSize * row_count_;
  PutLe16(&page_[kDataFreeSpace], static_cast<uint16_t>(row_start_ - table_end));
  if (lval_) {
    std::memcpy(&page_[kDataOwner], kLvalMagic, sizeof kLvalMagic);
  } else {
    PutLe32(&page_[kDataOwner], owner_);
  }
  PutLe16(&page_[kDataRowCount], static_cast<uint16_t>(row_count_));
  std::vector<uint8_t> done(kPageSize, 0);
  done.swap(page_);
  row_count_ = 0;
  row_start_ = kPageSize;
  return done;
}

RowStream::RowStream(PageFile& file, uint32_t owner, bool lval)
    : file_(file), builder_(owner, lval) {}

uint32_t RowStream::Add(std::span<const uint8_t> row) {
  if (!builder_.empty() && !builder_.Fits(row.size())) Flush();
  if (builder_.empty()) pages_.push_back(file_.Allocate());
  const int number = builder_.Add(row);
  return RowPointer(pages_.back(), number);
}

void RowStream::Flush() {
  if (builder_.empty()) return;
  file_.Write(pages_.back(), builder_.Take());
}

}  // namespace varnholt::jet
