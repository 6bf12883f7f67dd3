#include "base/os/regional_settings.h"

#include <cctype>

namespace varnholt::os {

namespace {

// Windows quotes literal text in a date pattern with these.
constexpr char kQuote = '\'';

bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }

}  // namespace

RegionalSettings WithWindowsDate(RegionalSettings settings, const std::string& separator,
                                 const std::string& pattern) {
  // Ours is one byte; a longer one (or a letter, which would read as part of the pattern) cannot be
  // spelled in our patterns.
  if (separator.size() != 1 || !IsAscii(separator[0]) || std::isalnum(static_cast<unsigned char>(separator[0]))) {
    return settings;
  }
  const char sep = separator[0];
  std::string ours;
  bool quoted = false;
  bool day = false, month = false, year = false;
  for (char c : pattern) {
    if (c == kQuote) {
      quoted = !quoted;
      continue;
    }
    if (quoted) {
      // A letter of ours inside quoted text would be read as a date part: such a pattern is not
      // one we can follow.
      const char lower = static_cast<char>(c | 0x20);
      if (lower == 'd' || lower == 'm' || lower == 'y' || c == '/') return settings;
      ours += c;
      continue;
    }
    if (c == sep) {
      ours += '/';
      continue;
    }
    const char lower = static_cast<char>(c | 0x20);
    day = day || lower == 'd';
    month = month || lower == 'm';
    year = year || lower == 'y';
    // "g" (the era) has no counterpart in our dates; a "/" that is not the separator neither.
    if (lower == 'g' || c == '/') return settings;
    ours += c;
  }
  if (quoted || !day || !month || !year) return settings;
  settings.short_date_format = ours;
  settings.date_separator = sep;
  return settings;
}

}  // namespace varnholt::os
