#include "stores/sql/sql_lexer.h"

#include "base/utf8.h"

namespace varnholt::local_sql {

namespace {

constexpr char kUnterminatedString[] = "Unterminated string in SQL statement.";
constexpr char kInvalidCharacter[] = "Invalid character in SQL statement.";
constexpr char kEndOfStatement[] = "<end of statement>";
// How much of an unterminated string its message quotes.
constexpr size_t kShownCharacters = 40;

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNamePart(char c) { return IsNameStart(c) || IsDigit(c); }

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    // Statements are mostly short names and values between blanks: room enough for one pass.
    tokens.reserve(text_.size() / 4 + 2);
    try {
      Read(&tokens);
    } catch (Token& invalid) {
      tokens.push_back(std::move(invalid));
    }
    return tokens;
  }

 private:
  void Read(std::vector<Token>* out) {
    std::vector<Token>& tokens = *out;
    for (;;) {
      SkipBlanks();
      Token token;
      token.line = line_;
      token.column = column_;
      if (pos_ >= text_.size()) {
        token.kind = TokenKind::kEnd;
        token.source = kEndOfStatement;
        tokens.push_back(token);
        return;
      }
      size_t start = pos_;
      char c = text_[pos_];
      if (IsNameStart(c)) {
        token.kind = TokenKind::kName;
        while (pos_ < text_.size() && IsNamePart(text_[pos_])) Advance();
        token.text = std::string(text_.substr(start, pos_ - start));
      } else if (IsDigit(c) || (c == '.' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]))) {
        token.kind = TokenKind::kNumber;
        ReadNumber();
        token.text = std::string(text_.substr(start, pos_ - start));
      } else if (c == '\'' || c == '"') {
        token.kind = TokenKind::kString;
        token.text = ReadString(c, token, start);
      } else {
        token.kind = TokenKind::kSymbol;
        std::string_view two = text_.substr(pos_, 2);
        if (two == "<>" || two == "<=" || two == ">=") {
          Advance();
          Advance();
        } else if (std::string_view("=<>+-(),.;").find(c) != std::string_view::npos) {
          Advance();
        } else {
          token.kind = TokenKind::kInvalid;
          token.text = kInvalidCharacter;
          token.source = std::string(1, c);
          throw token;
        }
        token.text = std::string(text_.substr(start, pos_ - start));
      }
      token.source = std::string(text_.substr(start, pos_ - start));
      tokens.push_back(std::move(token));
    }
  }

  void Advance() {
    char c = text_[pos_++];
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if (c != '\r' && !IsUtf8Continuation(c)) {
      ++column_;
    }
  }

  void SkipBlanks() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' ||
            text_[pos_] == '\n')) {
      Advance();
    }
  }

  void ReadNumber() {
    while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
    if (pos_ < text_.size() && text_[pos_] == '.' &&
        (pos_ + 1 >= text_.size() || !IsNameStart(text_[pos_ + 1]))) {
      Advance();
      while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      size_t after = pos_ + 1;
      if (after < text_.size() && (text_[after] == '+' || text_[after] == '-')) ++after;
      if (after < text_.size() && IsDigit(text_[after])) {
        while (pos_ < after) Advance();
        while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
      }
    }
  }

  std::string ReadString(char quote, const Token& token, size_t start) {
    std::string value;
    // Most strings have no doubled quote: room for all of it up to the next quote.
    size_t closing = text_.find(quote, pos_ + 1);
    if (closing != std::string_view::npos) value.reserve(closing - pos_ - 1);
    Advance();  // the opening quote
    for (;;) {
      if (pos_ >= text_.size()) {
        Token opening = token;
        opening.kind = TokenKind::kInvalid;
        opening.text = kUnterminatedString;
        opening.source = std::string(text_.substr(start, kShownCharacters));
        throw opening;
      }
      char c = text_[pos_];
      if (c == quote) {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == quote) {
          value += quote;
          Advance();
          Advance();
          continue;
        }
        Advance();
        return value;
      }
      value += c;
      Advance();
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view statement) { return Lexer(statement).Run(); }

SqlError TokenError(const std::string& description, const Token& token) {
  std::string shown = token.source.empty() ? token.text : token.source;
  return SqlError(description + "\nToken: " + shown + "\nLine Number: " +
                  std::to_string(token.line) + "\nColumn: " + std::to_string(token.column));
}

bool IsKeyword(const Token& token, std::string_view keyword) {
  if (token.kind != TokenKind::kName || token.text.size() != keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i) {
    char a = token.text[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (a != keyword[i]) return false;
  }
  return true;
}

}  // namespace varnholt::local_sql
