#include "stores/filter/filter_expression.h"
#include "base/ascii.h"
#include "base/calendar.h"
#include "base/case_fold.h"
#include "base/utf8.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace varnholt::filter {

struct Node {
  enum class Type { kAnd, kOr, kNot, kCompare };
  Type type = Type::kCompare;
  std::shared_ptr<const Node> left;   // kAnd, kOr, kNot
  std::shared_ptr<const Node> right;  // kAnd, kOr
  std::string field;                  // kCompare
  CompareOp op = CompareOp::kEqual;   // kCompare
  Literal literal;                    // kCompare
};

struct BoundNode {
  Node::Type type = Node::Type::kCompare;
  std::shared_ptr<const BoundNode> left;
  std::shared_ptr<const BoundNode> right;
  int field = 0;
  FieldKind kind = FieldKind::kText;
  CompareOp op = CompareOp::kEqual;
  bool literal_null = false;
  // The literal as the field's kind compares it: text (folded for kJet) or a number; neither when
  // the literal cannot be read as the field's kind (the comparison then fails).
  std::optional<std::string> text_operand;
  std::optional<double> number_operand;
  std::string like_pattern;  // LIKE: the pattern text, folded for kJet
};

namespace {

// Field values are pasted into filter texts unescaped, and the tree is parsed, bound, evaluated and
// freed recursively: these bounds keep a hostile text from exhausting the stack.
constexpr int kMaxNesting = 100;       // parentheses and NOTs open at once
constexpr int kMaxComparisons = 1000;  // comparisons in one filter

// ---------------------------------------------------------------------------------------------
// Text helpers

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameStart(char c) { return IsAsciiLetter(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }



// ---------------------------------------------------------------------------------------------
// Numbers and dates

std::string CanonicalNumber(double n) {
  if (n == 0) n = 0;  // -0 and 0 are one key
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  return std::string(buffer, result.ptr);
}

// A number as an index key: one text per value. Whole numbers (nearly every key: ids, codes) are
// written as integers, which is cheaper than the canonical form used for the rest; no text of the
// one form can be a text of the other, since a whole number below 2^53 has no second spelling and
// the canonical form of any other value reads back as that value.
std::string NumberKey(double n) {
  constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
  if (n != std::trunc(n) || std::fabs(n) >= kExactIntegers) return CanonicalNumber(n);
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(n));
  return std::string(buffer, result.ptr);
}

// The whole of `text` (blanks around allowed) as a number, or nullopt.
std::optional<double> ReadNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// Reads an unsigned decimal run at text[*i].
bool ReadInt(std::string_view text, size_t* i, int* out) {
  size_t start = *i;
  int value = 0;
  while (*i < text.size() && IsDigit(text[*i]) && *i - start < 9) value = value * 10 + (text[(*i)++] - '0');
  if (*i == start) return false;
  *out = value;
  return true;
}

// A date literal: yyyy-mm-dd, yyyy/mm/dd or m/d/yyyy, optionally followed by h:mm[:ss] [AM|PM].
std::optional<double> ReadDate(std::string_view text) {
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skip_blanks();
  int a = 0, b = 0, c = 0;
  size_t a_start = i;
  if (!ReadInt(text, &i, &a)) return std::nullopt;
  size_t a_len = i - a_start;
  if (i >= text.size() || (text[i] != '-' && text[i] != '/')) return std::nullopt;
  char sep = text[i++];
  if (!ReadInt(text, &i, &b)) return std::nullopt;
  if (i >= text.size() || text[i] != sep) return std::nullopt;
  ++i;
  if (!ReadInt(text, &i, &c)) return std::nullopt;
  int year, month, day;
  if (a_len == 4) {
    year = a, month = b, day = c;
  } else {
    month = a, day = b, year = c;
  }
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  int hour = 0, minute = 0, second = 0;
  skip_blanks();
  if (i < text.size()) {
    if (!ReadInt(text, &i, &hour)) return std::nullopt;
    if (i >= text.size() || text[i] != ':') return std::nullopt;
    ++i;
    if (!ReadInt(text, &i, &minute)) return std::nullopt;
    if (i < text.size() && text[i] == ':') {
      ++i;
      if (!ReadInt(text, &i, &second)) return std::nullopt;
    }
    skip_blanks();
    if (i + 2 <= text.size() && (EqualsIgnoringAsciiCase(text.substr(i, 2), "AM") ||
                                 EqualsIgnoringAsciiCase(text.substr(i, 2), "PM"))) {
      bool pm = EqualsIgnoringAsciiCase(text.substr(i, 2), "PM");
      if (hour < 1 || hour > 12) return std::nullopt;
      hour = hour % 12 + (pm ? 12 : 0);
      i += 2;
      skip_blanks();
    }
    if (i != text.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  }
  return DateTimeFromCivil(year, month, day, hour, minute, second);
}

// ---------------------------------------------------------------------------------------------
// Lexer and parser

enum class TokenType { kEnd, kName, kQuotedName, kString, kNumber, kDate, kOp, kLeftParen, kRightParen };

struct Token {
  TokenType type = TokenType::kEnd;
  // Name, unescaped string, number as written, date body, operator: a view of the filter text, or
  // of the parser's buffer for a string whose doubled quotes were undone.
  std::string_view text;
  size_t position = 0;  // 0-based byte offset in the filter text
};

class Parser {
 public:
  Parser(std::string_view text, Dialect dialect) : text_(text), dialect_(dialect) {}

  // Reads `field = 'text'` or `field = number` and nothing else, the form nearly every filter
  // takes, without the general descent; nullptr for any other text, which the general parser then
  // reads from the start (a lexing error here is the one it would meet at the same token).
  std::shared_ptr<const Node> TrySimpleEquality() {
    Advance();
    const bool name = token_.type == TokenType::kQuotedName ||
                      (token_.type == TokenType::kName && !IsKeyword("AND") && !IsKeyword("OR") &&
                       !IsKeyword("NOT") && !IsKeyword("LIKE"));
    if (!name) return nullptr;
    const std::string_view field = token_.text;  // names are views of the text, never unescaped
    Advance();
    if (token_.type != TokenType::kOp || token_.text != "=") return nullptr;
    Advance();
    if (token_.type != TokenType::kString && token_.type != TokenType::kNumber) return nullptr;
    auto node = std::make_shared<Node>();
    node->field = field;
    node->op = CompareOp::kEqual;
    node->literal.text = token_.text;
    if (token_.type == TokenType::kString) {
      node->literal.kind = Literal::Kind::kText;
    } else {
      node->literal.kind = Literal::Kind::kNumber;
      node->literal.number = token_number_.value_or(0);
    }
    Advance();
    if (token_.type != TokenType::kEnd) return nullptr;
    return node;
  }

  std::shared_ptr<const Node> ParseAll() {
    Advance();
    if (token_.type == TokenType::kEnd) return nullptr;
    auto root = ParseOr();
    if (token_.type != TokenType::kEnd) {
      Fail(token_.type == TokenType::kRightParen ? "')' without its '('" : "AND or OR is expected",
           token_.position);
    }
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& reason, size_t position) const {
    throw FilterSyntaxError(text_, reason, position + 1);
  }

  bool IsKeyword(std::string_view word) const {
    return token_.type == TokenType::kName && EqualsIgnoringAsciiCase(token_.text, word);
  }

  std::shared_ptr<const Node> ParseOr() {
    auto left = ParseAnd();
    while (IsKeyword("OR")) {
      Advance();
      auto node = std::make_shared<Node>();
      node->type = Node::Type::kOr;
      node->left = std::move(left);
      node->right = ParseAnd();
      left = std::move(node);
    }
    return left;
  }

  std::shared_ptr<const Node> ParseAnd() {
    auto left = ParseUnary();
    while (IsKeyword("AND")) {
      Advance();
      auto node = std::make_shared<Node>();
      node->type = Node::Type::kAnd;
      node->left = std::move(left);
      node->right = ParseUnary();
      left = std::move(node);
    }
    return left;
  }

  std::shared_ptr<const Node> ParseUnary() {
    if (dialect_ == Dialect::kParadox && IsKeyword("NOT")) {
      EnterNesting();
      Advance();
      auto node = std::make_shared<Node>();
      node->type = Node::Type::kNot;
      node->left = ParseUnary();
      --nesting_;
      return node;
    }
    if (token_.type == TokenType::kLeftParen) {
      EnterNesting();
      Advance();
      auto inner = ParseOr();
      if (token_.type != TokenType::kRightParen) Fail("')' is expected", token_.position);
      Advance();
      --nesting_;
      return inner;
    }
    return ParseComparison();
  }

  void EnterNesting() {
    if (++nesting_ > kMaxNesting) Fail("parentheses and NOT nest too deeply", token_.position);
  }

  std::shared_ptr<const Node> ParseComparison() {
    if (++comparisons_ > kMaxComparisons) Fail("the filter holds too many comparisons", token_.position);
    auto node = std::make_shared<Node>();
    if (token_.type == TokenType::kQuotedName ||
        (token_.type == TokenType::kName && !IsKeyword("AND") && !IsKeyword("OR") && !IsKeyword("NOT") &&
         !IsKeyword("LIKE"))) {
      node->field = token_.text;
    } else {
      Fail("a field name is expected", token_.position);
    }
    Advance();
    if (token_.type == TokenType::kOp) {
      const std::string_view op = token_.text;
      node->op = op == "=" ? CompareOp::kEqual
                 : op == "<>" ? CompareOp::kNotEqual
                 : op == "<" ? CompareOp::kLess
                 : op == ">" ? CompareOp::kGreater
                 : op == "<=" ? CompareOp::kLessEqual
                              : CompareOp::kGreaterEqual;
    } else if (IsKeyword("LIKE")) {
      node->op = CompareOp::kLike;
    } else {
      Fail("a comparison operator is expected after '" + node->field + "'", token_.position);
    }
    std::string op_text = node->op == CompareOp::kLike ? std::string("LIKE") : std::string(token_.text);
    Advance();
    Literal& literal = node->literal;
    switch (token_.type) {
      case TokenType::kString:
        literal.kind = Literal::Kind::kText;
        literal.text = token_.text;
        break;
      case TokenType::kNumber:
        literal.kind = Literal::Kind::kNumber;
        literal.text = token_.text;
        literal.number = token_number_.value_or(0);
        break;
      case TokenType::kDate: {
        auto day_count = ReadDate(token_.text);
        if (!day_count) Fail("'#" + std::string(token_.text) + "#' is not a date", token_.position);
        literal.kind = Literal::Kind::kDate;
        literal.text = token_.text;
        literal.number = *day_count;
        break;
      }
      case TokenType::kName:
        if (IsKeyword("NULL")) {
          literal.kind = Literal::Kind::kNull;
        } else if (IsKeyword("TRUE") || IsKeyword("FALSE")) {
          literal.kind = Literal::Kind::kBoolean;
          literal.number = IsKeyword("TRUE") ? 1 : 0;
          literal.text = IsKeyword("TRUE") ? "True" : "False";
        } else {
          Fail("a value is expected after '" + op_text + "'", token_.position);
        }
        break;
      default:
        Fail("a value is expected after '" + op_text + "'", token_.position);
    }
    if (node->op == CompareOp::kLike && literal.kind == Literal::Kind::kNull) {
      Fail("LIKE needs a pattern", token_.position);
    }
    Advance();
    return node;
  }

  // Reads the next token into token_.
  void Advance() {
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
      token_.type = TokenType::kNumber;
      size_t start = pos_;
      if (c == '-' || c == '+') ++pos_;
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
    } else if (IsNameStart(c)) {
      token_.type = TokenType::kName;
      size_t start = pos_;
      while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
      token_.text = text_.substr(start, pos_ - start);
    } else {
      Fail(std::string("unexpected character '") + c + "'", pos_);
    }
  }

  std::string_view text_;
  Dialect dialect_;
  size_t pos_ = 0;
  Token token_;
  std::optional<double> token_number_;  // the value of a kNumber token, read once by the lexer
  std::string unescaped_;               // a string token's text with its doubled quotes undone
  int nesting_ = 0;
  int comparisons_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Evaluation

// The literal read as a number for a field of a numeric kind.
std::optional<double> NumericOperand(FieldKind kind, const Literal& literal) {
  std::optional<double> value;
  switch (literal.kind) {
    case Literal::Kind::kNumber:
    case Literal::Kind::kDate:
    case Literal::Kind::kBoolean:
      value = literal.number;
      break;
    case Literal::Kind::kText:
      if (kind == FieldKind::kDate) value = ReadDate(literal.text);
      if (!value) value = ReadNumber(literal.text);
      break;
    case Literal::Kind::kNull:
      break;
  }
  if (value && kind == FieldKind::kBoolean) value = *value != 0 ? 1.0 : 0.0;
  return value;
}

std::string TextOperand(Dialect dialect, const Literal& literal) {
  return dialect == Dialect::kJet ? FoldCase(literal.text) : literal.text;
}

// Wildcard match: '*' and '%' any run, '_' and '?' one character (bytes of one UTF-8 sequence).
bool LikeMatch(std::string_view subject, std::string_view pattern) {
  size_t s = 0, p = 0;
  size_t star_p = std::string_view::npos, star_s = 0;
  // A lead byte's claimed length; a stray byte or a cut sequence is one character of one byte.
  auto char_len = [](std::string_view t, size_t i) {
    size_t n = Utf8SequenceLength(t[i]);
    return n != 0 && i + n <= t.size() ? n : 1;
  };
  while (s < subject.size()) {
    if (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) {
      star_p = p++;
      star_s = s;
    } else if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == '?')) {
      s += char_len(subject, s);
      ++p;
    } else if (p < pattern.size() && pattern[p] == subject[s]) {
      ++p;
      ++s;
    } else if (star_p != std::string_view::npos) {
      p = star_p + 1;
      star_s += char_len(subject, star_s);
      s = star_s;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) ++p;
  return p == pattern.size();
}

bool Compare(int order, CompareOp op) {
  switch (op) {
    case CompareOp::kEqual:
      return order == 0;
    case CompareOp::kNotEqual:
      return order != 0;
    case CompareOp::kLess:
      return order < 0;
    case CompareOp::kGreater:
      return order > 0;
    case CompareOp::kLessEqual:
      return order <= 0;
    case CompareOp::kGreaterEqual:
      return order >= 0;
    case CompareOp::kLike:
      break;
  }
  return false;
}

bool Evaluate(const BoundNode& node, Dialect dialect, const RowView& row);

}  // namespace

// ---------------------------------------------------------------------------------------------

FilterSyntaxError::FilterSyntaxError(std::string_view text, const std::string& reason, size_t position)
    : StoreError("Filter \"" + std::string(text) + "\" cannot be read: " + reason + " (at character " +
                 std::to_string(position) + ")"),
      reason_(reason),
      position_(position) {}


Expression::Expression(std::string text, Dialect dialect, std::shared_ptr<const Node> root)
    : text_(std::move(text)), dialect_(dialect), root_(std::move(root)) {}
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;
Expression::~Expression() = default;

Expression Expression::Parse(std::string_view text, Dialect dialect) {
  auto root = Parser(text, dialect).TrySimpleEquality();
  if (!root) root = Parser(text, dialect).ParseAll();
  return Expression(std::string(text), dialect, std::move(root));
}

std::optional<SimpleEquality> Expression::AsSimpleEquality() const {
  if (!root_ || root_->type != Node::Type::kCompare || root_->op != CompareOp::kEqual ||
      root_->literal.kind == Literal::Kind::kNull) {
    return std::nullopt;
  }
  return SimpleEquality{root_->field, root_->literal};
}

namespace {

std::shared_ptr<const BoundNode> BindNode(const Node& node, const Schema& schema, Dialect dialect,
                                                   const std::string& text) {
  auto bound = std::make_shared<BoundNode>();
  bound->type = node.type;
  if (node.type != Node::Type::kCompare) {
    bound->left = BindNode(*node.left, schema, dialect, text);
    if (node.right) bound->right = BindNode(*node.right, schema, dialect, text);
    return bound;
  }
  std::optional<int> field = schema.FindField(node.field);
  if (!field) throw StoreError("Filter \"" + text + "\" cannot be applied: field '" + node.field + "' not found");
  bound->field = *field;
  bound->kind = schema.KindOf(*field);
  bound->op = node.op;
  bound->literal_null = node.literal.kind == Literal::Kind::kNull;
  if (node.op == CompareOp::kLike) {
    bound->like_pattern = TextOperand(dialect, node.literal);
  } else if (!bound->literal_null) {
    if (bound->kind == FieldKind::kText) {
      bound->text_operand = TextOperand(dialect, node.literal);
    } else {
      bound->number_operand = NumericOperand(bound->kind, node.literal);
    }
  }
  return bound;
}

bool Evaluate(const BoundNode& node, Dialect dialect, const RowView& row) {
  switch (node.type) {
    case Node::Type::kAnd:
      return Evaluate(*node.left, dialect, row) && Evaluate(*node.right, dialect, row);
    case Node::Type::kOr:
      return Evaluate(*node.left, dialect, row) || Evaluate(*node.right, dialect, row);
    case Node::Type::kNot:
      return !Evaluate(*node.left, dialect, row);
    case Node::Type::kCompare:
      break;
  }
  FieldValue value = row.Value(node.field);
  if (node.literal_null) {
    if (node.op == CompareOp::kEqual) return value.is_null;
    if (node.op == CompareOp::kNotEqual) return !value.is_null;
    return false;
  }
  if (value.is_null) return false;
  if (node.op == CompareOp::kLike) {
    std::string subject;
    if (node.kind == FieldKind::kText) {
      subject = dialect == Dialect::kJet ? FoldCase(value.text) : std::string(value.text);
    } else {
      subject = node.kind == FieldKind::kBoolean ? (value.number != 0 ? "1" : "0") : CanonicalNumber(value.number);
    }
    return LikeMatch(subject, node.like_pattern);
  }
  if (node.kind == FieldKind::kText) {
    int order = dialect == Dialect::kJet ? FoldCase(value.text).compare(*node.text_operand)
                                         : value.text.compare(*node.text_operand);
    return Compare(order, node.op);
  }
  if (!node.number_operand) return false;
  double number = value.number;
  if (node.kind == FieldKind::kBoolean) number = number != 0 ? 1 : 0;
  int order = number < *node.number_operand ? -1 : number > *node.number_operand ? 1 : 0;
  return Compare(order, node.op);
}

}  // namespace

BoundFilter Expression::Bind(const Schema& schema) const {
  if (!root_) return BoundFilter(dialect_, nullptr);
  return BoundFilter(dialect_, BindNode(*root_, schema, dialect_, text_));
}

BoundFilter::BoundFilter(Dialect dialect, std::shared_ptr<const BoundNode> root)
    : dialect_(dialect), root_(std::move(root)) {}

bool BoundFilter::Matches(const RowView& row) const { return !root_ || Evaluate(*root_, dialect_, row); }

std::optional<std::string> ValueKey(FieldKind kind, Dialect dialect, const FieldValue& value) {
  if (value.is_null) return std::nullopt;
  switch (kind) {
    case FieldKind::kText:
      return dialect == Dialect::kJet ? FoldCase(value.text) : std::string(value.text);
    case FieldKind::kBoolean:
      return std::string(value.number != 0 ? "1" : "0");
    case FieldKind::kNumber:
    case FieldKind::kDate:
      return NumberKey(value.number);
  }
  return std::nullopt;
}

std::optional<std::string> LiteralKey(FieldKind kind, Dialect dialect, const Literal& literal) {
  if (literal.kind == Literal::Kind::kNull) return std::nullopt;
  if (kind == FieldKind::kText) return TextOperand(dialect, literal);
  std::optional<double> number = NumericOperand(kind, literal);
  if (!number) return std::nullopt;
  return NumberKey(*number);
}

}  // namespace varnholt::filter
