// The tokens of a local-SQL statement, with the line and column each starts at, for messages that
// point at the offending token.
#ifndef VARNHOLT_STORES_SQL_SQL_LEXER_H_
#define VARNHOLT_STORES_SQL_SQL_LEXER_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/store_error.h"

namespace varnholt::local_sql {

// A statement the local SQL refuses. The text is a description, then context lines (token,
// position, table, field), each once, one per line.
class SqlError : public StoreError {
 public:
  using StoreError::StoreError;
};

enum class TokenKind {
  kName,     // letters, digits, '_' (not starting with a digit); keywords are names too
  kString,   // 'text' or "text"; a doubled quote inside stands for one
  kNumber,   // digits [. digits] [e [+-] digits]
  kSymbol,   // = <> < > <= >= + - ( ) , . ;
  kInvalid,  // a character that starts no token, or a string without its closing quote; the
             // last token; text holds the description of the fault
  kEnd,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;    // kString: the text without quotes, doubled quotes undone; else as written
  std::string source;  // as written in the statement (quotes included)
  int line = 1;        // 1-based, lines end at LF (a CR before it belongs to the line end)
  int column = 1;      // 1-based character of the line
};

// Splits the statement into tokens, the last one kEnd or kInvalid (so a parser reports the first
// fault in reading order).
std::vector<Token> Tokenize(std::string_view statement);

// "Syntax error in SQL statement." (or another description), then "Token: <t>",
// "Line Number: <n>", "Column: <n>".
SqlError TokenError(const std::string& description, const Token& token);

bool IsKeyword(const Token& token, std::string_view keyword);

}  // namespace varnholt::local_sql

#endif  // VARNHOLT_STORES_SQL_SQL_LEXER_H_
