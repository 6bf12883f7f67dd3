#include "stores/backup/change_list_file.h"

#include <array>

#include "base/os/folder.h"
#include "base/windows_1252.h"

namespace varnholt {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kSummaryHeading[] = "Table,Added,Rewritten,Removed,Unchanged";
constexpr char kRowsHeading[] = "Table,Key,Change,Field,Old value,New value";
constexpr unsigned char kFirstNonAscii = 0x80;

bool NeedsQuotes(std::string_view value) {
  // One look a character: a list can hold millions of values.
  static constexpr auto kBreaksLayout = [] {
    std::array<bool, 256> breaks{};
    for (const unsigned char ch : {',', '"', '\r', '\n'}) breaks[ch] = true;
    return breaks;
  }();
  for (const char ch : value) {
    if (kBreaksLayout[static_cast<unsigned char>(ch)]) return true;
  }
  return false;
}

bool IsAscii(std::string_view value) {
  for (const char ch : value) {
    if (static_cast<unsigned char>(ch) >= kFirstNonAscii) return false;
  }
  return true;
}

// Appends a value already in Windows-1252, quoted when it would break the comma-separated layout.
void AppendListed(std::string* out, std::string_view value) {
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

void AppendCsvField(std::string* out, std::string_view utf8) {
  if (IsAscii(utf8)) {
    AppendListed(out, utf8);
  } else {
    AppendListed(out, ToWindows1252(std::string(utf8)));
  }
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

std::string ListedText(const std::string& utf8) { return IsAscii(utf8) ? utf8 : ToWindows1252(utf8); }

ChangeListFile::ChangeListFile(const std::string& path, const std::vector<TableCounts>& counts)
    : file_(CreateReplacing(path)) {
  text_ += std::string(kSummaryHeading) + kLineEnd;
  for (const TableCounts& t : counts) {
    AppendCsvField(&text_, t.table);
    text_ += "," + std::to_string(t.added) + "," + std::to_string(t.rewritten) + "," + std::to_string(t.removed) +
             "," + std::to_string(t.unchanged) + kLineEnd;
  }
  text_ += kLineEnd;
  text_ += std::string(kRowsHeading) + kLineEnd;
}

void ChangeListFile::Take(std::string* lines) {
  if (text_.size() + lines->size() < kPieceBytes) {
    text_.append(*lines);
  } else {
    // A large piece goes out as it is, after what waited: no copy of it.
    Write(text_);
    text_.clear();
    Write(*lines);
  }
  lines->clear();
}

void ChangeListFile::Write(const std::string& text) {
  if (text.empty()) return;
  file_.WriteAt(written_, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  written_ += text.size();
}

void ChangeListFile::Finish() {
  Write(text_);
  text_.clear();
  file_.SyncData();
}

void ChangeLines::BeginRow(std::string_view table, std::string_view key, RowChangeKind kind) {
  BeginListedRow(table, ListedText(std::string(key)), kind);
}

void ChangeLines::BeginListedRow(std::string_view table, std::string_view listed_key, RowChangeKind kind) {
  opening_.clear();
  AppendCsvField(&opening_, table);
  opening_.push_back(',');
  AppendListed(&opening_, listed_key);
  opening_.push_back(',');
  opening_.append(KindText(kind));
  opening_.push_back(',');
}

void ChangeLines::WholeRowLine() {
  out_->append(opening_);
  out_->append(",,");
  out_->append(kLineEnd);
}

void ChangeLines::FieldLine(std::string_view field, std::string_view before, std::string_view after) {
  ListedFieldLine(ListedText(std::string(field)), ListedText(std::string(before)), ListedText(std::string(after)));
}

void ChangeLines::ListedFieldLine(std::string_view field, std::string_view before, std::string_view after) {
  out_->append(opening_);
  AppendListed(out_, field);
  out_->push_back(',');
  AppendListed(out_, before);
  out_->push_back(',');
  AppendListed(out_, after);
  out_->append(kLineEnd);
}

}  // namespace varnholt
