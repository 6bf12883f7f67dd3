#include "stores/filter/filter_lexer.h"

#include "stores/filter/filter_literals.h"

namespace varnholt::filter {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameStart(char c) { return IsAsciiLetter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

}  // namespace

void Lexer::Advance() {
  while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  token_ = Token{};
  token_.position = pos_;
  if (pos_ >= text_.size()) return;
  char c = text_[pos_];
  if (c == '(' || c == ')') {
    token_.type = c == '(' ? TokenType::kLeftParen : TokenType::kRightParen;
    ++pos_;
  } else if (c == '=' || c == '<' || c == '>') {
    token_.type = TokenType::kOp;
    const size_t start = pos_++;
    if (c == '<' && pos_ < text_.size() && (text_[pos_] == '>' || text_[pos_] == '=')) {
      ++pos_;
    } else if (c == '>' && pos_ < text_.size() && text_[pos_] == '=') {
      ++pos_;
    }
    token_.text = text_.substr(start, pos_ - start);
  } else if (c == '\'') {
    ReadString();
  } else if (c == '#') {
    token_.type = TokenType::kDate;
    size_t end = text_.find('#', pos_ + 1);
    if (end == std::string_view::npos) Fail("the date is not closed with '#'", token_.position);
    token_.text = text_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = end + 1;
  } else if ((c == '[' && dialect_ == Dialect::kJet) || (c == '"' && dialect_ == Dialect::kParadox)) {
    char close = c == '[' ? ']' : '"';
    size_t end = text_.find(close, pos_ + 1);
    if (end == std::string_view::npos) {
      Fail(std::string("the field name is not closed with '") + close + "'", token_.position);
    }
    token_.type = TokenType::kQuotedName;
    token_.text = text_.substr(pos_ + 1, end - pos_ - 1);
    if (token_.text.empty()) Fail("the field name is empty", token_.position);
    pos_ = end + 1;
  } else if (IsDigit(c) || ((c == '-' || c == '+' || c == '.') && pos_ + 1 < text_.size() &&
                            (IsDigit(text_[pos_ + 1]) || text_[pos_ + 1] == '.'))) {
    ReadNumberToken();
  } else if (IsNameStart(c)) {
    token_.type = TokenType::kName;
    size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    token_.text = text_.substr(start, pos_ - start);
  } else {
    Fail(std::string("unexpected character '") + c + "'", pos_);
  }
}

void Lexer::ReadString() {
  token_.type = TokenType::kString;
  const size_t start = ++pos_;
  bool doubled = false;  // a quote written twice: the text must be copied to undo it
  for (;;) {
    size_t quote = text_.find('\'', pos_);
    if (quote == std::string_view::npos) Fail("the quoted text is not closed", token_.position);
    if (quote + 1 < text_.size() && text_[quote + 1] == '\'') {
      doubled = true;
      pos_ = quote + 2;
      continue;
    }
    pos_ = quote + 1;
    break;
  }
  token_.text = text_.substr(start, pos_ - 1 - start);
  if (doubled) {
    unescaped_.clear();
    for (size_t i = 0; i < token_.text.size(); ++i) {
      unescaped_ += token_.text[i];
      if (token_.text[i] == '\'') ++i;
    }
    token_.text = unescaped_;
  }
}

void Lexer::ReadNumberToken() {
  token_.type = TokenType::kNumber;
  size_t start = pos_;
  if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
  while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
  if (pos_ < text_.size() && text_[pos_] == '.') {
    ++pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
  }
  if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
    size_t exponent = pos_ + 1;
    if (exponent < text_.size() && (text_[exponent] == '+' || text_[exponent] == '-')) ++exponent;
    if (exponent < text_.size() && IsDigit(text_[exponent])) {
      pos_ = exponent;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
  }
  token_.text = text_.substr(start, pos_ - start);
  token_number_ = ReadNumber(token_.text);
  if (!token_number_) Fail("'" + std::string(token_.text) + "' is not a number", start);
}

}  // namespace varnholt::filter
