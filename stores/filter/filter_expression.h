// The filter-expression core shared by the source (Jet) and target (Paradox) table components: a
// parser for filter texts, an evaluator against rows the caller exposes, and the pieces a caller
// needs to answer a one-field equality filter from an index instead of a scan.
//
// Grammar (keywords and field names in any case; blanks between tokens ignored):
//
//   filter     := <blank> | or-expr
//   or-expr    := and-expr { OR and-expr }
//   and-expr   := unary { AND unary }
//   unary      := NOT unary                                  (kParadox only)
//               | '(' or-expr ')'
//               | comparison
//   comparison := field op value
//   field      := name | '[' any text but ']' ']'            (brackets: kJet only)
//                 | '"' any text but '"' '"'                 (double quotes: kParadox only)
//   name       := letter, digit, '_' or any non-ASCII character, repeated (not starting with a digit)
//   op         := '=' | '<>' | '<' | '>' | '<=' | '>=' | LIKE
//   value      := 'text' (a quote inside doubled: 'O''Brien')
//               | number ([+-] digits [. digits] [e [+-] digits])
//               | #date#  (yyyy-mm-dd or m/d/yyyy, optionally followed by h:mm[:ss] [AM|PM])
//               | NULL | TRUE | FALSE
//
// Comparison follows the field's kind:
//   - kNumber, kBoolean and kDate fields compare numerically. A quoted value is read as a number
//     (kDate: as a date) first; one that cannot be read matches no row. TRUE is 1, FALSE 0, and a
//     boolean field's value is 1 or 0 (any non-zero number counts as 1).
//   - kText fields compare text: kJet ignores case (simple case folding of Latin, Greek and Cyrillic
//     letters), kParadox compares exactly. An unquoted number compares as the text it is written as
//     ("code=3057" matches "3057", "code=03057" matches "03057").
//   - A null field value passes no comparison except "= NULL"; "<> NULL" passes every non-null value.
//   - LIKE: '*' and '%' stand for any run of characters, '_' and '?' for one character; the rest
//     compares as '=' does for text. A non-text field matches against its number written plainly.
//
// A text that cannot be parsed throws FilterSyntaxError; its message quotes the filter text.
#ifndef VARNHOLT_STORES_FILTER_FILTER_EXPRESSION_H_
#define VARNHOLT_STORES_FILTER_FILTER_EXPRESSION_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/case_fold.h"
#include "base/store_error.h"

namespace varnholt::filter {

// Which store's rules the text follows (see the grammar above).
enum class Dialect {
  kJet,      // ADO filter criteria: [bracketed] names, text compares ignoring case.
  kParadox,  // BDE filters: "quoted" names, NOT, text compares exactly.
};

// How a field's values compare.
enum class FieldKind { kText, kNumber, kBoolean, kDate };

// One field's value in one row as the evaluator sees it. The view must stay valid while the
// evaluator looks at it (during one Matches call).
struct FieldValue {
  bool is_null = true;
  double number = 0;      // kNumber; kBoolean (1 or 0); kDate (days since 1899-12-30, time as fraction)
  std::string_view text;  // kText (UTF-8)

  static FieldValue Null() { return FieldValue{}; }
  static FieldValue Text(std::string_view t) { return FieldValue{false, 0, t}; }
  static FieldValue Number(double n) { return FieldValue{false, n, {}}; }
};

// The fields of a table, as the filter binds to them.
class Schema {
 public:
  virtual ~Schema() = default;
  // The index of the field called `name` (any case), or nullopt.
  virtual std::optional<int> FindField(std::string_view name) const = 0;
  virtual FieldKind KindOf(int field) const = 0;
};

// One row, as the filter reads it.
class RowView {
 public:
  virtual ~RowView() = default;
  // REQUIRES: field came from the Schema the filter was bound to.
  virtual FieldValue Value(int field) const = 0;
};

enum class CompareOp { kEqual, kNotEqual, kLess, kGreater, kLessEqual, kGreaterEqual, kLike };

struct Literal {
  enum class Kind { kText, kNumber, kDate, kBoolean, kNull };
  Kind kind = Kind::kNull;
  std::string text;   // kText: the text with doubled quotes undone; kNumber: as written ("03057")
  double number = 0;  // kNumber: its value; kDate: day count; kBoolean: 1 or 0
};

// A filter text that cannot be parsed.
class FilterSyntaxError : public StoreError {
 public:
  // Message: Filter "<text>" cannot be read: <reason> (at character <position>)
  FilterSyntaxError(std::string_view text, const std::string& reason, size_t position);
  const std::string& reason() const { return reason_; }
  size_t position() const { return position_; }  // 1-based character of the text

 private:
  std::string reason_;
  size_t position_;
};

struct Node;       // The syntax tree; private to the core.
struct BoundNode;  // The tree with its fields resolved; private to the core.

// A one-field equality, `field = value`, that an index can answer.
struct SimpleEquality {
  std::string field;  // as written, brackets removed
  Literal value;      // never kNull
};

class BoundFilter;

// A parsed filter text. Cheap to move; immutable.
class Expression {
 public:
  // Parses `text`. Throws FilterSyntaxError. A blank text gives an expression that passes every row.
  static Expression Parse(std::string_view text, Dialect dialect);

  Expression(Expression&&) noexcept;
  Expression& operator=(Expression&&) noexcept;
  ~Expression();

  const std::string& Text() const { return text_; }
  Dialect GetDialect() const { return dialect_; }
  // True for a blank text: every row passes.
  bool PassesAll() const { return root_ == nullptr; }

  // The filter as `field = value` when it is nothing more than that (parentheses allowed, value
  // not NULL), for a caller that answers it from an index keyed with ValueKey/LiteralKey.
  std::optional<SimpleEquality> AsSimpleEquality() const;

  // Resolves the field names against `schema`. Throws StoreError
  // 'Filter "<text>" cannot be applied: field '<name>' not found' for a name the schema lacks.
  BoundFilter Bind(const Schema& schema) const;

 private:
  Expression(std::string text, Dialect dialect, std::shared_ptr<const Node> root);
  std::string text_;
  Dialect dialect_;
  std::shared_ptr<const Node> root_;
};

// A filter bound to a schema; decides row by row.
class BoundFilter {
 public:
  // True when `row` passes the filter.
  bool Matches(const RowView& row) const;

 private:
  friend class Expression;
  BoundFilter(Dialect dialect, std::shared_ptr<const BoundNode> root);
  Dialect dialect_;
  std::shared_ptr<const BoundNode> root_;  // null: passes all
};

// Index keys for one-field equality. For a field of kind `kind`:
//   ValueKey(v) == LiteralKey(l)  exactly when  `field = l` passes a row whose value is v.
// nullopt: the value (null) or literal (unreadable for that kind) matches nothing.
std::optional<std::string> ValueKey(FieldKind kind, Dialect dialect, const FieldValue& value);
std::optional<std::string> LiteralKey(FieldKind kind, Dialect dialect, const Literal& literal);

// Text compared the way kJet compares it (base/case_fold.h).
using ::varnholt::FoldCase;

}  // namespace varnholt::filter

#endif  // VARNHOLT_STORES_FILTER_FILTER_EXPRESSION_H_
