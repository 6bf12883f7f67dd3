#include "stores/jet/table_snapshot.h"

#include <cstdint>
#include <utility>

#include "base/case_fold.h"

namespace varnholt {

TableSnapshot::TableSnapshot(std::string name, std::vector<SourceColumn> columns, SnapshotCells cells)
    : name_(std::move(name)),
      columns_(std::move(columns)),
      cells_(std::move(cells)),
      row_count_(columns_.empty() ? 0 : static_cast<int>(cells_.size() / columns_.size())) {
  for (size_t i = 0; i < columns_.size(); ++i) {
    field_by_folded_name_.emplace(FoldCase(columns_[i].name), static_cast<int>(i));
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
  auto it = field_by_folded_name_.find(FoldCase(name));
  std::optional<int> field = it == field_by_folded_name_.end() ? std::nullopt : std::optional<int>(it->second);
  // Names come from filter texts too, which carry source values: keep the cache small.
  constexpr size_t kMaxAskedNames = 256;
  if (field_by_asked_name_.size() < kMaxAskedNames) field_by_asked_name_.emplace(std::string(name), field);
  return field;
}

}  // namespace varnholt
