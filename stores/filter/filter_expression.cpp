#include "stores/filter/filter_expression.h"

#include <utility>

#include "stores/filter/filter_evaluator.h"
#include "stores/filter/filter_parser.h"

namespace varnholt::filter {

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
  return Expression(std::string(text), dialect, ParseFilter(text, dialect));
}

std::optional<SimpleEquality> Expression::AsSimpleEquality() const {
  if (!root_ || root_->type != Node::Type::kCompare || root_->op != CompareOp::kEqual ||
      root_->literal.kind == Literal::Kind::kNull) {
    return std::nullopt;
  }
  return SimpleEquality{root_->field, root_->literal};
}

BoundFilter Expression::Bind(const Schema& schema) const {
  if (!root_) return BoundFilter(dialect_, nullptr);
  return BoundFilter(dialect_, BindNode(*root_, schema, dialect_, text_));
}

BoundFilter::BoundFilter(Dialect dialect, std::shared_ptr<const BoundNode> root)
    : dialect_(dialect), root_(std::move(root)) {}

bool BoundFilter::Matches(const RowView& row) const { return !root_ || Evaluate(*root_, dialect_, row); }

}  // namespace varnholt::filter
