// The filter lexer: a filter text cut into tokens, one at a time; internal to the filter core.
#ifndef VARNHOLT_STORES_FILTER_FILTER_LEXER_H_
#define VARNHOLT_STORES_FILTER_FILTER_LEXER_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "stores/filter/filter_expression.h"

namespace varnholt::filter {

enum class TokenType { kEnd, kName, kQuotedName, kString, kNumber, kDate, kOp, kLeftParen, kRightParen };

struct Token {
  TokenType type = TokenType::kEnd;
  // Name, unescaped string, number as written, date body, operator: a view of the filter text, or
  // of the parser's buffer for a string whose doubled quotes were undone.
  std::string_view text;
  size_t position = 0;  // 0-based byte offset in the filter text
};

class Lexer {
 public:
  // REQUIRES: `text` outlives the lexer and every token it gives.
  Lexer(std::string_view text, Dialect dialect) : text_(text), dialect_(dialect) {}

  // Reads the next token (kEnd at the end of the text). Throws FilterSyntaxError for text that
  // starts no token or a quoted text, date or bracketed name left open, naming its position.
  void Advance();

  const Token& token() const { return token_; }
  // The value of the last kNumber token.
  const std::optional<double>& number() const { return token_number_; }

 private:
  // At an opening quote: a quoted text, its doubled quotes undone.
  void ReadString();
  // At a digit, or a sign or point before one: a number, its value read at once.
  void ReadNumberToken();
  [[noreturn]] void Fail(const std::string& reason, size_t position) const {
    throw FilterSyntaxError(text_, reason, position + 1);
  }

  std::string_view text_;
  Dialect dialect_;
  size_t pos_ = 0;
  Token token_;
  std::optional<double> token_number_;  // the value of a kNumber token, read once by the lexer
  std::string unescaped_;               // a string token's text with its doubled quotes undone
};

}  // namespace varnholt::filter

#endif  // VARNHOLT_STORES_FILTER_FILTER_LEXER_H_
