#include "base/windows_1252.h"

#include "base/code_page.h"

namespace varnholt {

namespace {

constexpr int kWindows1252 = 1252;
constexpr unsigned char kFirstNonAscii = 0x80;

bool IsAscii(char ch) { return static_cast<unsigned char>(ch) < kFirstNonAscii; }

}  // namespace

std::string ToWindows1252(const std::string& utf8) {
  static const CodePage code_page(kWindows1252);
  // ASCII is the same in both, and what a character becomes does not depend on its neighbours:
  // only the runs outside ASCII go through the converter, which costs far more a byte.
  std::string out;
  out.reserve(utf8.size());
  size_t at = 0;
  while (at < utf8.size()) {
    size_t end = at;
    while (end < utf8.size() && IsAscii(utf8[end])) ++end;
    out.append(utf8, at, end - at);
    at = end;
    while (end < utf8.size() && !IsAscii(utf8[end])) ++end;
    if (end > at) out += code_page.ConvertText(std::string_view(utf8).substr(at, end - at));
    at = end;
  }
  return out;
}

}  // namespace varnholt
