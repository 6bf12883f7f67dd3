#include "stores/paradox/field_conversion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/calendar.h"
#include "base/utf8.h"

namespace varnholt {

namespace {

using paradox::FieldType;

// Paradox keeps the smallest value of each integer width as its null marker.
constexpr int64_t kShortMax = 32767;
constexpr int64_t kLongMax = 2147483647;
// Numbers between these magnitudes print plainly; others in exponent form.
constexpr double kPlainMinimum = 1e-5;
constexpr double kPlainDigitsLimit = 1e15;
constexpr int kSignificantDigits = 15;
// Two-digit years fall into this hundred-year window, as the operator's platform reads them.
constexpr int kTwoDigitYearWindowStart = 1930;
constexpr int kMillisecondsPerDay = 86'400'000;
// How a date goes into a character field: as the import's date reordering spells it.
constexpr char kDayFirstPattern[] = "dd/mm/yyyy";
// The last day a date field takes, 9999-12-31, as its day count.
constexpr int64_t kLastParadoxDay = DayFromCivil(9999, 12, 31) - kParadoxDayZero;

// Builds the value inside the optional; a temporary variant moved in trips GCC 12's
// maybe-uninitialized analysis under the sanitizers.
template <typename T>
std::optional<paradox::Value> Some(T&& value) {
  return std::optional<paradox::Value>(std::in_place, std::forward<T>(value));
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<int32_t> ValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || !IsCivilDate(year, month, day)) return std::nullopt;
  return static_cast<int32_t>(DayFromCivil(year, month, day) - kParadoxDayZero);
}

// Splits "a<sep>b<sep>c" into three digit runs; false unless exactly that.
bool SplitThree(std::string_view text, char separator, std::string_view parts[3]) {
  for (int i = 0; i < 3; ++i) {
    size_t end = i < 2 ? text.find(separator) : text.size();
    if (end == std::string_view::npos) return false;
    parts[i] = text.substr(0, end);
    if (!AllDigits(parts[i]) || parts[i].size() > 4) return false;
    text.remove_prefix(i < 2 ? end + 1 : end);
  }
  return text.empty();
}

// The number at the start of `text` as atoi reads it (blanks, a sign, digits; 0 when none), kept
// below a billion: a date part beyond that is invalid anyway.
int LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 100'000'000) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

int ReadYear(std::string_view digits) {
  int year = LeadingNumber(digits);
  if (digits.size() == 2) {
    int century = kTwoDigitYearWindowStart / 100 * 100;
    year += century;
    if (year < kTwoDigitYearWindowStart) year += 100;
  }
  return year;
}

std::optional<int32_t> DateFromParts(std::string_view y, std::string_view m, std::string_view d) {
  if (d.size() > 2 || m.size() > 2) return std::nullopt;
  return ValidDate(ReadYear(y), LeadingNumber(m), LeadingNumber(d));
}

std::optional<int32_t> ParseDayMonthYear(std::string_view text, char separator) {
  std::string_view parts[3];
  if (!SplitThree(text, separator, parts)) return std::nullopt;
  return DateFromParts(parts[2], parts[1], parts[0]);
}

// Reads the date in the order of the regional short date pattern (letters y, m, d).
std::optional<int32_t> ParseRegionalDate(std::string_view text, const RegionalSettings& settings) {
  std::string order;
  for (char c : settings.short_date_format) {
    char lower = static_cast<char>(c | 0x20);
    if ((lower == 'y' || lower == 'm' || lower == 'd') && order.find(lower) == std::string::npos) {
      order += lower;
    }
  }
  if (order.size() != 3) return std::nullopt;
  std::string_view parts[3];
  if (!SplitThree(text, settings.date_separator, parts)) return std::nullopt;
  std::string_view y, m, d;
  for (int i = 0; i < 3; ++i) {
    (order[i] == 'y' ? y : order[i] == 'm' ? m : d) = parts[i];
  }
  return DateFromParts(y, m, d);
}

std::optional<int64_t> ParseWholeNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Decimal numbers only: no hexadecimal, infinities or NaN.
std::optional<double> ParseDecimal(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponent_digits;
    if (exponent_digits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

bool IsPrefixIgnoringCase(std::string_view text, std::string_view word) {
  if (text.empty() || text.size() > word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((text[i] | 0x20) != (word[i] | 0x20)) return false;
  }
  return true;
}

std::optional<int32_t> ParseTimeText(std::string_view text) {
  text = TrimBlanks(text);
  int parts[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    size_t end = text.find(':');
    std::string_view part = text.substr(0, end);
    if (!AllDigits(part) || part.size() > 2) return std::nullopt;
    parts[count++] = std::atoi(std::string(part).c_str());
    if (end == std::string_view::npos) {
      text = {};
      break;
    }
    text.remove_prefix(end + 1);
  }
  if (!text.empty() || count < 2) return std::nullopt;
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000;
}

std::string Pad2(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

// Formats with the letter runs of a regional pattern; other characters are copied.
std::string FormatPattern(std::string_view pattern, char date_separator, int year, int month,
                          int day, int hour, int minute, int second) {
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    char c = static_cast<char>(pattern[i] | 0x20);
    size_t run = 1;
    while (i + run < pattern.size() && static_cast<char>(pattern[i + run] | 0x20) == c) ++run;
    switch (c) {
      case 'y': {
        std::string y = std::to_string(year);
        if (run <= 2) {
          y = Pad2(year % 100);
        } else {
          while (y.size() < 4) y = "0" + y;
        }
        out += y;
        break;
      }
      case 'm': out += run >= 2 ? Pad2(month) : std::to_string(month); break;
      case 'd': out += run >= 2 ? Pad2(day) : std::to_string(day); break;
      case 'h': out += run >= 2 ? Pad2(hour) : std::to_string(hour); break;
      case 'n': out += run >= 2 ? Pad2(minute) : std::to_string(minute); break;
      case 's': out += run >= 2 ? Pad2(second) : std::to_string(second); break;
      case '/': out.append(run, date_separator); break;
      default: out.append(pattern.substr(i, run)); break;
    }
    i += run;
  }
  return out;
}

std::string FormatTime(int64_t milliseconds, const RegionalSettings& settings) {
  int64_t seconds = milliseconds / 1000;
  return FormatPattern(settings.long_time_format, settings.date_separator, 0, 0, 0,
                       static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                       static_cast<int>(seconds % 60));
}

void StripTrailingZeros(std::string* text) {
  size_t dot = text->find('.');
  if (dot == std::string::npos) return;
  size_t end = text->size();
  while (end > dot + 1 && (*text)[end - 1] == '0') --end;
  if (end == dot + 1) end = dot;
  text->resize(end);
}

// As the source side shows a Double: 15 significant digits, plain between 1e-5 and 1e15 (no
// trailing zeros), else a mantissa and "E" exponent.
std::string FormatDouble(double value) {
  if (value == 0) return "0";
  if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", kSignificantDigits - 1, value);
  const char* e = std::strchr(buffer, 'e');
  int exponent = std::atoi(e + 1);
  double magnitude = std::fabs(value);
  if (magnitude >= kPlainMinimum && magnitude < kPlainDigitsLimit && exponent < kSignificantDigits) {
    int decimals = std::max(0, kSignificantDigits - 1 - exponent);
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text(buffer);
    StripTrailingZeros(&text);
    return text;
  }
  std::string mantissa(static_cast<const char*>(buffer), e);
  StripTrailingZeros(&mantissa);
  return mantissa + "E" + std::to_string(exponent);
}

std::optional<paradox::Value> IntegerInRange(int64_t value, FieldType type) {
  int64_t limit = type == FieldType::kShort ? kShortMax : kLongMax;
  if (value < -limit || value > limit) return std::nullopt;
  return Some(value);
}

}  // namespace

std::optional<int32_t> ParseDateText(std::string_view text, const RegionalSettings& settings) {
  text = TrimBlanks(text);
  if (auto days = ParseDayMonthYear(text, '/')) return days;
  if (settings.date_separator != '/') {
    if (auto days = ParseDayMonthYear(text, settings.date_separator)) return days;
  }
  if (auto days = ParseRegionalDate(text, settings)) return days;
  if (auto count = ParseWholeNumber(text)) {
    // A day count in the platform's date-time numbering, where day 0 is 30 December 1899.
    int64_t days = *count + (kDateTimeDayZero - kParadoxDayZero);
    if (days >= 1 && days <= kLastParadoxDay) return static_cast<int32_t>(days);
  }
  return std::nullopt;
}

std::string FormatDate(int32_t days, const RegionalSettings& settings) {
  const CivilDate date = CivilFromDay(days + kParadoxDayZero);
  return FormatPattern(settings.short_date_format, settings.date_separator,
                       static_cast<int>(date.year), date.month, date.day, 0, 0, 0);
}

std::string CutToWidth(std::string_view utf8, int width) {
  // No text has more characters than bytes: most fit without counting.
  if (width >= 0 && utf8.size() <= static_cast<size_t>(width)) return std::string(utf8);
  size_t i = 0;
  for (int chars = 0; i < utf8.size() && chars < width; ++chars) i = NextUtf8Character(utf8, i);
  return std::string(utf8.substr(0, i));
}

std::optional<paradox::Value> ValueFromText(const paradox::Field& field, std::string_view text,
                                            const RegionalSettings& settings, bool cut_to_width) {
  if (text.empty()) return Some(paradox::Null{});
  switch (field.type) {
    case FieldType::kAlpha:
      return Some(cut_to_width ? CutToWidth(text, field.size) : std::string(text));
    case FieldType::kMemo:
    case FieldType::kFormattedMemo:
      return Some(std::string(text));
    case FieldType::kDate:
      if (auto days = ParseDateText(text, settings)) return Some(paradox::Date{*days});
      return std::nullopt;
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement:
      if (auto value = ParseWholeNumber(text)) return IntegerInRange(*value, field.type);
      return std::nullopt;
    case FieldType::kNumber:
    case FieldType::kMoney:
    case FieldType::kBcd:
      if (auto value = ParseDecimal(text)) return Some(*value);
      return std::nullopt;
    case FieldType::kLogical: {
      std::string_view word = TrimBlanks(text);
      if (IsPrefixIgnoringCase(word, "True")) return Some(true);
      if (IsPrefixIgnoringCase(word, "False")) return Some(false);
      return std::nullopt;
    }
    case FieldType::kTime:
      if (auto ms = ParseTimeText(text)) return Some(paradox::Time{*ms});
      return std::nullopt;
    case FieldType::kTimestamp: {
      std::string_view trimmed = TrimBlanks(text);
      size_t blank = trimmed.find(' ');
      std::string_view date_part = trimmed.substr(0, blank);
      auto days = ParseDateText(date_part, settings);
      if (!days) return std::nullopt;
      int32_t ms = 0;
      if (blank != std::string_view::npos) {
        auto time = ParseTimeText(trimmed.substr(blank + 1));
        if (!time) return std::nullopt;
        ms = *time;
      }
      return Some(
          paradox::Timestamp{static_cast<double>(*days) * kMillisecondsPerDay + ms});
    }
    default:
      return std::nullopt;
  }
}

std::optional<paradox::Value> ValueFromDate(const paradox::Field& field, const CivilDate& date) {
  auto days = ValidDate(static_cast<int>(std::clamp<int64_t>(date.year, 0, 10000)), date.month, date.day);
  if (!days) return std::nullopt;
  switch (field.type) {
    case FieldType::kDate:
      return Some(paradox::Date{*days});
    case FieldType::kTimestamp:
      return Some(paradox::Timestamp{static_cast<double>(*days) * kMillisecondsPerDay});
    case FieldType::kAlpha:
    case FieldType::kMemo:
    case FieldType::kFormattedMemo:
      return ValueFromText(field,
                           FormatPattern(kDayFirstPattern, '/', static_cast<int>(date.year), date.month,
                                         date.day, 0, 0, 0),
                           RegionalSettings{});
    default:
      return std::nullopt;
  }
}

std::optional<paradox::Value> ValueForField(const paradox::Field& field,
                                            const paradox::Value& value,
                                            const RegionalSettings& settings, bool cut_to_width) {
  if (std::holds_alternative<paradox::Null>(value)) return value;
  if (const auto* text = std::get_if<std::string>(&value)) {
    return ValueFromText(field, *text, settings, cut_to_width);
  }
  switch (field.type) {
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement:
      if (const auto* i = std::get_if<int64_t>(&value)) return IntegerInRange(*i, field.type);
      if (const auto* d = std::get_if<double>(&value)) {
        if (*d != std::floor(*d) || std::fabs(*d) > static_cast<double>(kLongMax)) {
          return std::nullopt;
        }
        return IntegerInRange(static_cast<int64_t>(*d), field.type);
      }
      break;
    case FieldType::kNumber:
    case FieldType::kMoney:
    case FieldType::kBcd:
      if (const auto* i = std::get_if<int64_t>(&value)) {
        return Some(static_cast<double>(*i));
      }
      if (std::holds_alternative<double>(value)) return value;
      break;
    case FieldType::kLogical:
      if (std::holds_alternative<bool>(value)) return value;
      break;
    case FieldType::kDate:
      if (std::holds_alternative<paradox::Date>(value)) return value;
      break;
    case FieldType::kTime:
      if (std::holds_alternative<paradox::Time>(value)) return value;
      break;
    case FieldType::kTimestamp:
      if (std::holds_alternative<paradox::Timestamp>(value)) return value;
      break;
    case FieldType::kBytes:
    case FieldType::kBlob:
    case FieldType::kOle:
    case FieldType::kGraphic:
      if (std::holds_alternative<paradox::Bytes>(value)) return value;
      return std::nullopt;
    default:
      break;
  }
  return ValueFromText(field, TextFromValue(value, settings), settings, cut_to_width);
}

std::string TextFromValue(const paradox::Value& value, const RegionalSettings& settings) {
  struct Visitor {
    const RegionalSettings& settings;
    std::string operator()(const paradox::Null&) const { return {}; }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const { return FormatDouble(number); }
    std::string operator()(bool flag) const { return flag ? "True" : "False"; }
    std::string operator()(const paradox::Date& date) const {
      return FormatDate(date.days, settings);
    }
    std::string operator()(const paradox::Time& time) const {
      return FormatTime(time.milliseconds, settings);
    }
    std::string operator()(const paradox::Timestamp& stamp) const {
      double days = std::floor(stamp.milliseconds / kMillisecondsPerDay);
      auto ms = static_cast<int64_t>(stamp.milliseconds - days * kMillisecondsPerDay);
      std::string text = FormatDate(static_cast<int32_t>(days), settings);
      if (ms != 0) text += " " + FormatTime(ms, settings);
      return text;
    }
    std::string operator()(const paradox::Bytes&) const { return {}; }
  };
  return std::visit(Visitor{settings}, value);
}

}  // namespace varnholt
