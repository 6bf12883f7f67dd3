#include "stores/source/table_snapshot.h"

#include <cstdint>

#include <utility>

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

TableSnapshot::TableSnapshot(std::string name, std::vector<SourceColumn> columns, SnapshotCells cells)
    : name_(std::move(name)),
      columns_(std::move(columns)),
      cells_(std::move(cells)),
      row_count_(columns_.empty() ? 0 : static_cast<int>(cells_.size() / columns_.size())),
      indexes_(columns_.size()) {
  for (size_t i = 0; i < columns_.size(); ++i) {
    field_by_folded_name_.emplace(filter::FoldCase(columns_[i].name), static_cast<int>(i));
  }
}

std::optional<int> TableSnapshot::FindField(std::string_view name) const {
  AskedAt& at = asked_at_[(reinterpret_cast<uintptr_t>(name.data()) >> 3) % asked_at_.size()];
  if (at.text == name.data() && columns_[at.field].name == name) return at.field;
  std::optional<int> found = FindFieldByName(name);
  if (found && columns_[*found].name == name) at = AskedAt{name.data(), *found};
  return found;
}

std::optional<int> TableSnapshot::FindFieldByName(std::string_view name) const {
  auto asked = field_by_asked_name_.find(name);
  if (asked != field_by_asked_name_.end()) return asked->second;
  auto it = field_by_folded_name_.find(filter::FoldCase(name));
  std::optional<int> field = it == field_by_folded_name_.end() ? std::nullopt : std::optional<int>(it->second);
  // Names come from filter texts too, which carry source values: keep the cache small.
  constexpr size_t kMaxAskedNames = 256;
  if (field_by_asked_name_.size() < kMaxAskedNames) field_by_asked_name_.emplace(std::string(name), field);
  return field;
}

filter::FieldKind TableSnapshot::KindOf(int field) const { return FilterKindOf(columns_[field].type); }

std::span<const int> TableSnapshot::RowsWithKey(int field, std::string_view key) const {
  std::unique_ptr<KeyIndex>& index = indexes_[field];
  if (!index) {
    const SourceType type = columns_[field].type;
    const filter::FieldKind kind = FilterKindOf(type);
    index = std::make_unique<KeyIndex>(row_count_, [&](int row) {
      return filter::ValueKey(kind, filter::Dialect::kJet, FilterValueOf(type, Value(row, field)));
    });
  }
  return index->RowsWithKey(key);
}

RowList TableSnapshot::RowsPassing(const filter::Expression& filter) const {
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
  for (int row = 0; row < row_count_; ++row) {
    if (bound.Matches(SnapshotRow(*this, row))) rows.push_back(row);
  }
  return RowList(std::move(rows));
}

}  // namespace varnholt
