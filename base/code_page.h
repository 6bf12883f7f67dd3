// Text between UTF-8, the program's own encoding, and one single- or multi-byte code page: the
// code page of a Paradox table, or Windows-1252 for the report file. The only user of the system's
// conversion (base/os/text_converter.h: glibc's iconv, which knows the code pages as "CPnnn").
#ifndef VARNHOLT_BASE_CODE_PAGE_H_
#define VARNHOLT_BASE_CODE_PAGE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnholt {

namespace os {
class TextConverter;
}  // namespace os

class CodePage {
 public:
  // Throws StoreError ("code page N is not supported") when iconv does not know the code page (0 is read as 437).
  explicit CodePage(int code_page);
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  int number() const { return number_; }
  // True when every character of the code page is one byte.
  bool single_byte() const { return single_byte_; }
  // Code-page bytes as UTF-8; a byte the code page does not define becomes U+FFFD.
  std::string ToUtf8(const uint8_t* bytes, size_t length) const;
  // UTF-8 as code-page bytes, at most max_bytes of them, never splitting a character. A character
  // the code page lacks is transliterated where iconv can, else "?"; invalid UTF-8 gives "?".
  // *exact (optional) is false when anything was transliterated, replaced or cut.
  std::string FromUtf8(std::string_view utf8, size_t max_bytes, bool* exact = nullptr) const;
  // The first character of `utf8` that FromUtf8 cannot store as itself (a broken sequence: its
  // first byte), and the bytes, as UTF-8, that would stand in its place; nullopt when the whole
  // text converts exactly.
  struct Inexact {
    std::string character;
    std::string stored_as;
  };
  std::optional<Inexact> FirstInexact(std::string_view utf8) const;
  // All of `utf8` as code-page bytes, as a text file is converted: a character the code page lacks
  // is transliterated where iconv can (invisible ones, such as U+200B, to nothing), else "?"; a
  // broken sequence becomes one "?" and is skipped by the length its first byte announces.
  std::string ConvertText(std::string_view utf8) const;

 private:
  std::string Transliterate(std::string_view utf8_char) const;

  int number_;
  bool single_byte_ = true;
  std::vector<std::string> decode_;          // single-byte: byte -> UTF-8
  std::vector<std::pair<char32_t, uint8_t>> encode_;  // single-byte: sorted code point -> byte
  std::unique_ptr<os::TextConverter> to_utf8_;
  std::unique_ptr<os::TextConverter> from_utf8_;  // exact
};


}  // namespace varnholt

#endif  // VARNHOLT_BASE_CODE_PAGE_H_
