#include "stores/backup/change_list.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <variant>

#include "base/calendar.h"
#include "base/engine_error.h"
#include "base/os/folder.h"
#include "base/os/os_file.h"
#include "base/windows_1252.h"

namespace varnholt {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kKeySeparator[] = " / ";
constexpr char kSummaryHeading[] = "Table,Added,Rewritten,Removed,Unchanged";
constexpr char kRowsHeading[] = "Table,Key,Change,Field,Old value,New value";
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kSecondsPerMinute = 60;
constexpr int kMinutesPerHour = 60;
constexpr double kMillisecondsPerDay = 86400000.0;
constexpr size_t kWriteChunk = 1 << 20;  // bytes of the list held before they are written
constexpr unsigned char kFirstNonAscii = 0x80;

bool NeedsQuotes(std::string_view value) {
  for (const char ch : value) {
    if (ch == ',' || ch == '"' || ch == '\r' || ch == '\n') return true;
  }
  return false;
}

bool IsAscii(std::string_view value) {
  for (const char ch : value) {
    if (static_cast<unsigned char>(ch) >= kFirstNonAscii) return false;
  }
  return true;
}

// Appends a value in Windows-1252, quoted when it would break the comma-separated layout.
void AppendCsvField(std::string* out, std::string_view utf8) {
  const bool ascii = IsAscii(utf8);
  const std::string converted = ascii ? std::string() : ToWindows1252(std::string(utf8));
  const std::string_view value = ascii ? utf8 : std::string_view(converted);
  if (!NeedsQuotes(value)) {
    out->append(value);
    return;
  }
  out->push_back('"');
  for (char ch : value) {
    out->push_back(ch);
    if (ch == '"') out->push_back('"');
  }
  out->push_back('"');
}

std::string DateText(int32_t paradox_days) {
  const CivilDate date = CivilFromDay(paradox_days + kParadoxDayZero);
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

const char* KindText(RowChangeKind kind) {
  switch (kind) {
    case RowChangeKind::kAdded:
      return "added";
    case RowChangeKind::kRewritten:
      return "rewritten";
    case RowChangeKind::kRemoved:
      return "removed";
  }
  return "";
}

std::string KeyText(const paradox::Table& table, const paradox::Record& record) {
  const size_t count = std::max<size_t>(1, static_cast<size_t>(table.key_field_count()));
  std::string key;
  for (size_t i = 0; i < count && i < record.size(); ++i) key += (i == 0 ? "" : kKeySeparator) + ValueText(record[i]);
  return key;
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

TableChanges ChangesOfPosts(paradox::Table& table, const std::string& file_name) {
  TableChanges changes;
  changes.table = file_name;
  const paradox::PostedRows posted = table.Posted();
  if (posted.added.empty() && posted.rewritten.empty()) {
    changes.unchanged = table.RecordCount();
    return changes;
  }
  const std::unordered_set<paradox::RowId> added(posted.added.begin(), posted.added.end());
  std::unordered_map<paradox::RowId, const paradox::RewrittenRow*> rewritten;
  for (const paradox::RewrittenRow& r : posted.rewritten) rewritten.emplace(r.row, &r);
  // In table order, which is key order: no sort of texts. An added row needs only its key.
  const size_t key_fields = std::max<size_t>(1, static_cast<size_t>(table.key_field_count()));
  const std::vector<paradox::RowId> rows = table.Rows();
  for (const paradox::RowId row : rows) {
    if (added.count(row) != 0) {
      std::string key;
      for (size_t i = 0; i < key_fields && i < table.fields().size(); ++i) {
        key += (i == 0 ? "" : kKeySeparator) + ValueText(table.GetField(row, static_cast<int>(i)));
      }
      changes.rows.push_back(RowChange{RowChangeKind::kAdded, std::move(key), {}});
      ++changes.added;
      continue;
    }
    const auto found = rewritten.find(row);
    if (found == rewritten.end()) continue;
    const paradox::RewrittenRow& r = *found->second;
    std::vector<FieldChange> fields;
    for (const paradox::FieldRewrite& f : r.fields) {
      // Bytes that differ but read the same (stale bytes after a text's end) change nothing.
      if (f.before == f.after) continue;
      fields.push_back(FieldChange{table.fields()[f.field].name, ValueText(f.before), ValueText(f.after)});
    }
    if (fields.empty()) continue;
    // A changed key shows under the key it was saved with, as the operator knew the row.
    changes.rows.push_back(RowChange{RowChangeKind::kRewritten, KeyText(table, r.key_before), std::move(fields)});
    ++changes.rewritten;
  }
  changes.unchanged = rows.size() - std::min(rows.size(), changes.added + changes.rewritten);
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

size_t RowsAdded(const ChangeList& changes) {
  size_t n = 0;
  for (const TableChanges& t : changes) n += t.added;
  return n;
}

size_t RowsRewritten(const ChangeList& changes) {
  size_t n = 0;
  for (const TableChanges& t : changes) n += t.rewritten;
  return n;
}

std::vector<std::string> SummaryLines(const ChangeList& changes) {
  std::vector<std::string> lines;
  for (const TableChanges& t : changes) {
    lines.push_back(t.table + ": " + std::to_string(t.added) + " added, " + std::to_string(t.rewritten) +
                    " rewritten, " + std::to_string(t.removed) + " removed, " + std::to_string(t.unchanged) +
                    " unchanged");
  }
  return lines;
}

void WriteChangeList(const std::string& path, const ChangeList& changes) {
  os::RemoveIfPresent(path);
  os::OsFile file = os::OsFile::Create(path, path);
  // A list can run to a line for every field of every row of the school: it goes out in pieces,
  // each field in the file's code page as it is added, never whole in memory.
  std::string text;
  text.reserve(kWriteChunk + kWriteChunk / 4);
  uint64_t written = 0;
  const auto flush = [&](bool always) {
    if (text.empty() || (!always && text.size() < kWriteChunk)) return;
    file.WriteAt(written, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    written += text.size();
    text.clear();
  };
  text += std::string(kSummaryHeading) + kLineEnd;
  for (const TableChanges& t : changes) {
    AppendCsvField(&text, t.table);
    text += "," + std::to_string(t.added) + "," + std::to_string(t.rewritten) + "," + std::to_string(t.removed) +
            "," + std::to_string(t.unchanged) + kLineEnd;
  }
  text += kLineEnd;
  text += std::string(kRowsHeading) + kLineEnd;
  std::string opening;
  for (const TableChanges& t : changes) {
    for (const RowChange& row : t.rows) {
      opening.clear();
      AppendCsvField(&opening, t.table);
      opening.push_back(',');
      AppendCsvField(&opening, row.key);
      opening.push_back(',');
      opening.append(KindText(row.kind));
      opening.push_back(',');
      if (row.fields.empty()) text += opening + ",," + kLineEnd;
      // Each changed field on a line of its own, after the row's table, key and change.
      for (const FieldChange& f : row.fields) {
        text.append(opening);
        AppendCsvField(&text, f.field);
        text.push_back(',');
        AppendCsvField(&text, f.before);
        text.push_back(',');
        AppendCsvField(&text, f.after);
        text.append(kLineEnd);
      }
      flush(false);
    }
  }
  flush(true);
  file.SyncData();
}

}  // namespace varnholt
