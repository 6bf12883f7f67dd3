// PageFile: the database file as numbered pages, written in any order. Page numbers are handed out
// in ascending order; every allocated page must be written before Close.
#ifndef VARNHOLT_TOOLS_JETWRITER_PAGE_FILE_H_
#define VARNHOLT_TOOLS_JETWRITER_PAGE_FILE_H_

#include <cstdint>
#include <span>
#include <string>

#include "base/os/os_file.h"

namespace varnholt::jet {

class PageFile {
 public:
  // Creates or replaces the file (a UTF-8 path on every platform); throws std::runtime_error naming
  // the path.
  explicit PageFile(const std::string& path);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // Page numbers below first_free are reserved for the caller.
  void Reserve(uint32_t first_free) { next_page_ = first_free; }
  uint32_t Allocate() { return next_page_++; }
  uint32_t page_count() const { return next_page_; }

  // REQUIRES: bytes.size() == kPageSize. Throws std::runtime_error on a write failure.
  void Write(uint32_t page, std::span<const uint8_t> bytes);
  // Flushes and closes; throws std::runtime_error when that fails.
  void Close();

 private:
  std::string path_;
  os::OsFile file_;
  uint32_t next_page_ = 0;
};

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_PAGE_FILE_H_
