#include "stores/filter/filter_evaluator.h"

#include "base/case_fold.h"
#include "base/utf8.h"
#include "stores/filter/filter_literals.h"

namespace varnholt::filter {

namespace {

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

}  // namespace

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
