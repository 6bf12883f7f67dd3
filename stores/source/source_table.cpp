#include "stores/source/source_table.h"

#include <optional>
#include <utility>
#include <vector>

#include "stores/filter/filter_expression.h"
#include "stores/source/connection_string.h"
#include "stores/jet/jet_database.h"
#include "stores/jet/table_snapshot.h"
#include "stores/source/source_databases.h"
#include "stores/source/snapshot_filter.h"
#include "base/store_error.h"

namespace varnholt {

namespace {

constexpr const char kClosedDatasetMessage[] = "Cannot perform this operation on a closed dataset";

}  // namespace

class SourceTable::Impl {
 public:
  Impl(std::string name, const RegionalSettings& settings, SourceDatabases* databases)
      : name(std::move(name)), settings(settings), databases(databases) {}

  void RequireActive() const {
    if (!snapshot) throw ComponentError(name, kClosedDatasetMessage);
  }

  // The rows that `text` lets through. Throws for an unreadable filter or an unknown field.
  RowList RowsFor(const std::string& text) const {
    filter::Expression expression = filter::Expression::Parse(text, filter::Dialect::kJet);
    if (expression.PassesAll()) return AllRows();
    return snapshot_filter->RowsPassing(expression);
  }

  RowList AllRows() const { return RowList::All(snapshot->RowCount()); }

  void ShowRows(RowList rows) {
    view = std::move(rows);
    First();
  }

  void First() {
    position = 0;
    eof = view.empty();
  }

  std::string name;
  RegionalSettings settings;
  SourceDatabases* databases;  // may be null
  std::string connection_string;
  std::string table_name;
  std::string filter_text;
  bool filtered = false;

  std::shared_ptr<const TableSnapshot> snapshot;  // set while active; shared by the command's readers
  std::unique_ptr<SnapshotFilter> snapshot_filter;  // over snapshot, while active
  RowList view;                             // rows that pass the filter in force, ascending
  size_t position = 0;                      // index into view
  bool eof = true;
};

SourceTable::SourceTable(std::string name, const RegionalSettings& settings, SourceDatabases* databases)
    : impl_(std::make_unique<Impl>(std::move(name), settings, databases)) {}
SourceTable::~SourceTable() = default;

const std::string& SourceTable::Name() const { return impl_->name; }

void SourceTable::SetConnectionString(const std::string& text) {
  if (text == impl_->connection_string) return;
  if (impl_->snapshot) throw ComponentError(impl_->name, kOpenDatasetMessage);
  impl_->connection_string = text;
}

const std::string& SourceTable::ConnectionString() const { return impl_->connection_string; }

void SourceTable::SetTableName(const std::string& text) {
  if (text == impl_->table_name) return;
  if (impl_->snapshot) throw ComponentError(impl_->name, kOpenDatasetMessage);
  impl_->table_name = text;
}

const std::string& SourceTable::TableName() const { return impl_->table_name; }

void SourceTable::Open() {
  if (impl_->snapshot) return;
  ConnectionSettings settings = ParseConnectionString(impl_->connection_string);
  std::shared_ptr<const TableSnapshot> snapshot;
  for (int attempt = 1; !snapshot; ++attempt) {
    // The file is read whole into memory and closed again: later reads work on the snapshot.
    try {
      snapshot = impl_->databases
                     ? impl_->databases->ReadTable(settings.data_source, settings.password, impl_->table_name)
                     : std::make_shared<const TableSnapshot>(
                           JetDatabase::Open(settings.data_source, settings.password)->ReadTable(impl_->table_name));
    } catch (const FileBeingWritten&) {
      // The school-administration program wrote the file while we copied it: copy it again.
      if (impl_->databases) impl_->databases->Forget(settings.data_source);
      if (attempt >= kImageCopyTries) throw;
      PauseBeforeCopyingAgain();
    }
  }
  impl_->snapshot = std::move(snapshot);
  impl_->snapshot_filter = std::make_unique<SnapshotFilter>(*impl_->snapshot);
  try {
    impl_->ShowRows(impl_->filtered ? impl_->RowsFor(impl_->filter_text) : impl_->AllRows());
  } catch (...) {
    impl_->snapshot_filter.reset();
    impl_->snapshot.reset();
    impl_->view = RowList();
    throw;
  }
}

bool SourceTable::Active() const { return impl_->snapshot != nullptr; }

void SourceTable::First() {
  impl_->RequireActive();
  impl_->First();
}

void SourceTable::Next() {
  impl_->RequireActive();
  if (impl_->eof) return;
  if (impl_->position + 1 < impl_->view.size()) {
    ++impl_->position;
  } else {
    impl_->eof = true;
  }
}

bool SourceTable::Eof() const {
  impl_->RequireActive();
  return impl_->eof;
}

int SourceTable::RecordCount() const {
  impl_->RequireActive();
  return static_cast<int>(impl_->view.size());
}

void SourceTable::SetFilter(const std::string& text) {
  if (text == impl_->filter_text) return;
  if (impl_->snapshot && impl_->filtered) {
    // Applied first, so a filter that fails leaves the table as it was.
    impl_->ShowRows(impl_->RowsFor(text));
  }
  impl_->filter_text = text;
}

const std::string& SourceTable::Filter() const { return impl_->filter_text; }

void SourceTable::SetFiltered(bool on) {
  if (on == impl_->filtered) return;
  if (impl_->snapshot) impl_->ShowRows(on ? impl_->RowsFor(impl_->filter_text) : impl_->AllRows());
  impl_->filtered = on;
}

bool SourceTable::Filtered() const { return impl_->filtered; }

std::string SourceTable::FieldText(std::string_view field) const {
  impl_->RequireActive();
  std::optional<int> index = impl_->snapshot->FindField(field);
  if (!index) throw ComponentError(impl_->name, FieldNotFoundMessage(std::string(field)));
  if (impl_->view.empty()) return "";
  const int row = impl_->view[impl_->position];
  return FieldTextOf(impl_->snapshot->Column(*index).type, impl_->snapshot->Value(row, *index), impl_->settings);
}

SourceTable::Date SourceTable::FieldDate(std::string_view field) const {
  Date date{std::nullopt, FieldText(field)};
  if (impl_->view.empty()) return date;
  const int index = *impl_->snapshot->FindField(field);
  const SourceValue value = impl_->snapshot->Value(impl_->view[impl_->position], index);
  if (impl_->snapshot->Column(index).type == SourceType::kDateTime && !value.is_null) {
    if (const std::optional<JetDateTime> split = SplitJetDateTime(value.real)) date.day = split->date;
  }
  return date;
}

}  // namespace varnholt
