#include "tools/jetwriter/text_codec.h"

#include <stdexcept>

#include "stores/jet/jet_format.h"

namespace varnholt::jet {

namespace {

[[noreturn]] void InvalidUtf8() { throw std::invalid_argument("invalid UTF-8"); }

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    uint32_t cp;
    size_t extra;
    uint32_t min;
    if (lead < 0x80) {
      cp = lead;
      extra = 0;
      min = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
      min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
      min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07;
      extra = 3;
      min = 0x10000;
    } else {
      InvalidUtf8();
    }
    if (i + extra >= utf8.size()) InvalidUtf8();
    for (size_t k = 1; k <= extra; ++k) {
      const auto b = static_cast<uint8_t>(utf8[i + k]);
      if ((b & 0xC0) != 0x80) InvalidUtf8();
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) InvalidUtf8();
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    uint32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::vector<uint8_t> EncodeUcs2(std::u16string_view text) {
  std::vector<uint8_t> out(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) PutLe16(&out[2 * i], text[i]);
  return out;
}

std::vector<uint8_t> EncodeText(std::u16string_view text) {
  bool compressible = text.size() > 2;  // "FF FE" + n bytes is shorter than 2n only from n = 3
  for (char16_t c : text) {
    if (c == 0 || c > 0xFF) {
      compressible = false;
      break;
    }
  }
  if (!compressible) return EncodeUcs2(text);
  std::vector<uint8_t> out;
  out.reserve(text.size() + 2);
  out.push_back(jet_format::kCompressedText[0]);
  out.push_back(jet_format::kCompressedText[1]);
  for (char16_t c : text) out.push_back(static_cast<uint8_t>(c));
  return out;
}

std::u16string DecodeText(std::span<const uint8_t> bytes) {
  std::u16string out;
  if (bytes.size() >= 2 && bytes[0] == jet_format::kCompressedText[0] &&
      bytes[1] == jet_format::kCompressedText[1]) {
    bool compressed = true;
    size_t i = 2;
    while (i < bytes.size()) {
      if (bytes[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        out.push_back(bytes[i]);
        ++i;
      } else if (i + 1 < bytes.size()) {
        out.push_back(static_cast<char16_t>(GetLe16(&bytes[i])));
        i += 2;
      } else {
        break;
      }
    }
    return out;
  }
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(GetLe16(&bytes[i])));
  }
  return out;
}

}  // namespace varnholt::jet
