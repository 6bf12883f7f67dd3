#include "stores/sql/statement_parameters.h"

namespace varnholt::local_sql {

namespace {

constexpr std::string_view kNameDelimiters = " \t\r\n'\"`:,;()=<>+-*/";

bool IsQuote(char c) { return c == '\'' || c == '"' || c == '`'; }

}  // namespace

ParsedParameters ParseParameters(std::string_view text) {
  ParsedParameters result;
  result.text.reserve(text.size());  // never longer than the statement
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      result.text += c;
      continue;
    }
    if (IsQuote(c)) {
      quote = c;
      result.text += c;
      continue;
    }
    if (c == ':' && i + 1 < text.size() && text[i + 1] == ':') {
      result.text += ':';
      ++i;
      continue;
    }
    if (c == ':') {
      size_t end = i + 1;
      while (end < text.size() && kNameDelimiters.find(text[end]) == std::string_view::npos) {
        ++end;
      }
      if (end > i + 1) {
        result.parameters.emplace_back(text.substr(i + 1, end - i - 1));
        result.text.append(text.substr(i, end - i));
        i = end - 1;
        continue;
      }
    }
    result.text += c;
  }
  return result;
}

}  // namespace varnholt::local_sql
