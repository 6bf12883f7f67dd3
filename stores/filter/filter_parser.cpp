#include "stores/filter/filter_parser.h"

#include <optional>
#include <utility>

#include "base/ascii.h"
#include "stores/filter/filter_lexer.h"
#include "stores/filter/filter_literals.h"

namespace varnholt::filter {

namespace {

// Field values are pasted into filter texts unescaped, and the tree is parsed, bound, evaluated and
// freed recursively: these bounds keep a hostile text from exhausting the stack.
constexpr int kMaxNesting = 100;       // parentheses and NOTs open at once
constexpr int kMaxComparisons = 1000;  // comparisons in one filter

class Parser {
 public:
  Parser(std::string_view text, Dialect dialect) : text_(text), dialect_(dialect), lexer_(text, dialect) {}

  // Reads `field = 'text'` or `field = number` and nothing else, the form nearly every filter
  // takes, without the general descent; nullptr for any other text, which the general parser then
  // reads from the start (a lexing error here is the one it would meet at the same token).
  std::shared_ptr<const Node> TrySimpleEquality() {
    Advance();
    const bool name = token().type == TokenType::kQuotedName ||
                      (token().type == TokenType::kName && !IsKeyword("AND") && !IsKeyword("OR") &&
                       !IsKeyword("NOT") && !IsKeyword("LIKE"));
    if (!name) return nullptr;
    const std::string_view field = token().text;  // names are views of the text, never unescaped
    Advance();
    if (token().type != TokenType::kOp || token().text != "=") return nullptr;
    Advance();
    if (token().type != TokenType::kString && token().type != TokenType::kNumber) return nullptr;
    auto node = std::make_shared<Node>();
    node->field = field;
    node->op = CompareOp::kEqual;
    node->literal.text = token().text;
    if (token().type == TokenType::kString) {
      node->literal.kind = Literal::Kind::kText;
    } else {
      node->literal.kind = Literal::Kind::kNumber;
      node->literal.number = lexer_.number().value_or(0);
    }
    Advance();
    if (token().type != TokenType::kEnd) return nullptr;
    return node;
  }

  std::shared_ptr<const Node> ParseAll() {
    Advance();
    if (token().type == TokenType::kEnd) return nullptr;
    auto root = ParseOr();
    if (token().type != TokenType::kEnd) {
      Fail(token().type == TokenType::kRightParen ? "')' without its '('" : "AND or OR is expected",
           token().position);
    }
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& reason, size_t position) const {
    throw FilterSyntaxError(text_, reason, position + 1);
  }

  bool IsKeyword(std::string_view word) const {
    return token().type == TokenType::kName && EqualsIgnoringAsciiCase(token().text, word);
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
    if (token().type == TokenType::kLeftParen) {
      EnterNesting();
      Advance();
      auto inner = ParseOr();
      if (token().type != TokenType::kRightParen) Fail("')' is expected", token().position);
      Advance();
      --nesting_;
      return inner;
    }
    return ParseComparison();
  }

  void EnterNesting() {
    if (++nesting_ > kMaxNesting) Fail("parentheses and NOT nest too deeply", token().position);
  }

  std::shared_ptr<const Node> ParseComparison() {
    if (++comparisons_ > kMaxComparisons) Fail("the filter holds too many comparisons", token().position);
    auto node = std::make_shared<Node>();
    if (token().type == TokenType::kQuotedName ||
        (token().type == TokenType::kName && !IsKeyword("AND") && !IsKeyword("OR") && !IsKeyword("NOT") &&
         !IsKeyword("LIKE"))) {
      node->field = token().text;
    } else {
      Fail("a field name is expected", token().position);
    }
    Advance();
    if (token().type == TokenType::kOp) {
      const std::string_view op = token().text;
      node->op = op == "=" ? CompareOp::kEqual
                 : op == "<>" ? CompareOp::kNotEqual
                 : op == "<" ? CompareOp::kLess
                 : op == ">" ? CompareOp::kGreater
                 : op == "<=" ? CompareOp::kLessEqual
                              : CompareOp::kGreaterEqual;
    } else if (IsKeyword("LIKE")) {
      node->op = CompareOp::kLike;
    } else {
      Fail("a comparison operator is expected after '" + node->field + "'", token().position);
    }
    std::string op_text = node->op == CompareOp::kLike ? std::string("LIKE") : std::string(token().text);
    Advance();
    Literal& literal = node->literal;
    switch (token().type) {
      case TokenType::kString:
        literal.kind = Literal::Kind::kText;
        literal.text = token().text;
        break;
      case TokenType::kNumber:
        literal.kind = Literal::Kind::kNumber;
        literal.text = token().text;
        literal.number = lexer_.number().value_or(0);
        break;
      case TokenType::kDate: {
        auto day_count = ReadDate(token().text);
        if (!day_count) Fail("'#" + std::string(token().text) + "#' is not a date", token().position);
        literal.kind = Literal::Kind::kDate;
        literal.text = token().text;
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
          Fail("a value is expected after '" + op_text + "'", token().position);
        }
        break;
      default:
        Fail("a value is expected after '" + op_text + "'", token().position);
    }
    if (node->op == CompareOp::kLike && literal.kind == Literal::Kind::kNull) {
      Fail("LIKE needs a pattern", token().position);
    }
    Advance();
    return node;
  }

  void Advance() { lexer_.Advance(); }
  const Token& token() const { return lexer_.token(); }

  std::string_view text_;
  Dialect dialect_;
  Lexer lexer_;
  int nesting_ = 0;
  int comparisons_ = 0;
};

}  // namespace

std::shared_ptr<const Node> ParseFilter(std::string_view text, Dialect dialect) {
  auto root = Parser(text, dialect).TrySimpleEquality();
  if (!root) root = Parser(text, dialect).ParseAll();
  return root;
}

}  // namespace varnholt::filter
