// The body of the local SQL fuzz target, shared with the regression tests: the front end as a
// statement component drives it (the parameter pass, then the lexer and the UPDATE parser). Only
// SqlError may escape; the tree must keep the parser's promises (assignments take values, WHERE
// takes a condition). A broken promise aborts the run.
#ifndef VARNHOLT_TESTS_FUZZ_LOCAL_SQL_FUZZ_H_
#define VARNHOLT_TESTS_FUZZ_LOCAL_SQL_FUZZ_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "stores/target/local_sql/sql_lexer.h"
#include "stores/target/local_sql/sql_parser.h"
#include "stores/target/local_sql/statement_parameters.h"

namespace varnholt::fuzz {

using local_sql::Expr;

inline void Require(bool condition) {
  if (!condition) std::abort();
}

// Walks the tree (the depth is whatever the parser accepted) and checks each node's children.
inline void CheckExpr(const Expr& expr) {
  switch (expr.kind) {
    case Expr::Kind::kLiteral:
    case Expr::Kind::kColumn:
      Require(!expr.left && !expr.right);
      break;
    case Expr::Kind::kNegate:
    case Expr::Kind::kIsNull:
      Require(expr.left && !expr.left->IsCondition() && !expr.right);
      break;
    case Expr::Kind::kNot:
      Require(expr.left && expr.left->IsCondition() && !expr.right);
      break;
    case Expr::Kind::kAdd:
    case Expr::Kind::kSubtract:
    case Expr::Kind::kCompare:
      Require(expr.left && expr.right && !expr.left->IsCondition() && !expr.right->IsCondition());
      break;
    case Expr::Kind::kAnd:
    case Expr::Kind::kOr:
      Require(expr.left && expr.right && expr.left->IsCondition() && expr.right->IsCondition());
      break;
  }
  Require(expr.token.line >= 1 && expr.token.column >= 1);
  if (expr.left) CheckExpr(*expr.left);
  if (expr.right) CheckExpr(*expr.right);
}

inline void CheckTokens(std::string_view text) {
  const auto tokens = local_sql::Tokenize(text);
  Require(!tokens.empty());
  for (size_t i = 0; i < tokens.size(); ++i) {
    const auto& token = tokens[i];
    const bool last = i + 1 == tokens.size();
    const bool closing = token.kind == local_sql::TokenKind::kEnd ||
                         token.kind == local_sql::TokenKind::kInvalid;
    Require(last == closing);
    Require(token.line >= 1 && token.column >= 1);
  }
}

inline void FuzzLocalSql(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckTokens(text);
  const auto parsed = local_sql::ParseParameters(text);
  try {
    auto statement = local_sql::ParseUpdate(parsed.text);
    Require(!statement.assignments.empty());
    for (const auto& assignment : statement.assignments) {
      Require(assignment.value && !assignment.value->IsCondition());
      CheckExpr(*assignment.value);
    }
    if (statement.where) {
      Require(statement.where->IsCondition());
      CheckExpr(*statement.where);
    }
  } catch (const local_sql::SqlError&) {
  }
}

}  // namespace varnholt::fuzz

#endif  // VARNHOLT_TESTS_FUZZ_LOCAL_SQL_FUZZ_H_
