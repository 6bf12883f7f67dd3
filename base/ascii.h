// ASCII-only case rules for names: field, table and provider names compare without regard to the
// case of ASCII letters, and nothing else.
#ifndef VARNHOLT_BASE_ASCII_H_
#define VARNHOLT_BASE_ASCII_H_

#include <string_view>

namespace varnholt {

// True when a and b are equal once ASCII letters are folded to lower case.
inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace varnholt

#endif  // VARNHOLT_BASE_ASCII_H_
