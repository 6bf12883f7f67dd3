#include "base/windows_1252.h"

#include "base/code_page.h"

#include <algorithm>
#include <string_view>

namespace varnholt {

namespace {

constexpr int kWindows1252 = 1252;
constexpr unsigned char kFirstNonAscii = 0x80;

bool IsAscii(char ch) { return static_cast<unsigned char>(ch) < kFirstNonAscii; }

// How many bytes the last sequence of `run` lacks: a cut sequence takes the bytes after it, as
// the converter reads it in one piece of text.
size_t MissingContinuation(std::string_view run) {
  constexpr unsigned char kContinuationMask = 0xC0, kContinuation = 0x80;
  size_t last = run.size();
  while (last > 0 && (static_cast<unsigned char>(run[last - 1]) & kContinuationMask) == kContinuation) --last;
  if (last == 0) return 0;
  const auto lead = static_cast<unsigned char>(run[last - 1]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  const size_t present = run.size() - (last - 1);
  return length > present ? length - present : 0;
}

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
    end = std::min(utf8.size(), end + MissingContinuation(std::string_view(utf8).substr(at, end - at)));
    if (end > at) out += code_page.ConvertText(std::string_view(utf8).substr(at, end - at));
    at = end;
  }
  return out;
}

}  // namespace varnholt
