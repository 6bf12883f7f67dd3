// UTF-8, the text encoding inside the program: one code point written, one read.
#ifndef VARNHOLT_BASE_UTF8_H_
#define VARNHOLT_BASE_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnholt {

// Appends code point c to out as UTF-8. REQUIRES: c <= 0x10FFFF.
inline void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[*i] into *out and moves *i past it. An invalid or cut
// sequence returns false with *i moved past its first byte only.
// REQUIRES: *i < text.size().
bool DecodeUtf8(std::string_view text, size_t* i, char32_t* out);

}  // namespace varnholt

#endif  // VARNHOLT_BASE_UTF8_H_
