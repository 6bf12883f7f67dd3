#include "stores/jet/source_value.h"

#include <cinttypes>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/ascii.h"
#include "base/calendar.h"

namespace varnholt {

namespace {

// Plain notation holds for these magnitudes; outside them the exponent form is clearer.
constexpr double kPlainMin = 1e-5;
constexpr double kPlainMax = 1e15;
constexpr int kDoubleDigits = 15;
constexpr int kSingleDigits = 7;
constexpr int kSecondsPerDay = 86400;

void StripTrailingZeros(std::string* s) {
  size_t dot = s->find('.');
  if (dot == std::string::npos) return;
  size_t end = s->size();
  while (end > dot + 1 && (*s)[end - 1] == '0') --end;
  if (end == dot + 1) end = dot;
  s->resize(end);
}

std::string FormatReal(double x, int digits) {
  if (x == 0 || !std::isfinite(x)) return x == 0 ? "0" : (std::isnan(x) ? "NAN" : (x > 0 ? "INF" : "-INF"));
  char buffer[64];
  // The decimal exponent after rounding to `digits` significant digits.
  std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, x);
  const char* e = std::strchr(buffer, 'e');
  int exponent = std::atoi(e + 1);
  double magnitude = std::fabs(x);
  if (magnitude >= kPlainMin && magnitude < kPlainMax && exponent < kDoubleDigits) {
    int decimals = digits - 1 - exponent;
    if (decimals < 0) decimals = 0;
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
    std::string s(buffer);
    StripTrailingZeros(&s);
    return s;
  }
  std::string mantissa(static_cast<const char*>(buffer), e);
  StripTrailingZeros(&mantissa);
  return mantissa + "E" + std::to_string(exponent);
}

std::string FormatCurrency(int64_t ten_thousandths) {
  bool negative = ten_thousandths < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(ten_thousandths) : static_cast<uint64_t>(ten_thousandths);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s%" PRIu64 ".%04" PRIu64, negative ? "-" : "", magnitude / kCurrencyScale,
                magnitude % kCurrencyScale);
  std::string s(buffer);
  StripTrailingZeros(&s);
  return s;
}

// Beyond this many days from day zero a value is no date the source program could have stored.
constexpr double kFarthestDay = 3e6;

std::string FormatJetDate(double value, const RegionalSettings& settings) {
  const std::optional<JetDateTime> split = SplitJetDateTime(value);
  if (!split) return "";
  const int year = static_cast<int>(split->date.year), month = split->date.month, day = split->date.day;
  const int hour = split->seconds / 3600, minute = split->seconds / 60 % 60, second = split->seconds % 60;
  std::string text = FormatDateTime(settings.short_date_format, settings.date_separator, year, month, day, 0, 0, 0);
  if (split->seconds != 0) {
    text += ' ';
    text += FormatDateTime(settings.long_time_format, settings.date_separator, year, month, day, hour, minute, second);
  }
  return text;
}

// `value` padded with zeros to `width` characters, a minus sign counted (as printf's "%0*d").
void AppendNumber(int value, int width, std::string* out) {
  char digits[16];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const char* begin = digits;
  if (*begin == '-') {
    out->push_back('-');
    ++begin;
    --width;
  }
  const int length = static_cast<int>(end - begin);
  if (length < width) out->append(static_cast<size_t>(width - length), '0');
  out->append(begin, end);
}

}  // namespace

std::optional<JetDateTime> SplitJetDateTime(double value) {
  if (!std::isfinite(value) || std::fabs(value) > kFarthestDay) return std::nullopt;
  // The day is the whole part; the time of day is the fraction, counted forward also before 1899.
  const double whole = std::trunc(value);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(value - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    days += 1;
  }
  return JetDateTime{CivilFromDay(days + kDateTimeDayZero), static_cast<int>(seconds)};
}

std::string FormatDateTime(const std::string& pattern, char date_separator, int year, int month, int day,
                           int hour, int minute, int second) {
  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    char c = pattern[i];
    char lower = AsciiLower(c);
    size_t run = 1;
    while (i + run < pattern.size() && ((pattern[i + run] | 0x20) == lower) &&
           std::string_view("ymdhns").find(lower) != std::string_view::npos) {
      ++run;
    }
    switch (lower) {
      case 'y':
        if (run >= 3) {
          AppendNumber(year, 4, &out);
        } else {
          AppendNumber(((year % 100) + 100) % 100, 2, &out);
        }
        break;
      case 'm':
        AppendNumber(month, run >= 2 ? 2 : 1, &out);
        break;
      case 'd':
        AppendNumber(day, run >= 2 ? 2 : 1, &out);
        break;
      case 'h':
        AppendNumber(hour, run >= 2 ? 2 : 1, &out);
        break;
      case 'n':
        AppendNumber(minute, run >= 2 ? 2 : 1, &out);
        break;
      case 's':
        AppendNumber(second, run >= 2 ? 2 : 1, &out);
        break;
      case '/':
        out += date_separator;
        break;
      case '"':
      case '\'': {
        size_t end = pattern.find(c, i + 1);
        if (end == std::string::npos) end = pattern.size();
        out.append(pattern, i + 1, end - i - 1);
        run = end - i + 1;
        break;
      }
      default:
        out += c;
        break;
    }
    i += run;
  }
  return out;
}

std::string FieldTextOf(SourceType type, const SourceValue& value, const RegionalSettings& settings) {
  if (value.is_null) return "";
  switch (type) {
    case SourceType::kInteger:
      return std::to_string(value.integer);
    case SourceType::kSingle:
      return FormatReal(value.real, kSingleDigits);
    case SourceType::kDouble:
      return FormatReal(value.real, kDoubleDigits);
    case SourceType::kCurrency:
      return FormatCurrency(value.integer);
    case SourceType::kBoolean:
      return value.integer != 0 ? "True" : "False";
    case SourceType::kDateTime:
      return FormatJetDate(value.real, settings);
    case SourceType::kText:
    case SourceType::kDecimal:
      return std::string(value.text);
  }
  return "";
}

}  // namespace varnholt
