#include "base/utf8.h"

namespace varnholt {

bool DecodeUtf8(std::string_view text, size_t* i, char32_t* out) {
  unsigned char b = static_cast<unsigned char>(text[*i]);
  int extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : -1;
  if (extra < 0 || *i + extra >= text.size()) {
    ++*i;
    return false;
  }
  char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
  for (int k = 1; k <= extra; ++k) {
    unsigned char n = static_cast<unsigned char>(text[*i + k]);
    if ((n & 0xC0) != 0x80) {
      ++*i;
      return false;
    }
    c = (c << 6) | (n & 0x3F);
  }
  *i += 1 + extra;
  *out = c;
  return true;
}

}  // namespace varnholt
