// SnapshotFilter: filter texts applied to a source table's snapshot, with an equality index per
// field built on first use, so a run of equality filters on one field costs one pass in all.
#ifndef VARNHOLT_STORES_SOURCE_SNAPSHOT_FILTER_H_
#define VARNHOLT_STORES_SOURCE_SNAPSHOT_FILTER_H_

#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "stores/filter/filter_expression.h"
#include "stores/jet/table_snapshot.h"
#include "stores/source/key_index.h"

namespace varnholt {

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

class SnapshotFilter : public filter::Schema {
 public:
  // REQUIRES: `snapshot` outlives this.
  explicit SnapshotFilter(const TableSnapshot& snapshot);

  // filter::Schema: names match regardless of case.
  std::optional<int> FindField(std::string_view name) const override { return snapshot_.FindField(name); }
  filter::FieldKind KindOf(int field) const override;

  // Rows (ascending) whose value in `field` has the index key `key` (filter::ValueKey), a view into
  // the field's index. Builds the index on first use.
  std::span<const int> RowsWithKey(int field, std::string_view key) const;

  // The rows that pass `filter`, ascending: from an index when it is a one-field equality, else by
  // a scan. Throws StoreError when the filter names a field the table lacks.
  RowList RowsPassing(const filter::Expression& filter) const;

 private:
  const TableSnapshot& snapshot_;
  mutable std::vector<std::unique_ptr<KeyIndex>> indexes_;  // per field, built on first use
};

// A source value as the filter core compares it.
filter::FieldKind FilterKindOf(SourceType type);
filter::FieldValue FilterValueOf(SourceType type, const SourceValue& value);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_SOURCE_SNAPSHOT_FILTER_H_
