#include "passes/filter_text.h"

#include <algorithm>

namespace varnholt {

std::string DoubleQuoteChar(std::string_view value, char quote) {
  std::string out;
  out.reserve(value.size() + 2);
  for (char ch : value) {
    out += ch;
    if (ch == quote) out += quote;
  }
  return out;
}

std::string QuotedFilter(std::string_view opening, std::string_view value, std::string_view closing) {
  std::string out(opening);
  out += DoubleQuoteChar(value, '\'');
  out += closing;
  return out;
}

std::string UnquotedFilter(std::string_view opening, std::string_view value) {
  const bool digits = !value.empty() && std::all_of(value.begin(), value.end(), [](char ch) {
    return ch >= '0' && ch <= '9';
  });
  std::string out(opening);
  if (digits) {
    out += value;
  } else {
    out += '\'';
    out += DoubleQuoteChar(value, '\'');
    out += '\'';
  }
  return out;
}

}  // namespace varnholt
