// Numbers and dates as filter texts write them and as index keys spell them; internal to the
// filter core (the lexer, the parser and the evaluator share them).
#ifndef VARNHOLT_STORES_FILTER_FILTER_LITERALS_H_
#define VARNHOLT_STORES_FILTER_FILTER_LITERALS_H_

#include <optional>
#include <string>
#include <string_view>

namespace varnholt::filter {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The shortest text that reads back as n; -0 is written as 0.
std::string CanonicalNumber(double n);

// A number as an index key: one text per value.
std::string NumberKey(double n);

// The whole of `text` (blanks around allowed) as a finite number, or nullopt.
std::optional<double> ReadNumber(std::string_view text);

// A date literal, yyyy-mm-dd, yyyy/mm/dd or m/d/yyyy (years 100 to 9999), optionally followed by
// h:mm[:ss] [AM|PM], as a date-time (base/calendar.h); nullopt when it is no such date.
std::optional<double> ReadDate(std::string_view text);

}  // namespace varnholt::filter

#endif  // VARNHOLT_STORES_FILTER_FILTER_LITERALS_H_
