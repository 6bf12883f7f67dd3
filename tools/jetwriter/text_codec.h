// Text between UTF-8 (the writer's interface) and Jet's stored forms: UCS-2LE (UTF-16LE, so
// characters outside the BMP are surrogate pairs) or compressed Unicode ("FF FE" then one byte
// per character, for text made only of U+0001..U+00FF).
#ifndef VARNHOLT_TOOLS_JETWRITER_TEXT_CODEC_H_
#define VARNHOLT_TOOLS_JETWRITER_TEXT_CODEC_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnholt::jet {

// Throws std::invalid_argument ("invalid UTF-8") on malformed input, overlong forms, surrogates
// or values above U+10FFFF.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// The stored form of a text value: compressed when every character is U+0001..U+00FF and that is
// shorter, else UCS-2LE.
std::vector<uint8_t> EncodeText(std::u16string_view text);
// UCS-2LE without compression (names in table definitions, the password).
std::vector<uint8_t> EncodeUcs2(std::u16string_view text);
// The inverse of EncodeText; also reads compressed text that switches modes (a 0x00 byte
// toggles between one and two bytes per character).
std::u16string DecodeText(std::span<const uint8_t> bytes);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_TEXT_CODEC_H_
