// One value of a source row, typed as the Jet column holds it, and its field text.
#ifndef VARNHOLT_STORES_JET_SOURCE_VALUE_H_
#define VARNHOLT_STORES_JET_SOURCE_VALUE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/calendar.h"
#include "base/regional_settings.h"

namespace varnholt {

// How a column's values are held and shown.
enum class SourceType {
  kInteger,   // Byte, Integer, Long Integer: `integer`
  kSingle,    // Single: `real` (shown with 7 significant digits)
  kDouble,    // Double: `real`
  kCurrency,  // Currency: `integer` in 1/10000 units
  kBoolean,   // Yes/No: `integer` 1 or 0
  kDateTime,  // Date/Time: `real`, days since 1899-12-30 (Jet's encoding)
  kDecimal,   // Decimal: `text` as stored, `real` its value for filters
  kText,      // Text, Memo, and anything else shown as text: `text` (UTF-8)
};

// Currency values are whole numbers of 1/10000 units.
constexpr int64_t kCurrencyScale = 10000;

// True for the types whose number is `real`; the others use `integer`.
inline bool HoldsReal(SourceType type) {
  return type == SourceType::kSingle || type == SourceType::kDouble || type == SourceType::kDateTime ||
         type == SourceType::kDecimal;
}

// A value as a snapshot hands it out: the text is a view into the snapshot, valid while it lives.
struct SourceValue {
  bool is_null = true;
  union {  // a column's type uses one of the two (see SourceType)
    int64_t integer = 0;
    double real;
  };
  std::string_view text;
};

// The value as field text: "" for null; whole numbers in plain digits; Yes/No "True"/"False";
// Single, Double and Currency with '.' and no exponent when 1e-5 <= |x| < 1e15 (15 significant
// digits for Double, 7 for Single, up to 4 decimals for Currency, no trailing zeros); a date/time in
// the short date format, followed by a blank and the long time format when the time of day is not
// midnight.
std::string FieldTextOf(SourceType type, const SourceValue& value, const RegionalSettings& settings);

// A Jet date/time as its field text shows it: the calendar day and the time of day rounded to the
// second (a time that rounds to 24:00 is the next day's midnight). nullopt where field text shows
// nothing: a value that is not finite or lies beyond 3 million days from day zero.
struct JetDateTime {
  CivilDate date;
  int seconds = 0;  // of the day, 0..86399
};
std::optional<JetDateTime> SplitJetDateTime(double value);

// Formats a Jet date/time with a pattern of yyyy/yy, mm/m, dd/d, hh/h, nn/n, ss/s; '/' stands for
// the date separator, text in quotes is copied, anything else is copied as it is.
std::string FormatDateTime(const std::string& pattern, char date_separator, int year, int month, int day,
                           int hour, int minute, int second);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_SOURCE_VALUE_H_
