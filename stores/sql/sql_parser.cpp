#include "stores/sql/sql_parser.h"

#include <charconv>
#include <utility>

namespace varnholt::local_sql {

namespace {

constexpr char kSyntaxError[] = "Syntax error in SQL statement.";
constexpr char kInvalidKeyword[] = "Invalid use of keyword.";
constexpr char kTypeMismatch[] = "Type mismatch in expression.";
constexpr char kBadNumber[] = "Invalid number in SQL statement.";
constexpr char kTooComplex[] = "Expression too complex in SQL statement.";

// Source values reach statements unescaped, and the tree is parsed, evaluated and freed
// recursively: these bounds keep a hostile text from exhausting the stack.
constexpr int kMaxNesting = 100;    // parentheses, NOTs and unary minus signs open at once
constexpr int kMaxNodes = 5000;     // expression nodes in one statement

constexpr std::string_view kReserved[] = {"UPDATE", "SET", "WHERE", "AND", "OR",
                                          "NOT",    "IS",  "NULL"};

bool IsReserved(const Token& token) {
  for (std::string_view word : kReserved) {
    if (IsKeyword(token, word)) return true;
  }
  return false;
}

bool IsSymbol(const Token& token, std::string_view symbol) {
  return token.kind == TokenKind::kSymbol && token.text == symbol;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  UpdateStatement Statement() {
    UpdateStatement statement;
    ExpectKeyword("UPDATE");
    statement.table_token = Peek();
    statement.table = TableName();
    ExpectKeyword("SET");
    do {
      statement.assignments.push_back(AssignmentItem());
    } while (Accept(","));
    if (IsKeyword(Peek(), "WHERE")) {
      Next();
      statement.where = Condition();
    }
    Accept(";");
    if (Peek().kind != TokenKind::kEnd) Fail(Peek());
    statement.string_values = std::move(string_values_);
    return statement;
  }

 private:
  const Token& Peek() const {
    const Token& token = tokens_[pos_];
    if (token.kind == TokenKind::kInvalid) throw TokenError(token.text, token);
    return token;
  }
  const Token& Next() {
    const Token& token = tokens_[pos_];
    if (token.kind != TokenKind::kEnd) ++pos_;
    return token;
  }
  // Next() for a token that becomes a node's: moved out, since the parser never looks back.
  Token TakeNext() {
    Token& token = tokens_[pos_];
    if (token.kind == TokenKind::kEnd) return token;
    ++pos_;
    return std::move(token);
  }
  bool Accept(std::string_view symbol) {
    if (!IsSymbol(Peek(), symbol)) return false;
    Next();
    return true;
  }
  std::unique_ptr<Expr> MakeNode(Expr::Kind kind, Token token) {
    if (++nodes_ > kMaxNodes) throw TokenError(kTooComplex, token);
    auto node = std::make_unique<Expr>();
    node->kind = kind;
    node->token = std::move(token);
    return node;
  }
  void EnterNesting(const Token& token) {
    if (++nesting_ > kMaxNesting) throw TokenError(kTooComplex, token);
  }

  [[noreturn]] void Fail(const Token& token) {
    throw TokenError(token.kind == TokenKind::kName && IsReserved(token) ? kInvalidKeyword
                                                                         : kSyntaxError,
                     token);
  }
  void ExpectKeyword(std::string_view keyword) {
    if (!IsKeyword(Peek(), keyword)) Fail(Peek());
    Next();
  }
  void ExpectSymbol(std::string_view symbol) {
    if (!Accept(symbol)) Fail(Peek());
  }

  std::string TableName() {
    const Token& first = Peek();
    if (first.kind == TokenKind::kString) return Next().text;
    if (first.kind != TokenKind::kName || IsReserved(first)) Fail(first);
    std::string name = Next().text;
    if (IsSymbol(Peek(), ".")) {
      Next();
      const Token& extension = Peek();
      if (extension.kind != TokenKind::kName || IsReserved(extension)) Fail(extension);
      name += "." + Next().text;
    }
    return name;
  }

  Assignment AssignmentItem() {
    const Token& column = Peek();
    if (column.kind != TokenKind::kName || IsReserved(column)) Fail(column);
    Assignment assignment;
    assignment.token = TakeNext();
    assignment.column = assignment.token.text;
    ExpectSymbol("=");
    assignment.value = Value();
    return assignment;
  }

  std::unique_ptr<Expr> Value() {
    auto node = Or();
    if (node->IsCondition()) throw TokenError(kTypeMismatch, node->token);
    return node;
  }

  std::unique_ptr<Expr> Condition() {
    Token start = Peek();
    auto node = Or();
    if (!node->IsCondition()) throw TokenError(kTypeMismatch, start);
    return node;
  }

  // Both operands of AND, OR and NOT must be conditions.
  void RequireCondition(const Expr& node) {
    if (!node.IsCondition()) throw TokenError(kTypeMismatch, node.token);
  }
  void RequireValue(const Expr& node) {
    if (node.IsCondition()) throw TokenError(kTypeMismatch, node.token);
  }

  std::unique_ptr<Expr> Or() {
    auto left = And();
    while (IsKeyword(Peek(), "OR")) {
      auto node = MakeNode(Expr::Kind::kOr, TakeNext());
      RequireCondition(*left);
      node->left = std::move(left);
      node->right = And();
      RequireCondition(*node->right);
      left = std::move(node);
    }
    return left;
  }

  std::unique_ptr<Expr> And() {
    auto left = Not();
    while (IsKeyword(Peek(), "AND")) {
      auto node = MakeNode(Expr::Kind::kAnd, TakeNext());
      RequireCondition(*left);
      node->left = std::move(left);
      node->right = Not();
      RequireCondition(*node->right);
      left = std::move(node);
    }
    return left;
  }

  std::unique_ptr<Expr> Not() {
    if (IsKeyword(Peek(), "NOT")) {
      EnterNesting(Peek());
      auto node = MakeNode(Expr::Kind::kNot, TakeNext());
      node->left = Not();
      RequireCondition(*node->left);
      --nesting_;
      return node;
    }
    return Comparison();
  }

  std::unique_ptr<Expr> Comparison() {
    auto left = Sum();
    const Token& token = Peek();
    if (IsKeyword(token, "IS")) {
      auto node = MakeNode(Expr::Kind::kIsNull, TakeNext());
      RequireValue(*left);
      if (IsKeyword(Peek(), "NOT")) {
        Next();
        node->negated = true;
      }
      ExpectKeyword("NULL");
      node->left = std::move(left);
      return node;
    }
    static constexpr std::pair<std::string_view, Expr::Op> kOps[] = {
        {"=", Expr::Op::kEqual},       {"<>", Expr::Op::kNotEqual},
        {"<", Expr::Op::kLess},        {">", Expr::Op::kGreater},
        {"<=", Expr::Op::kLessEqual},  {">=", Expr::Op::kGreaterEqual}};
    for (const auto& [symbol, op] : kOps) {
      if (IsSymbol(token, symbol)) {
        auto node = MakeNode(Expr::Kind::kCompare, TakeNext());
        node->op = op;
        RequireValue(*left);
        node->left = std::move(left);
        node->right = Sum();
        RequireValue(*node->right);
        return node;
      }
    }
    return left;
  }

  std::unique_ptr<Expr> Sum() {
    auto left = Unary();
    while (IsSymbol(Peek(), "+") || IsSymbol(Peek(), "-")) {
      Expr::Kind kind = Peek().text == "+" ? Expr::Kind::kAdd : Expr::Kind::kSubtract;
      auto node = MakeNode(kind, TakeNext());
      RequireValue(*left);
      node->left = std::move(left);
      node->right = Unary();
      RequireValue(*node->right);
      left = std::move(node);
    }
    return left;
  }

  std::unique_ptr<Expr> Unary() {
    if (IsSymbol(Peek(), "-")) {
      EnterNesting(Peek());
      auto node = MakeNode(Expr::Kind::kNegate, TakeNext());
      node->left = Unary();
      RequireValue(*node->left);
      --nesting_;
      return node;
    }
    return Primary();
  }

  std::unique_ptr<Expr> Primary() {
    const Token& token = Peek();
    switch (token.kind) {
      case TokenKind::kString: {
        auto node = MakeNode(Expr::Kind::kLiteral, TakeNext());
        node->literal = node->token.text;
        string_values_.push_back(node.get());
        return node;
      }
      case TokenKind::kNumber: {
        auto node = MakeNode(Expr::Kind::kLiteral, TakeNext());
        node->literal = NumberValue(node->token);
        return node;
      }
      case TokenKind::kName: {
        if (IsKeyword(token, "NULL")) {
          auto node = MakeNode(Expr::Kind::kLiteral, TakeNext());
          node->literal = paradox::Null{};
          return node;
        }
        if (IsReserved(token)) Fail(token);
        auto node = MakeNode(Expr::Kind::kColumn, TakeNext());
        node->column = node->token.text;
        return node;
      }
      case TokenKind::kSymbol:
        if (IsSymbol(token, "(")) {
          EnterNesting(token);
          Next();
          auto node = Or();
          ExpectSymbol(")");
          --nesting_;
          return node;
        }
        Fail(token);
      case TokenKind::kEnd:
      case TokenKind::kInvalid:
        break;
    }
    Fail(token);
  }

  static paradox::Value NumberValue(const Token& token) {
    const std::string& text = token.text;
    if (text.find_first_of(".eE") == std::string::npos) {
      int64_t whole = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), whole);
      if (ec == std::errc() && end == text.data() + text.size()) return whole;
    }
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) throw TokenError(kBadNumber, token);
    return value;
  }

  std::vector<Token> tokens_;
  std::vector<Expr*> string_values_;
  size_t pos_ = 0;
  int nesting_ = 0;
  int nodes_ = 0;
};

}  // namespace

bool Expr::IsCondition() const {
  switch (kind) {
    case Kind::kCompare:
    case Kind::kIsNull:
    case Kind::kAnd:
    case Kind::kOr:
    case Kind::kNot:
      return true;
    default:
      return false;
  }
}

UpdateStatement ParseUpdate(std::string_view statement) {
  return Parser(Tokenize(statement)).Statement();
}

}  // namespace varnholt::local_sql
