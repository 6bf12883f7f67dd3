#include "base/case_fold.h"

#include "base/ascii.h"
#include "base/utf8.h"

namespace varnholt {

char32_t FoldCodePoint(char32_t c) {
  if (c < 0x80) return static_cast<unsigned char>(AsciiLower(static_cast<char>(c)));
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x178) return 0xFF;
    bool even_upper = (c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (even_upper && c % 2 == 0) return c + 1;
    if (odd_upper && c % 2 == 1) return c + 1;
    return c;
  }
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 37;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 63;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c == 0x3C2) return 0x3C3;  // final sigma folds with sigma
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) && c % 2 == 0) return c + 1;
  return c;
}


std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    char32_t c = 0;
    if (DecodeUtf8(text, &i, &c)) {
      AppendUtf8(FoldCodePoint(c), &out);
    } else {
      out.append(text.substr(start, i - start));
    }
  }
  return out;
}

}  // namespace varnholt
