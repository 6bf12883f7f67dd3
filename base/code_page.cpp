#include "base/code_page.h"

#include <algorithm>

#include "base/os/text_converter.h"
#include "base/store_error.h"
#include "base/transliteration.h"

namespace varnholt {

namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the UTF-8 sequence starting at s[0], or 0 when it is invalid.
size_t Utf8Length(std::string_view s, char32_t* code_point) {
  const auto c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > s.size()) return 0;
  char32_t cp = n == 1 ? c : c & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) {
    const auto d = static_cast<unsigned char>(s[i]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  *code_point = cp;
  return n;
}

using Stop = os::TextConverter::Stop;

// Runs one conversion of `in`; false when the converter refused some of it.
bool Convert(const os::TextConverter& converter, const char* in, size_t length, std::string* out) {
  converter.Reset();
  char buffer[64];
  const char* src = in;
  size_t left = length;
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof(buffer);
    const Stop stop = converter.Step(&src, &left, &dst, &room);
    out->append(buffer, dst - buffer);
    if (stop != Stop::kNone && stop != Stop::kOutputFull) return false;
  }
  char* dst = buffer;
  size_t room = sizeof(buffer);
  converter.Finish(&dst, &room);
  out->append(buffer, dst - buffer);
  return true;
}

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte, so we always advance).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

CodePage::CodePage(int code_page) : number_(code_page == 0 ? 437 : code_page) {
  const std::string name = "CP" + std::to_string(number_);
  std::optional<os::TextConverter> to = os::TextConverter::Open("UTF-8", name);
  // Exact only: what stands in for a missing character comes from our own table, since iconv's
  // //TRANSLIT follows the process's locale (a window toolkit sets it from the user's), and the same
  // name must become the same bytes on every machine, Windows included.
  std::optional<os::TextConverter> from = os::TextConverter::Open(name, "UTF-8");
  if (!to || !from) throw StoreError("code page " + std::to_string(code_page) + " is not supported");
  to_utf8_ = std::make_unique<os::TextConverter>(std::move(*to));
  from_utf8_ = std::make_unique<os::TextConverter>(std::move(*from));
  decode_.resize(256);
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    to_utf8_->Reset();
    char buffer[16];
    const char* src = &c;
    size_t left = 1;
    char* dst = buffer;
    size_t room = sizeof(buffer);
    const Stop stop = to_utf8_->Step(&src, &left, &dst, &room);
    if (stop == Stop::kIncomplete) {
      single_byte_ = false;  // a lead byte: the code page has multi-byte characters
      break;
    }
    decode_[b] = stop != Stop::kNone ? std::string(kReplacementUtf8) : std::string(buffer, dst - buffer);
    if (b < 0x80 && decode_[b] != std::string(1, c)) single_byte_ = false;
  }
  if (!single_byte_) {
    decode_.clear();
    return;
  }
  for (int b = 255; b >= 1; --b) {
    char32_t cp = 0;
    if (decode_[b] != kReplacementUtf8 && Utf8Length(decode_[b], &cp) == decode_[b].size()) {
      encode_.emplace_back(cp, static_cast<uint8_t>(b));
    }
  }
  std::stable_sort(encode_.begin(), encode_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

CodePage::~CodePage() = default;

std::string CodePage::ToUtf8(const uint8_t* bytes, size_t length) const {
  std::string out;
  if (single_byte_) {
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
      if (bytes[i] < 0x80) {
        out.push_back(static_cast<char>(bytes[i]));
      } else {
        out += decode_[bytes[i]];
      }
    }
    return out;
  }
  size_t i = 0;
  while (i < length) {
    // Convert up to the next byte the converter refuses, then replace that byte and go on.
    to_utf8_->Reset();
    const char* src = reinterpret_cast<const char*>(bytes + i);
    size_t left = length - i;
    bool refused = false;
    while (left > 0 && !refused) {
      char buffer[64];
      char* dst = buffer;
      size_t room = sizeof(buffer);
      const Stop stop = to_utf8_->Step(&src, &left, &dst, &room);
      out.append(buffer, dst - buffer);
      if (stop != Stop::kNone && stop != Stop::kOutputFull) refused = true;
    }
    i = length - left;
    if (refused) {
      out += kReplacementUtf8;
      ++i;
    }
  }
  return out;
}

std::string CodePage::Transliterate(std::string_view utf8_char) const {
  std::string out;
  if (Convert(*from_utf8_, utf8_char.data(), utf8_char.size(), &out) && !out.empty()) {
    return out;
  }
  char32_t cp = 0;
  if (Utf8Length(utf8_char, &cp) != utf8_char.size()) return std::string(kNoTransliteration);
  // A field keeps a mark where a character was, even one that stands for nothing.
  const std::string_view instead = TransliterationOf(cp);
  return std::string(instead.empty() ? kNoTransliteration : instead);
}

std::string CodePage::FromUtf8(std::string_view utf8, size_t max_bytes, bool* exact) const {
  std::string out;
  out.reserve(std::min(utf8.size(), max_bytes));
  bool same = true;
  // ASCII stands for itself in every code page: the run of it at the start (most texts whole) is
  // copied at once.
  size_t i = 0;
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
  if (i > max_bytes) {
    out.assign(utf8.data(), max_bytes);
    if (exact != nullptr) *exact = false;
    return out;
  }
  out.assign(utf8.data(), i);
  while (i < utf8.size()) {
    std::string piece;
    char32_t cp = 0;
    size_t n = Utf8Length(utf8.substr(i), &cp);
    if (n == 0) {  // invalid UTF-8: one byte becomes "?"
      piece = "?";
      n = 1;
      same = false;
    } else if (cp < 0x80) {
      piece.assign(1, static_cast<char>(cp));
    } else {
      auto it = std::lower_bound(encode_.begin(), encode_.end(), cp,
                                 [](const auto& e, char32_t v) { return e.first < v; });
      if (single_byte_ && it != encode_.end() && it->first == cp) {
        piece.assign(1, static_cast<char>(it->second));
      } else {
        piece = Transliterate(utf8.substr(i, n));
        // Multi-byte code pages convert exactly when iconv could do it without transliteration;
        // a round trip tells.
        if (single_byte_ ||
            ToUtf8(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()) !=
                utf8.substr(i, n)) {
          same = false;
        }
      }
    }
    if (out.size() + piece.size() > max_bytes) {
      same = false;
      break;
    }
    out += piece;
    i += n;
  }
  if (exact != nullptr) *exact = same;
  return out;
}

std::optional<CodePage::Inexact> CodePage::FirstInexact(std::string_view utf8) const {
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const size_t n = std::max<size_t>(Utf8Length(utf8.substr(i), &cp), 1);
    if (static_cast<unsigned char>(utf8[i]) >= 0x80) {
      bool exact = true;
      const std::string piece = FromUtf8(utf8.substr(i, n), std::string::npos, &exact);
      if (!exact) {
        return Inexact{std::string(utf8.substr(i, n)),
                       ToUtf8(reinterpret_cast<const uint8_t*>(piece.data()), piece.size())};
      }
    }
    i += n;
  }
  return std::nullopt;
}

std::string CodePage::ConvertText(std::string_view utf8) const {
  std::string out;
  // A character the code page holds as one byte of its own needs no converter, which costs far
  // more a character; the rest of the text, from the first other one, goes through it as before.
  size_t direct = 0;
  if (single_byte_) {
    while (direct < utf8.size()) {
      char32_t cp = 0;
      const size_t n = Utf8Length(utf8.substr(direct), &cp);
      // Broken or overlong sequences are the converter's to refuse.
      constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
      if (n == 0 || cp < kLeast[n]) break;
      if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
      } else {
        const auto it = std::lower_bound(encode_.begin(), encode_.end(), cp,
                                         [](const auto& e, char32_t v) { return e.first < v; });
        // Where two bytes read as one character, the converter decides which it writes.
        if (it == encode_.end() || it->first != cp || (it + 1 != encode_.end() && (it + 1)->first == cp)) break;
        out.push_back(static_cast<char>(it->second));
      }
      direct += n;
    }
    if (direct == utf8.size()) return out;
    utf8.remove_prefix(direct);
  }
  from_utf8_->Reset();
  char buffer[256];
  const char* in = utf8.data();
  size_t in_left = utf8.size();
  while (in_left > 0) {
    char* dest = buffer;
    size_t dest_left = sizeof buffer;
    const Stop stop = from_utf8_->Step(&in, &in_left, &dest, &dest_left);
    out.append(buffer, dest - buffer);
    if (stop == Stop::kNone || stop == Stop::kOutputFull) continue;
    // EILSEQ or EINVAL: a character the code page cannot hold, or broken UTF-8.
    const size_t skip = std::min(in_left, SequenceLength(static_cast<unsigned char>(*in)));
    char32_t cp = 0;
    const bool whole = Utf8Length(std::string_view(in, skip), &cp) == skip;
    in += skip;
    in_left -= skip;
    out += whole ? TransliterationOf(cp) : kNoTransliteration;
    from_utf8_->Reset();
  }
  return out;
}

}  // namespace varnholt
