#include "base/utf8.h"

namespace varnholt {

bool DecodeUtf8(std::string_view text, size_t* i, char32_t* out) {
  const unsigned char b = static_cast<unsigned char>(text[*i]);
  const size_t length = Utf8SequenceLength(text[*i]);
  if (length == 0 || *i + length > text.size()) {
    ++*i;
    return false;
  }
  const size_t extra = length - 1;
  char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
  for (size_t k = 1; k <= extra; ++k) {
    if (!IsUtf8Continuation(text[*i + k])) {
      ++*i;
      return false;
    }
    c = (c << 6) | (static_cast<unsigned char>(text[*i + k]) & 0x3F);
  }
  *i += 1 + extra;
  *out = c;
  return true;
}

}  // namespace varnholt
