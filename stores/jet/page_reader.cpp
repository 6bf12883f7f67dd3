#include "stores/jet/page_reader.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

#include "base/byte_coding.h"
#include "stores/jet/jet_error.h"

namespace varnholt {

namespace {

// An encoded page is RC4 with the key (database key XOR page number), little-endian.
void DecodePage(uint32_t key_word, std::vector<uint8_t>* page) {
  uint8_t key[4];
  PutLe32(key, key_word);
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  int i = 0, j = 0;
  for (uint8_t& byte : *page) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    byte ^= s[(s[i] + s[j]) & 0xFF];
  }
}

}  // namespace

JetPageReader::JetPageReader(std::shared_ptr<const std::vector<uint8_t>> image, const jet_format::Format& format,
                             uint32_t database_key)
    : format_(format), database_key_(database_key), image_(std::move(image)) {
  const uint64_t pages = image_->size() / format_.page_size;
  page_count_ = static_cast<uint32_t>(std::min<uint64_t>(pages, std::numeric_limits<uint32_t>::max()));
}

void JetPageReader::Read(uint32_t number, std::vector<uint8_t>* page) const {
  if (number >= page_count_) {
    throw JetFormatError("page " + std::to_string(number) + " is past the end of the file");
  }
  const auto start = image_->begin() + static_cast<std::ptrdiff_t>(static_cast<uint64_t>(number) * format_.page_size);
  page->assign(start, start + static_cast<std::ptrdiff_t>(format_.page_size));
  if (database_key_ != 0 && number != 0) DecodePage(database_key_ ^ number, page);
}

}  // namespace varnholt
