// The filter evaluator: a syntax tree bound to a table's fields, then decided row by row;
// internal to the filter core.
#ifndef VARNHOLT_STORES_FILTER_FILTER_EVALUATOR_H_
#define VARNHOLT_STORES_FILTER_FILTER_EVALUATOR_H_

#include <memory>
#include <optional>
#include <string>

#include "stores/filter/filter_expression.h"
#include "stores/filter/filter_parser.h"

namespace varnholt::filter {

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

// `node` with its fields resolved in `schema` and its literals read as each field's kind compares
// them. Throws StoreError 'Filter "<text>" cannot be applied: field '<name>' not found'.
std::shared_ptr<const BoundNode> BindNode(const Node& node, const Schema& schema, Dialect dialect,
                                          const std::string& text);

// True when `row` passes the bound tree (comparison rules in filter_expression.h).
bool Evaluate(const BoundNode& node, Dialect dialect, const RowView& row);

}  // namespace varnholt::filter

#endif  // VARNHOLT_STORES_FILTER_FILTER_EVALUATOR_H_
