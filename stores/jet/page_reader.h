// JetPageReader: the pages of a Jet database file, taken one at a time from the file's image in
// memory (file_image.h). Pages of an encoded database are decoded here.
#ifndef VARNHOLT_STORES_JET_PAGE_READER_H_
#define VARNHOLT_STORES_JET_PAGE_READER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stores/jet/jet_format.h"

namespace varnholt {

class JetPageReader {
 public:
  // Reads the pages of `image`, the whole file. `database_key`: the header's page key, 0 when pages
  // are stored plain.
  JetPageReader(std::shared_ptr<const std::vector<uint8_t>> image, const jet_format::Format& format,
                uint32_t database_key);

  const jet_format::Format& Format() const { return format_; }
  size_t PageSize() const { return format_.page_size; }
  // Whole pages in the file.
  uint32_t PageCount() const { return page_count_; }

  // Reads page `number` into `page` (resized to the page size). Throws JetFormatError for a page
  // past the end of the file.
  void Read(uint32_t number, std::vector<uint8_t>* page) const;

 private:
  const jet_format::Format& format_;
  uint32_t database_key_;
  std::shared_ptr<const std::vector<uint8_t>> image_;
  uint32_t page_count_ = 0;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_PAGE_READER_H_
