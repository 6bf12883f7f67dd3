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

// True for the bytes 10xxxxxx that continue a sequence.
inline bool IsUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The length (1 to 4) of the sequence that `lead` starts, by its high bits alone; 0 for a byte that
// starts none (a continuation byte or 0xF8..0xFF).
inline size_t Utf8SequenceLength(char lead) {
  const auto b = static_cast<unsigned char>(lead);
  return b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
}

// The index just past the character at text[i]: its first byte and the continuation bytes after
// it, valid or not. REQUIRES: i < text.size().
inline size_t NextUtf8Character(std::string_view text, size_t i) {
  ++i;
  while (i < text.size() && IsUtf8Continuation(text[i])) ++i;
  return i;
}

// Decodes one UTF-8 sequence at text[*i] into *out and moves *i past it. An invalid or cut
// sequence returns false with *i moved past its first byte only.
// REQUIRES: *i < text.size().
bool DecodeUtf8(std::string_view text, size_t* i, char32_t* out);

}  // namespace varnholt

#endif  // VARNHOLT_BASE_UTF8_H_
