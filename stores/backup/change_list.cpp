#include "stores/backup/change_list.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <variant>

#include "base/calendar.h"
#include "base/engine_error.h"
#include "stores/backup/change_list_file.h"
#include "stores/backup/posted_changes.h"

namespace varnholt {

namespace {

constexpr char kKeySeparator[] = " / ";
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kSecondsPerMinute = 60;
constexpr int kMinutesPerHour = 60;
constexpr double kMillisecondsPerDay = 86400000.0;

std::string DateText(int32_t paradox_days) {
  const CivilDate date = CivilFromDay(paradox_days + kParadoxDayZero);
  constexpr int kLastFourDigitYear = 9999;
  if (date.year >= 0 && date.year <= kLastFourDigitYear) {
    // Every date of a school's tables: digits put in place, a list may hold one a row.
    const auto year = static_cast<int>(date.year);
    const char text[] = {static_cast<char>('0' + year / 1000), static_cast<char>('0' + year / 100 % 10),
                         static_cast<char>('0' + year / 10 % 10), static_cast<char>('0' + year % 10), '-',
                         static_cast<char>('0' + date.month / 10), static_cast<char>('0' + date.month % 10), '-',
                         static_cast<char>('0' + date.day / 10), static_cast<char>('0' + date.day % 10)};
    return std::string(text, sizeof text);
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d", static_cast<long long>(date.year), date.month, date.day);
  return text;
}

std::string TimeText(int64_t milliseconds) {
  const int64_t seconds = milliseconds / kMillisecondsPerSecond;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / (kSecondsPerMinute * kMinutesPerHour)),
                static_cast<long long>(seconds / kSecondsPerMinute % kMinutesPerHour),
                static_cast<long long>(seconds % kSecondsPerMinute));
  return text;
}

std::string NumberText(double value) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string();
}

// The fields in which `before` and `after` differ, with both values.
std::vector<FieldChange> FieldsChanged(const paradox::Table& table, const paradox::Record& before,
                                       const paradox::Record& after) {
  std::vector<FieldChange> changed;
  for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
    if (before[i] == after[i]) continue;
    changed.push_back(FieldChange{table.fields()[i].name, ValueText(before[i]), ValueText(after[i])});
  }
  return changed;
}

void SortByKey(std::vector<RowChange>* rows) {
  std::stable_sort(rows->begin(), rows->end(), [](const RowChange& a, const RowChange& b) { return a.key < b.key; });
}

}  // namespace

std::string ValueText(const paradox::Value& value) {
  struct Visitor {
    std::string operator()(const paradox::Null&) const { return {}; }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const { return NumberText(number); }
    std::string operator()(bool logical) const { return logical ? "True" : "False"; }
    std::string operator()(const paradox::Date& date) const { return DateText(date.days); }
    std::string operator()(const paradox::Time& time) const { return TimeText(time.milliseconds); }
    std::string operator()(const paradox::Timestamp& stamp) const {
      const double days = stamp.milliseconds / kMillisecondsPerDay;
      const auto whole = static_cast<int64_t>(days);
      return DateText(static_cast<int32_t>(whole)) + " " +
             TimeText(static_cast<int64_t>(stamp.milliseconds - static_cast<double>(whole) * kMillisecondsPerDay));
    }
    std::string operator()(const paradox::Bytes& bytes) const { return std::to_string(bytes.data.size()) + " bytes"; }
  };
  return std::visit(Visitor{}, value);
}

std::string KeyText(const paradox::Table& table, const paradox::Record& record) {
  const size_t count = std::max<size_t>(1, static_cast<size_t>(table.key_field_count()));
  std::string key;
  for (size_t i = 0; i < count && i < record.size(); ++i) key += (i == 0 ? "" : kKeySeparator) + ValueText(record[i]);
  return key;
}

TableChanges ChangesOfPosts(paradox::Table& table, const std::string& file_name) {
  const PostedChanges posted({{&table, file_name}});
  TableChanges changes;
  static_cast<TableCounts&>(changes) = posted.Counts().front();
  changes.rows = posted.Rows(0);
  return changes;
}

TableChanges ChangesBetween(paradox::Table& before, paradox::Table& after, const std::string& file_name) {
  TableChanges changes;
  changes.table = file_name;
  const bool keyed = after.key_field_count() > 0;
  std::map<std::string, paradox::Record> old_rows;
  size_t position = 0;
  for (const paradox::RowId row : before.Rows()) {
    const paradox::Record& record = before.Get(row);
    old_rows.emplace(keyed ? KeyText(before, record) : std::to_string(position++), record);
  }
  position = 0;
  for (const paradox::RowId row : after.Rows()) {
    const paradox::Record& record = after.Get(row);
    const std::string key = keyed ? KeyText(after, record) : std::to_string(position++);
    const auto old = old_rows.find(key);
    if (old == old_rows.end()) {
      changes.rows.push_back(RowChange{RowChangeKind::kAdded, keyed ? key : KeyText(after, record), {}});
      ++changes.added;
      continue;
    }
    std::vector<FieldChange> fields = FieldsChanged(after, old->second, record);
    if (fields.empty()) {
      ++changes.unchanged;
    } else {
      changes.rows.push_back(RowChange{RowChangeKind::kRewritten, keyed ? key : KeyText(after, record), std::move(fields)});
      ++changes.rewritten;
    }
    old_rows.erase(old);
  }
  for (const auto& [key, record] : old_rows) {
    changes.rows.push_back(RowChange{RowChangeKind::kRemoved, keyed ? key : KeyText(before, record), {}});
    ++changes.removed;
  }
  SortByKey(&changes.rows);
  return changes;
}

std::vector<TableCounts> CountsOf(const ChangeList& changes) {
  return std::vector<TableCounts>(changes.begin(), changes.end());
}

size_t RowsAdded(const std::vector<TableCounts>& counts) {
  size_t n = 0;
  for (const TableCounts& t : counts) n += t.added;
  return n;
}

size_t RowsRewritten(const std::vector<TableCounts>& counts) {
  size_t n = 0;
  for (const TableCounts& t : counts) n += t.rewritten;
  return n;
}

std::vector<std::string> SummaryLines(const std::vector<TableCounts>& counts) {
  std::vector<std::string> lines;
  for (const TableCounts& t : counts) {
    lines.push_back(t.table + ": " + std::to_string(t.added) + " added, " + std::to_string(t.rewritten) +
                    " rewritten, " + std::to_string(t.removed) + " removed, " + std::to_string(t.unchanged) +
                    " unchanged");
  }
  return lines;
}

std::vector<TableCounts> KnownChanges::Counts() const { return CountsOf(changes_); }

void KnownChanges::WriteRows(ChangeListFile* file) const {
  std::string text;
  ChangeLines lines(&text);
  for (const TableChanges& t : changes_) {
    for (const RowChange& row : t.rows) {
      lines.BeginRow(t.table, row.key, row.kind);
      if (row.fields.empty()) lines.WholeRowLine();
      for (const FieldChange& f : row.fields) lines.FieldLine(f.field, f.before, f.after);
      if (text.size() >= ChangeListFile::kPieceBytes) file->Take(&text);
    }
  }
  file->Take(&text);
}

void WriteChangeList(const std::string& path, const ChangeSource& changes) {
  ChangeListFile file(path, changes.Counts());
  changes.WriteRows(&file);
  file.Finish();
}

void WriteChangeList(const std::string& path, const ChangeList& changes) {
  WriteChangeList(path, KnownChanges(changes));
}

}  // namespace varnholt
