#include "stores/target/target_table.h"

#include <algorithm>
#include <forward_list>
#include <optional>
#include <set>
#include <vector>

#include "base/calendar.h"
#include "base/store_error.h"
#include "stores/filter/filter_expression.h"
#include "stores/paradox/field_conversion.h"
#include "stores/target/target_session.h"

// Setting a field from text (SetFieldText) converts as ValueFromText does: a character field takes
// the text cut to its width; a date field reads day/month/year, else the regional short date
// format, else a whole number as a day count; number, money and logical fields parse their text;
// empty text stores null. A value a field cannot take throws InvalidFieldValue.

namespace varnholt {

namespace {

constexpr char kClosedDataset[] = "Cannot perform this operation on a closed dataset";
constexpr char kNotInsertMode[] = "Dataset not in edit or insert mode";

// Runs an engine operation; its failure carries the engine's text, each line once.
template <typename F>
auto Engine(F&& operation) -> decltype(operation()) {
  try {
    return operation();
  } catch (const EngineError& error) {
    throw EngineError(EachLineOnce(error.what()));
  }
}

filter::FieldKind KindOf(paradox::FieldType type) {
  using paradox::FieldType;
  switch (type) {
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement:
    case FieldType::kNumber:
    case FieldType::kMoney:
    case FieldType::kBcd:
      return filter::FieldKind::kNumber;
    case FieldType::kLogical:
      return filter::FieldKind::kBoolean;
    case FieldType::kDate:
    case FieldType::kTime:
    case FieldType::kTimestamp:
      return filter::FieldKind::kDate;
    default:
      return filter::FieldKind::kText;
  }
}

class TableSchema : public filter::Schema {
 public:
  explicit TableSchema(const paradox::Table& table) : table_(table) {}
  std::optional<int> FindField(std::string_view name) const override {
    int field = table_.FindField(name);
    return field < 0 ? std::nullopt : std::optional<int>(field);
  }
  filter::FieldKind KindOf(int field) const override {
    return varnholt::KindOf(table_.fields()[field].type);
  }

 private:
  const paradox::Table& table_;
};

// A value as the filter compares it. Dates count days from 30 December 1899 on the filter's side.
filter::FieldValue FilterValueOf(const paradox::Value& value) {
  constexpr int64_t kFilterDayZero = kDateTimeDayZero - kParadoxDayZero;
  constexpr double kMillisecondsPerDay = 86'400'000.0;
  if (const auto* text = std::get_if<std::string>(&value)) return filter::FieldValue::Text(*text);
  if (const auto* i = std::get_if<int64_t>(&value)) {
    return filter::FieldValue::Number(static_cast<double>(*i));
  }
  if (const auto* d = std::get_if<double>(&value)) return filter::FieldValue::Number(*d);
  if (const auto* b = std::get_if<bool>(&value)) return filter::FieldValue::Number(*b ? 1 : 0);
  if (const auto* date = std::get_if<paradox::Date>(&value)) {
    return filter::FieldValue::Number(date->days - kFilterDayZero);
  }
  if (const auto* time = std::get_if<paradox::Time>(&value)) {
    return filter::FieldValue::Number(time->milliseconds / kMillisecondsPerDay);
  }
  if (const auto* stamp = std::get_if<paradox::Timestamp>(&value)) {
    return filter::FieldValue::Number(stamp->milliseconds / kMillisecondsPerDay - kFilterDayZero);
  }
  return filter::FieldValue::Null();
}

// One row as a filter reads it: only the fields the filter names are decoded, each once.
class RowFields : public filter::RowView {
 public:
  RowFields(paradox::Table& table, paradox::RowId row) : table_(table), row_(row) {}
  filter::FieldValue Value(int field) const override {
    for (const auto& [f, value] : held_) {
      if (f == field) return FilterValueOf(value);
    }
    // A list keeps every held value in place: the views handed out stay valid.
    held_.emplace_front(field, table_.GetField(row_, field));
    return FilterValueOf(held_.front().second);
  }

 private:
  paradox::Table& table_;
  paradox::RowId row_;
  mutable std::forward_list<std::pair<int, paradox::Value>> held_;
};

}  // namespace

class TargetTable::Impl {
 public:
  Impl(std::string name, TargetSession& session, const RegionalSettings& settings)
      : name_(std::move(name)), session_(session), settings_(settings) {}

  const std::string& name() const { return name_; }

  void SetDatabaseName(const std::string& directory) { Rebind(&directory_, directory); }
  void SetTableName(const std::string& file_name) { Rebind(&table_name_, file_name); }
  const std::string& database_name() const { return directory_; }
  const std::string& table_name() const { return table_name_; }
  const std::string& filter_text() const { return filter_text_; }
  bool filtered() const { return filtered_; }

  void Open() {
    if (table_ != nullptr) return;
    SharedTable& table = Engine([&]() -> SharedTable& {
      return session_.OpenTable(directory_, table_name_);
    });
    std::optional<filter::BoundFilter> bound;
    if (filter_) bound = filter_->Bind(TableSchema(table.table()));
    table_ = &table;
    bound_ = std::move(bound);
    view_valid_ = false;
    cursor_row_.reset();
  }

  bool Active() const { return table_ != nullptr; }

  void First() {
    RequireOpen();
    PostPending();
    Refresh();
    refresh_due_ = false;
    cursor_row_.reset();
    eof_ = false;
  }

  void Next() {
    RequireOpen();
    PostPending();
    EnsureView();
    if (pos_ + 1 < view_.size()) {
      ++pos_;
      SetCursor(view_[pos_]);
      eof_ = false;
    } else {
      eof_ = true;
    }
  }

  bool Eof() const {
    RequireOpen();
    EnsureView();
    return view_.empty() || eof_;
  }

  void SetFilter(const std::string& text) {
    if (Active()) PostPending();
    if (text != filter_text_) {
      filter::Expression expression = filter::Expression::Parse(text, filter::Dialect::kParadox);
      std::optional<filter::BoundFilter> bound;
      if (Active()) bound = expression.Bind(TableSchema(table_->table()));
      filter_text_ = text;
      filter_ = std::move(expression);
      bound_ = std::move(bound);
      if (Active() && filtered_) view_valid_ = false;
    }
    if (Active() && filtered_) MoveToFirst();
  }

  void SetFiltered(bool on) {
    if (Active()) PostPending();
    if (on != filtered_) {
      filtered_ = on;
      view_valid_ = false;
    }
    if (Active()) MoveToFirst();
  }

  std::string FieldText(std::string_view field) const {
    RequireOpen();
    int index = FieldIndex(field);
    if (pending_) return TextFromValue((*pending_)[index], settings_);
    EnsureView();
    if (view_.empty()) return {};
    return TextFromValue(Engine([&] { return table_->table().GetField(view_[pos_], index); }), settings_);
  }

  int FieldWidth(std::string_view field) const {
    RequireOpen();
    return table_->table().fields()[FieldIndex(field)].size;
  }

  int CodePageNumber() const {
    RequireOpen();
    return table_->table().code_page();
  }

  bool HoldsWhole(std::string_view field, std::string_view text) const {
    RequireOpen();
    const paradox::Field& definition = table_->table().fields()[FieldIndex(field)];
    if (definition.type != paradox::FieldType::kAlpha) return true;
    return table_->table().StoredLength(text) <= static_cast<size_t>(definition.size);
  }

  void Insert() {
    RequireOpen();
    PostPending();
    pending_ = table_->NewRecord();
  }

  void SetFieldText(std::string_view field, const std::string& text) {
    RequireOpen();
    int index = FieldIndex(field);
    if (!pending_) throw ComponentError(name_, kNotInsertMode);
    const paradox::Field& definition = table_->table().fields()[index];
    auto value = ValueFromText(definition, text, settings_);
    if (!value) throw InvalidFieldValue(InvalidValueMessage(definition.name), definition.name, text);
    (*pending_)[index] = std::move(*value);
  }

  void SetFieldDate(std::string_view field, const CivilDate& date, const std::string& shown) {
    RequireOpen();
    int index = FieldIndex(field);
    if (!pending_) throw ComponentError(name_, kNotInsertMode);
    const paradox::Field& definition = table_->table().fields()[index];
    auto value = ValueFromDate(definition, date);
    if (!value) throw InvalidFieldValue(InvalidValueMessage(definition.name), definition.name, shown);
    (*pending_)[index] = std::move(*value);
  }

  void Post() {
    RequireOpen();
    PostPending();
  }

  void DiscardPending() { pending_.reset(); }
  bool HasPending() const { return pending_.has_value(); }

 private:
  void Rebind(std::string* slot, const std::string& text) {
    if (*slot == text) return;
    if (Active()) throw ComponentError(name_, kOpenDatasetMessage);
    *slot = text;
  }

  void RequireOpen() const {
    if (!Active()) throw ComponentError(name_, kClosedDataset);
  }

  int FieldIndex(std::string_view field) const {
    int index = table_->table().FindField(field);
    if (index < 0) throw ComponentError(name_, FieldNotFoundMessage(std::string(field)));
    return index;
  }

  void Refresh() const {
    Engine([&] { table_->Refresh(); });
  }

  // Writes the pending row; a refused row stays pending and the table stays as it was.
  void PostPending() {
    if (!pending_) return;
    paradox::RowId row = Engine([&] { return table_->Insert(*pending_); });
    pending_.reset();
    SetCursor(row);
    eof_ = false;
  }

  // The look for another program's changes waits for the next read: a filter switched on and off
  // again without a read in between (as the passes do per row) then costs one look, not two.
  void MoveToFirst() {
    refresh_due_ = true;
    cursor_row_.reset();
    eof_ = false;
  }

  // The rows that pass the filter in force, in table order; rebuilt when the table changed.
  void EnsureView() const {
    if (refresh_due_) {
      Refresh();
      refresh_due_ = false;
    }
    if (cursor_row_ && cursor_reloads_ != table_->reloads()) cursor_row_.reset();
    if (view_valid_ && view_version_ == table_->version()) {
      if (!cursor_row_) pos_ = 0;
      return;
    }
    paradox::Table& table = table_->table();
    view_ = Engine([&] { return filtered_ && bound_ ? FilteredRows(table) : table.Rows(); });
    view_valid_ = true;
    view_version_ = table_->version();
    pos_ = 0;
    if (cursor_row_) {
      auto it = std::find(view_.begin(), view_.end(), *cursor_row_);
      if (it != view_.end()) pos_ = static_cast<size_t>(it - view_.begin());
    }
    if (!view_.empty()) SetCursor(view_[pos_]);
  }

  void SetCursor(paradox::RowId row) const {
    cursor_row_ = row;
    cursor_reloads_ = table_->reloads();
  }

  std::vector<paradox::RowId> FilteredRows(paradox::Table& table) const {
    if (filter_->PassesAll()) return table.Rows();
    std::vector<paradox::RowId> candidates;
    bool indexed = false;
    if (auto equality = filter_->AsSimpleEquality()) {
      int field = table.FindField(equality->field);
      // An equality on a text field is answered by the engine's index; others are scanned.
      if (field >= 0 && KindOf(table.fields()[field].type) == filter::FieldKind::kText &&
          (equality->value.kind == filter::Literal::Kind::kText ||
           equality->value.kind == filter::Literal::Kind::kNumber)) {
        candidates = table.FindEqual(field, paradox::Value(equality->value.text));
        indexed = true;
      }
    }
    if (!indexed) candidates = table.Rows();
    std::vector<paradox::RowId> rows;
    for (paradox::RowId row : candidates) {
      if (bound_->Matches(RowFields(table, row))) rows.push_back(row);
    }
    return rows;
  }

  std::string name_;
  TargetSession& session_;
  const RegionalSettings& settings_;
  std::string directory_;
  std::string table_name_;
  SharedTable* table_ = nullptr;

  std::string filter_text_;
  std::optional<filter::Expression> filter_;
  std::optional<filter::BoundFilter> bound_;  // filter_ bound to the open table
  bool filtered_ = false;

  // The cursor: the row it stands on (none: the first row of the view, found when needed).
  mutable std::optional<paradox::RowId> cursor_row_;
  mutable uint64_t cursor_reloads_ = 0;  // the table's reloads() when cursor_row_ was set
  mutable size_t pos_ = 0;
  bool eof_ = false;
  mutable bool refresh_due_ = false;  // a filter change asked for a look at the files
  mutable std::vector<paradox::RowId> view_;
  mutable bool view_valid_ = false;
  mutable uint64_t view_version_ = 0;

  std::optional<paradox::Record> pending_;
};

TargetTable::TargetTable(std::string name, TargetSession& session,
                         const RegionalSettings& settings)
    : impl_(std::make_unique<Impl>(std::move(name), session, settings)) {}

TargetTable::~TargetTable() = default;

const std::string& TargetTable::Name() const { return impl_->name(); }
void TargetTable::SetDatabaseName(const std::string& directory) {
  impl_->SetDatabaseName(directory);
}
void TargetTable::SetTableName(const std::string& file_name) { impl_->SetTableName(file_name); }
const std::string& TargetTable::DatabaseName() const { return impl_->database_name(); }
const std::string& TargetTable::TableName() const { return impl_->table_name(); }
const std::string& TargetTable::Filter() const { return impl_->filter_text(); }
bool TargetTable::Filtered() const { return impl_->filtered(); }
void TargetTable::Open() { impl_->Open(); }
bool TargetTable::Active() const { return impl_->Active(); }
void TargetTable::First() { impl_->First(); }
void TargetTable::Next() { impl_->Next(); }
bool TargetTable::Eof() const { return impl_->Eof(); }
void TargetTable::SetFilter(const std::string& text) { impl_->SetFilter(text); }
void TargetTable::SetFiltered(bool on) { impl_->SetFiltered(on); }
std::string TargetTable::FieldText(std::string_view field) const {
  return impl_->FieldText(field);
}
int TargetTable::FieldWidth(std::string_view field) const { return impl_->FieldWidth(field); }
bool TargetTable::HoldsWhole(std::string_view field, std::string_view text) const {
  return impl_->HoldsWhole(field, text);
}
int TargetTable::CodePageNumber() const { return impl_->CodePageNumber(); }
void TargetTable::Insert() { impl_->Insert(); }
void TargetTable::SetFieldText(std::string_view field, const std::string& text) {
  impl_->SetFieldText(field, text);
}
void TargetTable::SetFieldDate(std::string_view field, const CivilDate& date, const std::string& shown) {
  impl_->SetFieldDate(field, date, shown);
}
void TargetTable::Post() { impl_->Post(); }
void TargetTable::DiscardPending() { impl_->DiscardPending(); }
bool TargetTable::HasPending() const { return impl_->HasPending(); }

}  // namespace varnholt
