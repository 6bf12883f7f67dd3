// The body of the local SQL fuzz target, shared with the regression tests: the front end as a
// statement component drives it (the parameter pass, then the lexer and the UPDATE parser), then
// the planning step of the executor against real master tables (binding, evaluation, conversion;
// it writes nothing). The tree must keep the parser's promises (assignments take values, WHERE
// takes a condition), and only store errors may escape; anything else aborts the run. A statement
// a component would keep for its shape must, given a text of that shape, be the tree the parser
// makes of that text.
#ifndef VARNHOLT_TESTS_FUZZ_LOCAL_SQL_FUZZ_H_
#define VARNHOLT_TESTS_FUZZ_LOCAL_SQL_FUZZ_H_

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/regional_settings.h"
#include "base/store_error.h"
#include "stores/sql/sql_lexer.h"
#include "stores/sql/sql_parser.h"
#include "stores/sql/statement_cache.h"
#include "stores/sql/statement_parameters.h"
#include "stores/sql/update_executor.h"
#include "stores/paradox/table.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tests/fuzz/fuzz_scratch.h"

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

// Same kinds, operators, columns and literals throughout.
inline bool SameExpr(const Expr& a, const Expr& b) {
  if (a.kind != b.kind || a.op != b.op || a.negated != b.negated || a.column != b.column ||
      !(a.literal == b.literal) || !a.left != !b.left || !a.right != !b.right) {
    return false;
  }
  return (!a.left || SameExpr(*a.left, *b.left)) && (!a.right || SameExpr(*a.right, *b.right));
}

inline bool SameStatement(const local_sql::UpdateStatement& a,
                          const local_sql::UpdateStatement& b) {
  if (a.table != b.table || a.assignments.size() != b.assignments.size() || !a.where != !b.where) {
    return false;
  }
  for (size_t i = 0; i < a.assignments.size(); ++i) {
    if (a.assignments[i].column != b.assignments[i].column ||
        !SameExpr(*a.assignments[i].value, *b.assignments[i].value)) {
      return false;
    }
  }
  return !a.where || SameExpr(*a.where, *b.where);
}

// The text with each string value changed but the shape kept: every value gains a doubled quote
// and a line break, which also moves all that follows. REQUIRES: every string is closed.
inline std::string OtherValues(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    out += c;
    if (c != '\'' && c != '"') continue;
    const char quote = c;
    for (++i; i < text.size(); ++i) {
      if (text[i] == quote && !(i + 1 < text.size() && text[i + 1] == quote)) break;
      out += text[i];
      if (text[i] == quote) out += text[++i];
    }
    out += std::string(2, quote) + "\n" + quote;
  }
  return out;
}

inline local_sql::UpdateStatement MustParse(std::string_view text) {
  try {
    return local_sql::ParseUpdate(text);
  } catch (const local_sql::SqlError&) {
    std::abort();
  }
}

// text parsed, and the parameter pass left it as it was.
inline void CheckKeptShape(std::string_view text) {
  local_sql::StatementCache cache;
  auto parsed = MustParse(text);
  Require(cache.Keep(text, parsed) != nullptr);
  local_sql::UpdateStatement* same = cache.Find(text);
  Require(same != nullptr && SameStatement(*same, MustParse(text)));
  const std::string other = OtherValues(text);
  Require(local_sql::ParseParameters(other).text == other);
  local_sql::UpdateStatement* kept = cache.Find(other);
  const auto fresh = MustParse(other);
  // A quoted table name is no value: changing it changes the shape.
  Require((kept == nullptr) == (fresh.table_token.kind == local_sql::TokenKind::kString));
  if (kept != nullptr) Require(SameStatement(*kept, fresh));
}

// The four master tables with three rows each, made and opened once per process; planning only
// reads them.
inline std::map<std::string, std::unique_ptr<paradox::Table>>& MasterTables() {
  static const std::filesystem::path dir = NewScratchFolder("varnholt_fuzz_sql");
  static std::map<std::string, std::unique_ptr<paradox::Table>> tables = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
    std::map<std::string, std::unique_ptr<paradox::Table>> opened;
    for (const auto& [file, schema] : paradox::VarnholtSchemas()) {
      const std::string path = (dir / file).string();
      paradox::Table::Create(path, schema);
      auto table = paradox::Table::Open(path, true);
      const char* codes[] = {"357", "4711", "7A"};
      for (const char* code : codes) {
        paradox::Record record(schema.fields.size(), paradox::Null{});
        record[0] = std::string(code);
        record[1] = std::string("O'Brien \"Jr\"");
        table->Insert(record);
      }
      opened[std::filesystem::path(file).stem().string()] = std::move(table);
    }
    return opened;
  }();
  return tables;
}

// The table a statement names (file name without extension, any case), else CH01MAST.
inline paradox::Table& TableFor(const std::string& name) {
  std::string stem = std::filesystem::path(name).stem().string();
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto& tables = MasterTables();
  auto found = tables.find(stem);
  return *(found != tables.end() ? found->second : tables.at("CH01MAST"));
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
    if (parsed.parameters.empty() && parsed.text == text) CheckKeptShape(text);
    try {
      (void)local_sql::PlanUpdate(statement, TableFor(statement.table), RegionalSettings{});
    } catch (const StoreError&) {
    }
  } catch (const local_sql::SqlError&) {
  }
}

}  // namespace varnholt::fuzz

#endif  // VARNHOLT_TESTS_FUZZ_LOCAL_SQL_FUZZ_H_
