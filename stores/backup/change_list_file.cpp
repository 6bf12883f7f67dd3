#include "stores/backup/change_list_file.h"

#include <variant>

#include "base/os/folder.h"
#include "base/windows_1252.h"

namespace varnholt {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kSummaryHeading[] = "Table,Added,Rewritten,Removed,Unchanged";
constexpr char kRowsHeading[] = "Table,Key,Change,Field,Old value,New value";
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

os::OsFile CreateReplacing(const std::string& path) {
  os::RemoveIfPresent(path);
  return os::OsFile::Create(path, path);
}

}  // namespace

void AppendListValue(std::string* out, const paradox::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    AppendCsvField(out, *text);
  } else {
    AppendCsvField(out, ValueText(value));
  }
}

ChangeListFile::ChangeListFile(const std::string& path, const std::vector<TableCounts>& counts)
    : path_(path), file_(CreateReplacing(path)) {
  text_.reserve(kWriteChunk + kWriteChunk / 4);
  text_ += std::string(kSummaryHeading) + kLineEnd;
  for (const TableCounts& t : counts) {
    AppendCsvField(&text_, t.table);
    text_ += "," + std::to_string(t.added) + "," + std::to_string(t.rewritten) + "," + std::to_string(t.removed) +
             "," + std::to_string(t.unchanged) + kLineEnd;
  }
  text_ += kLineEnd;
  text_ += std::string(kRowsHeading) + kLineEnd;
}

void ChangeListFile::BeginRow(std::string_view table, std::string_view key, RowChangeKind kind) {
  FlushIfFull();
  opening_.clear();
  AppendCsvField(&opening_, table);
  opening_.push_back(',');
  AppendCsvField(&opening_, key);
  opening_.push_back(',');
  opening_.append(KindText(kind));
  opening_.push_back(',');
}

void ChangeListFile::WholeRowLine() {
  text_.append(opening_);
  text_.append(",,");
  text_.append(kLineEnd);
}

void ChangeListFile::FieldLine(std::string_view field, std::string_view before, std::string_view after) {
  text_.append(opening_);
  AppendCsvField(&text_, field);
  text_.push_back(',');
  AppendCsvField(&text_, before);
  text_.push_back(',');
  AppendCsvField(&text_, after);
  text_.append(kLineEnd);
}

void ChangeListFile::FieldValuesLine(std::string_view field, const paradox::Value& before, const paradox::Value& after) {
  text_.append(opening_);
  AppendCsvField(&text_, field);
  text_.push_back(',');
  AppendListValue(&text_, before);
  text_.push_back(',');
  AppendListValue(&text_, after);
  text_.append(kLineEnd);
}

void ChangeListFile::FlushIfFull() {
  if (text_.size() < kWriteChunk) return;
  file_.WriteAt(written_, reinterpret_cast<const uint8_t*>(text_.data()), text_.size());
  written_ += text_.size();
  text_.clear();
}

void ChangeListFile::Finish() {
  if (!text_.empty()) {
    file_.WriteAt(written_, reinterpret_cast<const uint8_t*>(text_.data()), text_.size());
    written_ += text_.size();
    text_.clear();
  }
  file_.SyncData();
}

}  // namespace varnholt
