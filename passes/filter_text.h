// Builders of the filter texts the passes hand to the stores. Every value compares as exactly
// itself: a value without a quote character (and, in the unquoted forms, a value of digits only)
// gives the plain text "<opening><value><closing>"; a quote inside a quoted value is doubled; a
// value other than digits in an unquoted form is written quoted, so it can neither break the filter
// nor change what it selects.
#ifndef VARNHOLT_PASSES_FILTER_TEXT_H_
#define VARNHOLT_PASSES_FILTER_TEXT_H_

#include <string>
#include <string_view>

namespace varnholt {

// opening + value with every single quote doubled + closing. The opening ends with the quote that
// opens the value ("CH01_CODE ='"), the closing starts with the one that ends it ("' ").
std::string QuotedFilter(std::string_view opening, std::string_view value, std::string_view closing);

// opening + value when value is one or more digits, else opening + "'" + value (quotes doubled) + "'".
std::string UnquotedFilter(std::string_view opening, std::string_view value);

// value with every occurrence of quote doubled.
std::string DoubleQuoteChar(std::string_view value, char quote);

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_FILTER_TEXT_H_
