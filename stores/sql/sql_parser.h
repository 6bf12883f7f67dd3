// The statement the local SQL understands, parsed into a tree:
//
//   statement  := UPDATE table SET assignment { ',' assignment } [ WHERE expr ] [ ';' ]
//   table      := name [ '.' name ] | string           (a file name; the extension is optional)
//   assignment := column '=' expr
//   expr       := and-expr { OR and-expr }
//   and-expr   := not-expr { AND not-expr }
//   not-expr   := NOT not-expr | comparison
//   comparison := sum [ ( '=' | '<>' | '<' | '>' | '<=' | '>=' ) sum | IS [ NOT ] NULL ]
//   sum        := unary { ( '+' | '-' ) unary }
//   unary      := '-' unary | primary
//   primary    := string | number | NULL | column | '(' expr ')'
//
// Keywords and column names in any case. An assignment takes a value; WHERE takes a condition
// (a comparison, IS NULL, or AND/OR/NOT of conditions); mixing them up is a syntax error.
#ifndef VARNHOLT_STORES_SQL_SQL_PARSER_H_
#define VARNHOLT_STORES_SQL_SQL_PARSER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "stores/sql/sql_lexer.h"
#include "stores/paradox/table.h"

namespace varnholt::local_sql {

struct Expr {
  enum class Kind {
    kLiteral,  // literal
    kColumn,   // column (name as written)
    kAdd,      // left + right: texts joined, numbers added
    kSubtract,
    kNegate,   // - left
    kCompare,  // left op right
    kIsNull,   // left IS NULL (negated: IS NOT NULL)
    kAnd,
    kOr,
    kNot,      // NOT left
  };
  enum class Op { kEqual, kNotEqual, kLess, kGreater, kLessEqual, kGreaterEqual };

  Kind kind = Kind::kLiteral;
  Token token;  // where the node starts (or its operator), for messages
  paradox::Value literal;
  std::string column;
  int field = -1;  // the column's field index, filled in when the statement is bound to a table
  Op op = Op::kEqual;
  bool negated = false;
  std::unique_ptr<Expr> left;
  std::unique_ptr<Expr> right;

  // Comparisons, IS NULL, AND, OR and NOT are conditions; everything else is a value.
  bool IsCondition() const;
};

struct Assignment {
  std::string column;
  int field = -1;  // filled in when bound
  Token token;
  std::unique_ptr<Expr> value;
};

struct UpdateStatement {
  std::string table;  // file name as written
  Token table_token;
  std::vector<Assignment> assignments;
  std::unique_ptr<Expr> where;  // null: every row
  // The literal nodes of the string values after the table, in the order they are written, so a
  // statement of the same shape can be run again with other values (StatementCache).
  std::vector<Expr*> string_values;
  // The table the column names were last looked up in and its load count then: a statement run
  // again on the same table, not read again since, keeps its field indexes.
  const paradox::Table* bound_table = nullptr;
  uint64_t bound_loads = 0;
};

// Parses one UPDATE statement. Throws SqlError: the description, the offending token and its
// line and column.
UpdateStatement ParseUpdate(std::string_view statement);

}  // namespace varnholt::local_sql

#endif  // VARNHOLT_STORES_SQL_SQL_PARSER_H_
