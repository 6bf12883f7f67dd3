#include "tools/jetwriter/page_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tools/jetwriter/jet_format.h"

namespace varnholt::jet {

PageFile::PageFile(const std::string& path) : path_(path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) Fail("cannot create");
}

PageFile::~PageFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void PageFile::Fail(const std::string& what) const {
  throw std::runtime_error(what + " " + path_ + ": " + std::strerror(errno));
}

void PageFile::Write(uint32_t page, std::span<const uint8_t> bytes) {
  if (bytes.size() != format::kPageSize) throw std::logic_error("page of wrong size");
  if (file_ == nullptr) throw std::logic_error("page file is closed");
  const off_t offset = static_cast<off_t>(page) * static_cast<off_t>(format::kPageSize);
  if (fseeko(file_, offset, SEEK_SET) != 0 ||
      std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    Fail("cannot write");
  }
}

void PageFile::Close() {
  if (file_ == nullptr) return;
  std::FILE* f = file_;
  file_ = nullptr;
  const bool flushed = std::fflush(f) == 0;
  const bool closed = std::fclose(f) == 0;
  if (!flushed || !closed) Fail("cannot write");
}

}  // namespace varnholt::jet
