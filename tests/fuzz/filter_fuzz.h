// The body shared by the two filter fuzz targets (one per dialect): parse the text as a table
// component does, then bind it and evaluate it against a few rows, and check the index-key promise
// for one-field equalities. Only FilterSyntaxError (parse) and StoreError (bind) may escape the
// core; anything else, or a broken promise, aborts the run.
#ifndef VARNHOLT_TESTS_FUZZ_FILTER_FUZZ_H_
#define VARNHOLT_TESTS_FUZZ_FILTER_FUZZ_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "stores/filter/filter_expression.h"

namespace varnholt::fuzz {

// Accepts every field name; its kind follows from the name, so all four kinds get exercised.
class AnySchema : public filter::Schema {
 public:
  std::optional<int> FindField(std::string_view name) const override {
    return static_cast<int>(name.size() % 4);
  }
  filter::FieldKind KindOf(int field) const override { return static_cast<filter::FieldKind>(field); }
};

// Every field holds the same value; numbers for the numeric kinds, text for kText.
class SameValueRow : public filter::RowView {
 public:
  SameValueRow(filter::FieldValue text, filter::FieldValue number) : text_(text), number_(number) {}
  filter::FieldValue Value(int field) const override { return field == 0 ? text_ : number_; }

 private:
  filter::FieldValue text_;
  filter::FieldValue number_;
};

inline void CheckEqualityKeys(const filter::Expression& expression, const filter::BoundFilter& bound,
                              const SameValueRow& row, filter::FieldKind kind,
                              const filter::FieldValue& value) {
  std::optional<filter::SimpleEquality> equality = expression.AsSimpleEquality();
  if (!equality) return;
  AnySchema schema;
  if (schema.KindOf(*schema.FindField(equality->field)) != kind) return;
  auto value_key = filter::ValueKey(kind, expression.GetDialect(), value);
  auto literal_key = filter::LiteralKey(kind, expression.GetDialect(), equality->value);
  const bool keys_agree = value_key && literal_key && *value_key == *literal_key;
  // An index answer must equal the scan's answer.
  if (keys_agree != bound.Matches(row)) std::abort();
}

inline void FuzzFilter(const uint8_t* data, size_t size, filter::Dialect dialect) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<filter::Expression> expression;
  try {
    expression.emplace(filter::Expression::Parse(text, dialect));
  } catch (const filter::FilterSyntaxError& e) {
    if (e.position() < 1 || e.position() > text.size() + 1) std::abort();
    return;
  }
  if (expression->Text() != text) std::abort();

  AnySchema schema;
  std::optional<filter::BoundFilter> bound;
  try {
    bound.emplace(expression->Bind(schema));
  } catch (const StoreError&) {
    return;
  }

  // Rows built from the literal of an equality (so that matches happen) and from fixed values.
  std::string literal_text = "4711";
  double literal_number = 4711;
  if (auto equality = expression->AsSimpleEquality()) {
    literal_text = equality->value.text;
    literal_number = equality->value.number;
  }
  const std::string folded = filter::FoldCase(literal_text);
  const SameValueRow rows[] = {
      {filter::FieldValue::Null(), filter::FieldValue::Null()},
      {filter::FieldValue::Text(literal_text), filter::FieldValue::Number(literal_number)},
      {filter::FieldValue::Text(folded), filter::FieldValue::Number(1)},
      {filter::FieldValue::Text(""), filter::FieldValue::Number(0)},
  };
  for (const SameValueRow& row : rows) {
    const bool passes = bound->Matches(row);
    if (expression->PassesAll() && !passes) std::abort();
    CheckEqualityKeys(*expression, *bound, row, filter::FieldKind::kText, row.Value(0));
    for (auto kind : {filter::FieldKind::kNumber, filter::FieldKind::kBoolean, filter::FieldKind::kDate}) {
      CheckEqualityKeys(*expression, *bound, row, kind, row.Value(1));
    }
  }
}

}  // namespace varnholt::fuzz

#endif  // VARNHOLT_TESTS_FUZZ_FILTER_FUZZ_H_
