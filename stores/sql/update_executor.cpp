#include "stores/sql/update_executor.h"

#include <limits>
#include <optional>
#include <string>

#include "base/store_error.h"
#include "stores/paradox/field_conversion.h"

namespace varnholt::local_sql {

namespace {

constexpr char kInvalidFieldName[] = "Invalid field name.";
constexpr char kFieldTwice[] = "Field specified more than once.";
constexpr char kTypeMismatch[] = "Type mismatch in expression.";

enum class Truth { kFalse, kTrue, kUnknown };

Truth FromBool(bool value) { return value ? Truth::kTrue : Truth::kFalse; }

bool IsNull(const paradox::Value& value) { return std::holds_alternative<paradox::Null>(value); }

bool IsNumber(const paradox::Value& value) {
  return std::holds_alternative<int64_t>(value) || std::holds_alternative<double>(value);
}

double AsDouble(const paradox::Value& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return static_cast<double>(*i);
  return std::get<double>(value);
}

std::string Position(const Token& token) {
  return "\nLine Number: " + std::to_string(token.line);
}

SqlError FieldError(const char* description, const std::string& column,
                    const paradox::Table& table, const Token& token) {
  return SqlError(std::string(description) + "\nField: " + column + "\nTable: " + table.path() +
                  Position(token));
}

class Evaluator {
 public:
  Evaluator(paradox::Table& table, const RegionalSettings& settings)
      : table_(table), settings_(settings) {}

  void Bind(Expr& node) {
    if (node.kind == Expr::Kind::kColumn) {
      node.field = table_.FindField(node.column);
      if (node.field < 0) throw FieldError(kInvalidFieldName, node.column, table_, node.token);
    }
    if (node.left) Bind(*node.left);
    if (node.right) Bind(*node.right);
  }

  static bool HasColumns(const Expr& node) {
    if (node.kind == Expr::Kind::kColumn) return true;
    return (node.left && HasColumns(*node.left)) || (node.right && HasColumns(*node.right));
  }

  // REQUIRES: row is null only for an expression without columns.
  paradox::Value ValueOf(const Expr& node, const paradox::Record* row) const {
    switch (node.kind) {
      case Expr::Kind::kLiteral:
        return node.literal;
      case Expr::Kind::kColumn:
        return (*row)[node.field];
      case Expr::Kind::kNegate: {
        paradox::Value value = ValueOf(*node.left, row);
        if (IsNull(value)) return value;
        if (const auto* i = std::get_if<int64_t>(&value)) {
          if (*i != std::numeric_limits<int64_t>::min()) return -*i;
        }
        if (!IsNumber(value)) throw TokenError(kTypeMismatch, node.token);
        return -AsDouble(value);
      }
      case Expr::Kind::kAdd:
      case Expr::Kind::kSubtract: {
        paradox::Value left = ValueOf(*node.left, row);
        paradox::Value right = ValueOf(*node.right, row);
        bool add = node.kind == Expr::Kind::kAdd;
        if (add && std::holds_alternative<std::string>(left) &&
            std::holds_alternative<std::string>(right)) {
          return std::get<std::string>(left) + std::get<std::string>(right);
        }
        bool left_ok = IsNull(left) || IsNumber(left) ||
                       (add && std::holds_alternative<std::string>(left));
        bool right_ok = IsNull(right) || IsNumber(right) ||
                        (add && std::holds_alternative<std::string>(right));
        if (!left_ok || !right_ok ||
            (!IsNull(left) && !IsNull(right) && IsNumber(left) != IsNumber(right))) {
          throw TokenError(kTypeMismatch, node.token);
        }
        if (IsNull(left) || IsNull(right)) return paradox::Null{};
        const auto* a = std::get_if<int64_t>(&left);
        const auto* b = std::get_if<int64_t>(&right);
        int64_t whole = 0;
        if (a && b &&
            !(add ? __builtin_add_overflow(*a, *b, &whole) : __builtin_sub_overflow(*a, *b, &whole))) {
          return whole;
        }
        return add ? AsDouble(left) + AsDouble(right) : AsDouble(left) - AsDouble(right);
      }
      default:
        throw TokenError(kTypeMismatch, node.token);
    }
  }

  Truth TruthOf(const Expr& node, const paradox::Record* row) const {
    switch (node.kind) {
      case Expr::Kind::kAnd: {
        Truth left = TruthOf(*node.left, row);
        if (left == Truth::kFalse) return Truth::kFalse;
        Truth right = TruthOf(*node.right, row);
        if (right == Truth::kFalse) return Truth::kFalse;
        return left == Truth::kTrue && right == Truth::kTrue ? Truth::kTrue : Truth::kUnknown;
      }
      case Expr::Kind::kOr: {
        Truth left = TruthOf(*node.left, row);
        if (left == Truth::kTrue) return Truth::kTrue;
        Truth right = TruthOf(*node.right, row);
        if (right == Truth::kTrue) return Truth::kTrue;
        return left == Truth::kFalse && right == Truth::kFalse ? Truth::kFalse : Truth::kUnknown;
      }
      case Expr::Kind::kNot: {
        Truth inner = TruthOf(*node.left, row);
        if (inner == Truth::kUnknown) return inner;
        return inner == Truth::kTrue ? Truth::kFalse : Truth::kTrue;
      }
      case Expr::Kind::kIsNull:
        return FromBool(IsNull(ValueOf(*node.left, row)) != node.negated);
      case Expr::Kind::kCompare:
        return Compare(node, row);
      default:
        throw TokenError(kTypeMismatch, node.token);
    }
  }

  // The constant side of `column = constant` as the column stores it, for the equality index.
  // nullopt: it matches no row.
  std::optional<paradox::Value> KeyFor(const Expr& column, const Expr& constant) const {
    paradox::Value value = ValueOf(constant, nullptr);
    const paradox::Field& field = table_.fields()[column.field];
    if (!SameKind(value, field)) {
      auto converted = ValueForField(field, value, settings_, /*cut_to_width=*/false);
      if (!converted) throw TokenError(kTypeMismatch, constant.token);
      value = *converted;
    }
    if (IsNull(value)) return std::nullopt;
    return value;
  }

 private:
  // True when the value already has the variant alternative the field decodes to.
  static bool SameKind(const paradox::Value& value, const paradox::Field& field) {
    using paradox::FieldType;
    switch (field.type) {
      case FieldType::kAlpha:
      case FieldType::kMemo:
      case FieldType::kFormattedMemo:
        return std::holds_alternative<std::string>(value);
      case FieldType::kShort:
      case FieldType::kLong:
      case FieldType::kAutoIncrement:
        return std::holds_alternative<int64_t>(value);
      case FieldType::kNumber:
      case FieldType::kMoney:
      case FieldType::kBcd:
        return std::holds_alternative<double>(value);
      case FieldType::kLogical:
        return std::holds_alternative<bool>(value);
      case FieldType::kDate:
        return std::holds_alternative<paradox::Date>(value);
      case FieldType::kTime:
        return std::holds_alternative<paradox::Time>(value);
      case FieldType::kTimestamp:
        return std::holds_alternative<paradox::Timestamp>(value);
      default:
        return false;
    }
  }

  // Orders two non-null values of one kind; nullopt when their kinds differ.
  static std::optional<int> Order(const paradox::Value& a, const paradox::Value& b) {
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if (IsNumber(a) && IsNumber(b)) {
      const auto* i = std::get_if<int64_t>(&a);
      const auto* j = std::get_if<int64_t>(&b);
      if (i && j) return sign(*i, *j);
      return sign(AsDouble(a), AsDouble(b));
    }
    if (a.index() != b.index()) return std::nullopt;
    if (const auto* s = std::get_if<std::string>(&a)) return sign(*s, std::get<std::string>(b));
    if (const auto* f = std::get_if<bool>(&a)) return sign(*f, std::get<bool>(b));
    if (const auto* d = std::get_if<paradox::Date>(&a)) {
      return sign(d->days, std::get<paradox::Date>(b).days);
    }
    if (const auto* t = std::get_if<paradox::Time>(&a)) {
      return sign(t->milliseconds, std::get<paradox::Time>(b).milliseconds);
    }
    if (const auto* t = std::get_if<paradox::Timestamp>(&a)) {
      return sign(t->milliseconds, std::get<paradox::Timestamp>(b).milliseconds);
    }
    return std::nullopt;
  }

  // A value of another kind than the column it meets is read as the column reads it.
  paradox::Value Coerce(const paradox::Value& value, const Expr& column_side,
                        const Expr& value_side) const {
    const paradox::Field& field = table_.fields()[column_side.field];
    if (SameKind(value, field)) return value;
    auto converted = ValueForField(field, value, settings_, /*cut_to_width=*/false);
    if (!converted) throw TokenError(kTypeMismatch, value_side.token);
    return *converted;
  }

  Truth Compare(const Expr& node, const paradox::Record* row) const {
    paradox::Value left = ValueOf(*node.left, row);
    paradox::Value right = ValueOf(*node.right, row);
    if (IsNull(left) || IsNull(right)) return Truth::kUnknown;
    std::optional<int> order = Order(left, right);
    if (!order) {
      if (node.left->kind == Expr::Kind::kColumn) {
        right = Coerce(right, *node.left, *node.right);
      } else if (node.right->kind == Expr::Kind::kColumn) {
        left = Coerce(left, *node.right, *node.left);
      } else {
        throw TokenError(kTypeMismatch, node.token);
      }
      if (IsNull(left) || IsNull(right)) return Truth::kUnknown;
      order = Order(left, right);
      if (!order) throw TokenError(kTypeMismatch, node.token);
    }
    switch (node.op) {
      case Expr::Op::kEqual: return FromBool(*order == 0);
      case Expr::Op::kNotEqual: return FromBool(*order != 0);
      case Expr::Op::kLess: return FromBool(*order < 0);
      case Expr::Op::kGreater: return FromBool(*order > 0);
      case Expr::Op::kLessEqual: return FromBool(*order <= 0);
      case Expr::Op::kGreaterEqual: return FromBool(*order >= 0);
    }
    return Truth::kUnknown;
  }

  paradox::Table& table_;
  const RegionalSettings& settings_;
};

// The first `column = constant` among the conditions the WHERE requires (its AND operands, left
// to right); null when there is none.
const Expr* KeyConjunct(const Expr& node) {
  if (node.kind == Expr::Kind::kAnd) {
    const Expr* left = KeyConjunct(*node.left);
    return left != nullptr ? left : KeyConjunct(*node.right);
  }
  if (node.kind != Expr::Kind::kCompare || node.op != Expr::Op::kEqual) return nullptr;
  const Expr* column = node.left.get();
  const Expr* constant = node.right.get();
  if (column->kind != Expr::Kind::kColumn) std::swap(column, constant);
  if (column->kind != Expr::Kind::kColumn || Evaluator::HasColumns(*constant)) return nullptr;
  return &node;
}

// The rows the WHERE can select: those of the first `column = constant` it requires, from the
// engine's index; every row when it requires none.
std::vector<paradox::RowId> CandidateRows(const UpdateStatement& statement,
                                          paradox::Table& table, const Evaluator& evaluator) {
  if (statement.where) {
    if (const Expr* conjunct = KeyConjunct(*statement.where)) {
      const Expr* column = conjunct->left.get();
      const Expr* constant = conjunct->right.get();
      if (column->kind != Expr::Kind::kColumn) std::swap(column, constant);
      auto key = evaluator.KeyFor(*column, *constant);
      if (!key) return {};
      return table.FindEqual(column->field, *key);
    }
  }
  return table.Rows();
}

// Looks up the statement's column names in the table. Throws SqlError for a name the table lacks
// or an assignment to a field named twice.
void BindColumns(UpdateStatement& statement, paradox::Table& table, Evaluator& evaluator) {
  statement.bound_table = nullptr;
  std::vector<bool> assigned(table.fields().size(), false);
  for (Assignment& assignment : statement.assignments) {
    assignment.field = table.FindField(assignment.column);
    if (assignment.field < 0) {
      throw FieldError(kInvalidFieldName, assignment.column, table, assignment.token);
    }
    if (assigned[assignment.field]) {
      throw FieldError(kFieldTwice, assignment.column, table, assignment.token);
    }
    assigned[assignment.field] = true;
    evaluator.Bind(*assignment.value);
  }
  if (statement.where) evaluator.Bind(*statement.where);
  statement.bound_table = &table;
  statement.bound_loads = table.load_count();
}

}  // namespace

std::vector<std::pair<paradox::RowId, paradox::Record>> PlanUpdate(
    UpdateStatement& statement, paradox::Table& table, const RegionalSettings& settings) {
  Evaluator evaluator(table, settings);
  // The names stand in the statement's shape, so a kept statement run again on the same table
  // binds as it did before.
  if (statement.bound_table != &table || statement.bound_loads != table.load_count()) {
    BindColumns(statement, table, evaluator);
  }

  std::vector<std::pair<paradox::RowId, paradox::Record>> plan;
  paradox::Value computed;
  for (paradox::RowId row : CandidateRows(statement, table, evaluator)) {
    // Read in place: nothing else is read from the table until this row's record is built.
    const paradox::Record& old_record = table.Get(row);
    if (statement.where && evaluator.TruthOf(*statement.where, &old_record) != Truth::kTrue) {
      continue;
    }
    paradox::Record record = old_record;
    for (const Assignment& assignment : statement.assignments) {
      const paradox::Field& field = table.fields()[assignment.field];
      const paradox::Value* value = &assignment.value->literal;
      if (assignment.value->kind != Expr::Kind::kLiteral) {
        computed = evaluator.ValueOf(*assignment.value, &old_record);
        value = &computed;
      }
      auto converted = ValueForField(field, *value, settings);
      if (!converted) {
        throw InvalidFieldValue(InvalidValueMessage(field.name) + Position(assignment.token), field.name,
                                TextFromValue(*value, settings));
      }
      record[assignment.field] = std::move(*converted);
    }
    plan.emplace_back(row, std::move(record));
  }
  return plan;
}

}  // namespace varnholt::local_sql
