#include "stores/filter/filter_literals.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "base/ascii.h"
#include "base/calendar.h"

namespace varnholt::filter {

namespace {

// Reads an unsigned decimal run at text[*i].
bool ReadInt(std::string_view text, size_t* i, int* out) {
  size_t start = *i;
  int value = 0;
  while (*i < text.size() && IsDigit(text[*i]) && *i - start < 9) value = value * 10 + (text[(*i)++] - '0');
  if (*i == start) return false;
  *out = value;
  return true;
}

}  // namespace

std::string CanonicalNumber(double n) {
  if (n == 0) n = 0;  // -0 and 0 are one key
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  return std::string(buffer, result.ptr);
}

// Whole numbers (nearly every key: ids, codes) are written as integers, which is cheaper than the
// canonical form used for the rest; no text of the one form can be a text of the other, since a
// whole number below 2^53 has no second spelling and the canonical form of any other value reads
// back as that value.
std::string NumberKey(double n) {
  constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
  if (n != std::trunc(n) || std::fabs(n) >= kExactIntegers) return CanonicalNumber(n);
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(n));
  return std::string(buffer, result.ptr);
}

std::optional<double> ReadNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<double> ReadDate(std::string_view text) {
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip_blanks();
  int a = 0, b = 0, c = 0;
  size_t a_start = i;
  if (!ReadInt(text, &i, &a)) return std::nullopt;
  size_t a_len = i - a_start;
  if (i >= text.size() || (text[i] != '-' && text[i] != '/')) return std::nullopt;
  char sep = text[i++];
  if (!ReadInt(text, &i, &b)) return std::nullopt;
  if (i >= text.size() || text[i] != sep) return std::nullopt;
  ++i;
  if (!ReadInt(text, &i, &c)) return std::nullopt;
  int year, month, day;
  if (a_len == 4) {
    year = a, month = b, day = c;
  } else {
    month = a, day = b, year = c;
  }
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  int hour = 0, minute = 0, second = 0;
  skip_blanks();
  if (i < text.size()) {
    if (!ReadInt(text, &i, &hour)) return std::nullopt;
    if (i >= text.size() || text[i] != ':') return std::nullopt;
    ++i;
    if (!ReadInt(text, &i, &minute)) return std::nullopt;
    if (i < text.size() && text[i] == ':') {
      ++i;
      if (!ReadInt(text, &i, &second)) return std::nullopt;
    }
    skip_blanks();
    if (i + 2 <= text.size() && (EqualsIgnoringAsciiCase(text.substr(i, 2), "AM") ||
                                 EqualsIgnoringAsciiCase(text.substr(i, 2), "PM"))) {
      bool pm = EqualsIgnoringAsciiCase(text.substr(i, 2), "PM");
      if (hour < 1 || hour > 12) return std::nullopt;
      hour = hour % 12 + (pm ? 12 : 0);
      i += 2;
      skip_blanks();
    }
    if (i != text.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  }
  return DateTimeFromCivil(year, month, day, hour, minute, second);
}

}  // namespace varnholt::filter
