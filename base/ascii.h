// ASCII-only case rules for names: field, table, file and provider names compare without regard
// to the case of ASCII letters, and nothing else. Bytes outside A-Z/a-z (UTF-8 sequences among
// them) are never changed, whatever the process's locale.
#ifndef VARNHOLT_BASE_ASCII_H_
#define VARNHOLT_BASE_ASCII_H_

#include <string>
#include <string_view>

namespace varnholt {

constexpr bool IsAsciiLower(char c) { return c >= 'a' && c <= 'z'; }
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// `text` with its ASCII letters in lower (upper) case.
inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}
inline std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

// True when a and b are equal once ASCII letters are folded to lower case.
inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace varnholt

#endif  // VARNHOLT_BASE_ASCII_H_
