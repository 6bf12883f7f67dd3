// TableSnapshot: a source table read whole (a keyset snapshot): its columns and its rows in stored
// order.
#ifndef VARNHOLT_STORES_JET_TABLE_SNAPSHOT_H_
#define VARNHOLT_STORES_JET_TABLE_SNAPSHOT_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "stores/jet/snapshot_cells.h"
#include "stores/jet/source_value.h"

namespace varnholt {

struct SourceColumn {
  std::string name;
  SourceType type = SourceType::kText;
};

class TableSnapshot {
 public:
  // REQUIRES: cells.size() is a multiple of columns.size(); row r's values are cells
  // r * columns.size() ..., each read as its column's type holds it.
  TableSnapshot(std::string name, std::vector<SourceColumn> columns, SnapshotCells cells);

  const std::string& Name() const { return name_; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  const SourceColumn& Column(int field) const { return columns_[field]; }
  int RowCount() const { return row_count_; }
  // A view: its text stays valid while the snapshot lives.
  SourceValue Value(int row, int field) const {
    return cells_.Value(static_cast<size_t>(row) * columns_.size() + field, HoldsReal(columns_[field].type));
  }

  // The column called `name`, regardless of case (see FoldCase); nullopt when there is none.
  std::optional<int> FindField(std::string_view name) const;

 private:
  // Looks up names as asked, so the same spelling is folded once, not at every field read.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
  };
  using NameMap = std::unordered_map<std::string, std::optional<int>, NameHash, std::equal_to<>>;

  std::string name_;
  std::vector<SourceColumn> columns_;
  SnapshotCells cells_;
  int row_count_;
  std::unordered_map<std::string, int> field_by_folded_name_;
  std::optional<int> FindFieldByName(std::string_view name) const;

  mutable NameMap field_by_asked_name_;
  // The passes ask by the same literals row after row: the field last found for a text at that
  // address, taken when the column's name equals the text exactly.
  struct AskedAt {
    const char* text = nullptr;
    int field = 0;
  };
  mutable std::array<AskedAt, 64> asked_at_{};
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_TABLE_SNAPSHOT_H_
