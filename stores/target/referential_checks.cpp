#include "stores/target/referential_checks.h"

#include <vector>

#include "base/path_text.h"
#include "stores/paradox/engine_message.h"
#include "stores/paradox/field_conversion.h"

namespace varnholt {

namespace {

using paradox::FieldType;
using paradox::IntegrityLink;
using paradox::Record;
using paradox::Table;
using paradox::Value;

constexpr char kMasterMissing[] = "Master record missing.";
constexpr char kDetailsExist[] = "Master has detail records. Cannot delete or modify.";
constexpr char kMasterTableMissing[] = "Master table missing.";
constexpr char kDetailTableMissing[] = "Detail table missing.";
constexpr char kFieldLabel[] = "Field";
constexpr char kValueLabel[] = "Value";
constexpr char kTableLabel[] = "Table";
constexpr char kMasterLabel[] = "Master table";
constexpr char kDetailLabel[] = "Detail table";
constexpr char kFileLabel[] = "File";
constexpr char kListSeparator[] = ", ";

bool Blank(const Value& value) {
  if (std::holds_alternative<paradox::Null>(value)) return true;
  const auto* text = std::get_if<std::string>(&value);
  return text != nullptr && text->empty();
}

std::vector<Value> ValuesOf(const Record& record, const std::vector<int>& fields) {
  std::vector<Value> values;
  for (int field : fields) {
    values.push_back(static_cast<size_t>(field) < record.size() ? record[field] : Value(paradox::Null{}));
  }
  return values;
}

bool AllBlank(const std::vector<Value>& values) {
  for (const Value& value : values) {
    if (!Blank(value)) return false;
  }
  return true;
}

std::string FieldNames(const Table& table, const std::vector<int>& fields) {
  std::string names;
  for (int field : fields) names += (names.empty() ? "" : kListSeparator) + table.fields()[field].name;
  return names;
}

std::string ValueTexts(const std::vector<Value>& values) {
  std::string texts;
  for (size_t i = 0; i < values.size(); ++i) {
    texts += (i == 0 ? "" : kListSeparator) + TextFromValue(values[i], RegionalSettings{});
  }
  return texts;
}

std::string PathBeside(const Table& table, const std::string& file_name) {
  return JoinPath(FolderOfPath(table.path()), file_name);
}

// The engine links fields of one type only; an autoincrement key is referred to by a long integer.
bool SameKind(FieldType a, FieldType b) {
  auto kind = [](FieldType type) { return type == FieldType::kAutoIncrement ? FieldType::kLong : type; };
  return kind(a) == kind(b);
}

// Refuses a link whose fields `other` lacks or whose types differ: such a link cannot be checked.
void CheckLinkFits(const Table& table, const Table& other, const IntegrityLink& link) {
  for (size_t i = 0; i < link.fields.size(); ++i) {
    const size_t mine = static_cast<size_t>(link.fields[i]);
    const size_t theirs = static_cast<size_t>(link.other_fields[i]);
    if (theirs >= other.fields().size() || !SameKind(table.fields()[mine].type, other.fields()[theirs].type)) {
      throw EngineError(table.path() + ": cannot write: the referential integrity link '" + link.name +
                        "' does not fit the fields of " + other.path());
    }
  }
}

// True when a record of `other` holds `values` in `fields`.
bool Holds(Table& other, const std::vector<int>& fields, const std::vector<Value>& values) {
  for (paradox::RowId row : other.FindEqual(fields[0], values[0])) {
    bool all = true;
    for (size_t i = 1; i < fields.size() && all; ++i) all = other.GetField(row, fields[i]) == values[i];
    if (all) return true;
  }
  return false;
}

}  // namespace

void CheckMasterRecords(Table& table, const paradox::IntegrityLinks& links, const Record& record,
                        const Record* old_record, const LinkedTable& open) {
  for (const IntegrityLink& link : links.masters) {
    const std::vector<Value> values = ValuesOf(record, link.fields);
    if (AllBlank(values)) continue;
    if (old_record != nullptr && ValuesOf(*old_record, link.fields) == values) continue;
    Table* master = open(link.other_table);
    if (master == nullptr) {
      throw EngineError(paradox::EngineMessage(
          kMasterTableMissing, {{kTableLabel, table.path()}, {kFileLabel, PathBeside(table, link.other_table)}}));
    }
    CheckLinkFits(table, *master, link);
    if (!Holds(*master, link.other_fields, values)) {
      throw EngineError(paradox::EngineMessage(kMasterMissing, {{kFieldLabel, FieldNames(table, link.fields)},
                                                                {kValueLabel, ValueTexts(values)},
                                                                {kTableLabel, table.path()},
                                                                {kMasterLabel, master->path()}}));
    }
  }
}

void CheckNoDetailRecords(Table& table, const paradox::IntegrityLinks& links, const Record& record,
                          const Record& old_record, const LinkedTable& open) {
  for (const IntegrityLink& link : links.dependants) {
    const std::vector<Value> old_values = ValuesOf(old_record, link.fields);
    if (AllBlank(old_values) || ValuesOf(record, link.fields) == old_values) continue;
    Table* detail = open(link.other_table);
    if (detail == nullptr) {
      throw EngineError(paradox::EngineMessage(
          kDetailTableMissing, {{kTableLabel, table.path()}, {kFileLabel, PathBeside(table, link.other_table)}}));
    }
    CheckLinkFits(table, *detail, link);
    if (Holds(*detail, link.other_fields, old_values)) {
      throw EngineError(paradox::EngineMessage(kDetailsExist, {{kFieldLabel, FieldNames(table, link.fields)},
                                                               {kValueLabel, ValueTexts(old_values)},
                                                               {kTableLabel, table.path()},
                                                               {kDetailLabel, detail->path()}}));
    }
  }
}

}  // namespace varnholt
