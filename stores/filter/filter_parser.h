// The filter parser: a filter text read into its syntax tree; internal to the filter core.
#ifndef VARNHOLT_STORES_FILTER_FILTER_PARSER_H_
#define VARNHOLT_STORES_FILTER_FILTER_PARSER_H_

#include <memory>
#include <string>
#include <string_view>

#include "stores/filter/filter_expression.h"

namespace varnholt::filter {

struct Node {
  enum class Type { kAnd, kOr, kNot, kCompare };
  Type type = Type::kCompare;
  std::shared_ptr<const Node> left;   // kAnd, kOr, kNot
  std::shared_ptr<const Node> right;  // kAnd, kOr
  std::string field;                  // kCompare
  CompareOp op = CompareOp::kEqual;   // kCompare
  Literal literal;                    // kCompare
};

// The tree of `text` (grammar in filter_expression.h); null for a blank text. Throws
// FilterSyntaxError for a text the grammar does not take, or one nesting parentheses and NOTs
// deeper than 100 or holding more than 1,000 comparisons.
std::shared_ptr<const Node> ParseFilter(std::string_view text, Dialect dialect);

}  // namespace varnholt::filter

#endif  // VARNHOLT_STORES_FILTER_FILTER_PARSER_H_
