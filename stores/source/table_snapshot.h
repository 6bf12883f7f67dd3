// TableSnapshot: a source table read whole (a keyset snapshot): its columns, its rows in stored
// order, and per-field equality indexes built on first use.
#ifndef VARNHOLT_STORES_SOURCE_TABLE_SNAPSHOT_H_
#define VARNHOLT_STORES_SOURCE_TABLE_SNAPSHOT_H_

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "stores/filter/filter_expression.h"
#include "stores/source/key_index.h"
#include "stores/source/snapshot_cells.h"
#include "stores/source/source_value.h"

namespace varnholt {

struct SourceColumn {
  std::string name;
  SourceType type = SourceType::kText;
};

// Rows of a snapshot, ascending: all of them, a run of an index's rows (valid while the snapshot
// lives), or rows of their own.
class RowList {
 public:
  RowList() = default;
  static RowList All(int count) {
    RowList list;
    list.all_ = count;
    return list;
  }
  explicit RowList(std::span<const int> shared) : shared_(shared) {}
  explicit RowList(std::vector<int> own) : own_(std::move(own)) {}

  size_t size() const { return all_ >= 0 ? static_cast<size_t>(all_) : own_.empty() ? shared_.size() : own_.size(); }
  bool empty() const { return size() == 0; }
  int operator[](size_t i) const {
    return all_ >= 0 ? static_cast<int>(i) : own_.empty() ? shared_[i] : own_[i];
  }

 private:
  int all_ = -1;  // >= 0: rows 0 .. all_-1
  std::span<const int> shared_;
  std::vector<int> own_;
};

class TableSnapshot : public filter::Schema {
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

  // filter::Schema: names match regardless of case.
  std::optional<int> FindField(std::string_view name) const override;
  filter::FieldKind KindOf(int field) const override;

  // Rows (ascending) whose value in `field` has the index key `key` (filter::ValueKey), a view into
  // the field's index. Builds the index on first use, so a run of equality filters on one field
  // costs one pass in all.
  std::span<const int> RowsWithKey(int field, std::string_view key) const;

  // The rows that pass `filter`, ascending: from an index when it is a one-field equality, else by
  // a scan. Throws StoreError when the filter names a field the table lacks.
  RowList RowsPassing(const filter::Expression& filter) const;

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
  mutable std::vector<std::unique_ptr<KeyIndex>> indexes_;  // per field, built on first use
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_SOURCE_TABLE_SNAPSHOT_H_
