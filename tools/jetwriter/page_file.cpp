#include "tools/jetwriter/page_file.h"

#include <stdexcept>

#include "stores/jet/jet_format.h"

namespace varnholt::jet {

// The OS layer's file takes UTF-8 paths everywhere; its errors (EngineError) are runtime_errors
// that name the file.
PageFile::PageFile(const std::string& path) : path_(path) {
  os::OsFile::RemoveFile(path);
  file_ = os::OsFile::Create(path);
}

PageFile::~PageFile() = default;

void PageFile::Write(uint32_t page, std::span<const uint8_t> bytes) {
  if (bytes.size() != jet_format::kPageSize) throw std::logic_error("page of wrong size");
  if (!file_.is_open()) throw std::logic_error("page file is closed");
  file_.WriteAt(static_cast<uint64_t>(page) * jet_format::kPageSize, bytes.data(), bytes.size());
}

void PageFile::Close() { file_ = os::OsFile(); }

}  // namespace varnholt::jet
