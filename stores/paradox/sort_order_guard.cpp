#include "stores/paradox/sort_order_guard.h"

#include <utility>

namespace varnholt::paradox {

namespace {

bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
bool IsLetter(unsigned char c) { return IsUpper(c) || IsLower(c); }
// Bytes below the capitals: the text's end (NUL), blank, digits and the punctuation among them.
bool BelowLetters(unsigned char c) { return c < 'A'; }

}  // namespace

bool KeepsByteOrder(const std::string& sort_order) {
  return sort_order.empty() || sort_order == "ascii" || sort_order == "DBWINUS0";
}

SortOrderGuard::SortOrderGuard(std::string sort_order, std::vector<Span> alpha)
    : sort_order_(std::move(sort_order)), alpha_(std::move(alpha)) {
  needed_ = !KeepsByteOrder(sort_order_) && !alpha_.empty();
}

bool SortOrderGuard::InAlpha(size_t at) const {
  for (const Span& s : alpha_) {
    if (at >= s.offset && at < s.offset + s.size) return true;
  }
  return false;
}

bool SortOrderGuard::Plain(std::string_view key) const {
  if (!needed_) return true;
  for (const Span& s : alpha_) {
    for (size_t i = s.offset; i < s.offset + s.size && i < key.size(); ++i) {
      const auto c = static_cast<unsigned char>(key[i]);
      if (c >= 0x80 || IsLetter(c)) return false;
    }
  }
  return true;
}

bool SortOrderGuard::Agree(std::string_view a, std::string_view b) const {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    if (!InAlpha(i)) return true;  // a number or date decides, the same in every order
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) return false;
    if (IsLetter(x) && IsLetter(y)) {
      if (IsUpper(x) == IsUpper(y)) return true;
      // Of different case: a collation that ignores case decides by the letters alone, and leaves
      // it open when they are the same letter.
      const int fx = x | 0x20;
      const int fy = y | 0x20;
      return fx != fy && (fx < fy) == (x < y);
    }
    if (IsLetter(x) || IsLetter(y)) {
      // A letter against anything below the capitals sorts after it in every order.
      return BelowLetters(IsLetter(x) ? y : x);
    }
    return true;  // digits, blank and punctuation: their own order
  }
  return true;
}

std::string SortOrderGuard::Conflict(
    std::string_view key,
    const std::function<void(const std::function<bool(std::string_view)>&)>& each) const {
  if (Plain(key)) return {};
  std::string found;
  each([&](std::string_view other) {
    if (other == key || Agree(key, other)) return true;
    found.assign(other);
    return false;
  });
  return found;
}

std::string SortOrderGuard::AlphaText(std::string_view key) const {
  std::string text;
  for (const Span& s : alpha_) {
    if (s.offset >= key.size()) break;
    std::string_view part = key.substr(s.offset, s.size);
    part = part.substr(0, part.find('\0'));
    if (!text.empty()) text += ' ';
    text.append(part);
  }
  return text;
}

std::string SortOrderGuard::Refusal(const std::string& path, std::string_view key,
                                    std::string_view other,
                                    const std::function<std::string(const std::string&)>& to_utf8) const {
  return path + ": cannot place the key '" + to_utf8(AlphaText(key)) + "' under sort order " +
         sort_order_ + ": its order against the key '" + to_utf8(AlphaText(other)) +
         "' depends on that sort order's rules for letter case and letters outside ASCII, which "
         "are not known; nothing was written";
}

}  // namespace varnholt::paradox
