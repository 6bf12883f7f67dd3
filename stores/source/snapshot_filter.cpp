#include "stores/source/snapshot_filter.h"

namespace varnholt {

namespace {

class SnapshotRow : public filter::RowView {
 public:
  SnapshotRow(const TableSnapshot& table, int row) : table_(table), row_(row) {}
  filter::FieldValue Value(int field) const override {
    return FilterValueOf(table_.Column(field).type, table_.Value(row_, field));
  }

 private:
  const TableSnapshot& table_;
  int row_;
};

}  // namespace

SnapshotFilter::SnapshotFilter(const TableSnapshot& snapshot)
    : snapshot_(snapshot), indexes_(static_cast<size_t>(snapshot.ColumnCount())) {}

filter::FieldKind SnapshotFilter::KindOf(int field) const { return FilterKindOf(snapshot_.Column(field).type); }

std::span<const int> SnapshotFilter::RowsWithKey(int field, std::string_view key) const {
  std::unique_ptr<KeyIndex>& index = indexes_[field];
  if (!index) {
    const SourceType type = snapshot_.Column(field).type;
    const filter::FieldKind kind = FilterKindOf(type);
    index = std::make_unique<KeyIndex>(snapshot_.RowCount(), [&](int row) {
      return filter::ValueKey(kind, filter::Dialect::kJet, FilterValueOf(type, snapshot_.Value(row, field)));
    });
  }
  return index->RowsWithKey(key);
}

RowList SnapshotFilter::RowsPassing(const filter::Expression& filter) const {
  if (auto equality = filter.AsSimpleEquality()) {
    std::optional<int> field = FindField(equality->field);
    if (field) {
      auto key = filter::LiteralKey(KindOf(*field), filter::Dialect::kJet, equality->value);
      if (!key) return RowList();
      return RowList(RowsWithKey(*field, *key));
    }
    // An unknown field: Bind below reports it.
  }
  filter::BoundFilter bound = filter.Bind(*this);
  std::vector<int> rows;
  const int row_count = snapshot_.RowCount();
  for (int row = 0; row < row_count; ++row) {
    if (bound.Matches(SnapshotRow(snapshot_, row))) rows.push_back(row);
  }
  return RowList(std::move(rows));
}

filter::FieldKind FilterKindOf(SourceType type) {
  switch (type) {
    case SourceType::kText:
      return filter::FieldKind::kText;
    case SourceType::kBoolean:
      return filter::FieldKind::kBoolean;
    case SourceType::kDateTime:
      return filter::FieldKind::kDate;
    default:
      return filter::FieldKind::kNumber;
  }
}

filter::FieldValue FilterValueOf(SourceType type, const SourceValue& value) {
  if (value.is_null) return filter::FieldValue::Null();
  switch (type) {
    case SourceType::kText:
      return filter::FieldValue::Text(value.text);
    case SourceType::kInteger:
    case SourceType::kBoolean:
      return filter::FieldValue::Number(static_cast<double>(value.integer));
    case SourceType::kCurrency:
      return filter::FieldValue::Number(static_cast<double>(value.integer) / kCurrencyScale);
    case SourceType::kSingle:
    case SourceType::kDouble:
    case SourceType::kDateTime:
    case SourceType::kDecimal:
      return filter::FieldValue::Number(value.real);
  }
  return filter::FieldValue::Null();
}

}  // namespace varnholt
