#include "stores/target/target_session.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "stores/target/required_fields.h"
#include "stores/target/target_table.h"

namespace varnholt {

namespace {

namespace fs = std::filesystem;

constexpr char kTableMissing[] = "Table does not exist.";
constexpr char kKeyViolation[] = "Key violation.";
// Added to a table name written without an extension.
constexpr char kDefaultExtension[] = ".db";

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string JoinPath(const std::string& directory, const std::string& file_name) {
  if (directory.empty()) return file_name;
  if (directory.back() == '/') return directory + file_name;
  return directory + "/" + file_name;
}

bool KeysEqual(const paradox::Record& a, const paradox::Record& b, int key_fields) {
  for (int i = 0; i < key_fields; ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

}  // namespace

std::string EachLineOnce(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end()) {
      lines.push_back(line);
    }
    start = end + 1;
  }
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : "\n") + line;
  return joined;
}

SharedTable::SharedTable(std::unique_ptr<paradox::Table> table, std::string file_name,
                         std::vector<bool> required)
    : table_(std::move(table)), file_name_(std::move(file_name)), required_(std::move(required)) {}

void SharedTable::CheckRequired(const paradox::Record& record) const {
  for (size_t i = 0; i < required_.size() && i < record.size(); ++i) {
    if (required_[i] && std::holds_alternative<paradox::Null>(record[i])) {
      throw StoreError("Field '" + table_->fields()[i].name + "' must have a value");
    }
  }
}

void SharedTable::Refresh() {
  if (table_->RefreshIfChanged()) {
    ++version_;
    ++reloads_;
  }
}

paradox::RowId SharedTable::Insert(const paradox::Record& record) {
  CheckRequired(record);
  Refresh();
  paradox::RowId row = 0;
  try {
    row = table_->Insert(record);
  } catch (...) {
    // A refused write may have made the engine read the files again.
    ++version_;
    ++reloads_;
    throw;
  }
  ++version_;
  return row;
}

void SharedTable::UpdateAll(
    const std::vector<std::pair<paradox::RowId, paradox::Record>>& updates) {
  struct Change {
    paradox::RowId row;
    paradox::Record old_record;
    const paradox::Record* new_record;
  };
  std::vector<Change> changes;
  for (const auto& [row, record] : updates) {
    CheckRequired(record);
    const paradox::Record& old = table_->Get(row);
    if (old != record) changes.push_back(Change{row, old, &record});
  }
  if (changes.empty()) return;

  int key_fields = table_->key_field_count();
  if (key_fields > 0) {
    std::map<paradox::RowId, const paradox::Record*> new_records;
    for (const auto& [row, record] : updates) new_records[row] = &record;
    for (const Change& change : changes) {
      const paradox::Record& record = *change.new_record;
      if (KeysEqual(record, change.old_record, key_fields)) continue;
      // The new key may not stay with any other row, changed or not.
      for (paradox::RowId other : table_->FindEqual(0, record[0])) {
        if (other == change.row) continue;
        auto changed = new_records.find(other);
        const paradox::Record& final_record =
            changed != new_records.end() ? *changed->second : table_->Get(other);
        if (KeysEqual(final_record, record, key_fields)) {
          throw paradox::EngineError(std::string(kKeyViolation) + "\nTable: " + table_->path());
        }
      }
      for (const auto& [row, other_record] : new_records) {
        if (row != change.row && KeysEqual(*other_record, record, key_fields)) {
          throw paradox::EngineError(std::string(kKeyViolation) + "\nTable: " + table_->path());
        }
      }
    }
  }

  size_t written = 0;
  try {
    for (; written < changes.size(); ++written) {
      table_->Update(changes[written].row, *changes[written].new_record);
    }
  } catch (...) {
    // Put back what was written, newest first, so the table is as it was.
    while (written > 0) {
      --written;
      try {
        table_->Update(changes[written].row, changes[written].old_record);
      } catch (...) {
      }
    }
    ++version_;
    ++reloads_;
    throw;
  }
  ++version_;
}

TargetSession::TargetSession() = default;
TargetSession::~TargetSession() = default;

std::string TargetSession::ResolvePath(const std::string& directory,
                                       const std::string& file_name) {
  auto key = std::make_pair(directory, file_name);
  std::error_code error;
  auto cached = resolved_.find(key);
  if (cached != resolved_.end()) {
    if (fs::is_regular_file(cached->second, error)) return cached->second;
    resolved_.erase(cached);
  }

  fs::path asked = JoinPath(directory, file_name);
  std::string wanted = asked.filename().string();
  if (asked.filename().extension().empty()) wanted += kDefaultExtension;
  fs::path folder = asked.parent_path();
  if (folder.empty()) folder = ".";

  std::string found;
  std::string wanted_lower = Lower(wanted);
  std::vector<std::string> matches;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (Lower(name) == wanted_lower && it->is_regular_file(error)) matches.push_back(name);
  }
  if (!matches.empty()) {
    // A name spelled exactly as asked wins over others that differ only in case.
    std::sort(matches.begin(), matches.end());
    auto exact = std::find(matches.begin(), matches.end(), wanted);
    found = exact != matches.end() ? *exact : matches.front();
  }
  if (found.empty()) {
    throw paradox::EngineError(std::string(kTableMissing) + "\nFile: " +
                               (folder / wanted).string());
  }
  fs::path path = fs::weakly_canonical(folder / found, error);
  if (error) path = folder / found;
  resolved_[key] = path.string();
  return path.string();
}

SharedTable& TargetSession::OpenTable(const std::string& directory,
                                      const std::string& file_name) {
  std::string path = ResolvePath(directory, file_name);
  auto it = tables_.find(path);
  if (it != tables_.end()) return *it->second;
  auto table = paradox::Table::Open(path, /*writable=*/true);
  std::vector<bool> required = ReadRequiredFields(path, table->fields());
  auto shared = std::make_unique<SharedTable>(std::move(table), fs::path(path).filename().string(),
                                              std::move(required));
  SharedTable& result = *shared;
  tables_.emplace(path, std::move(shared));
  return result;
}

void TargetSession::DiscardPendingRows() {
  for (TargetTable* component : components_) component->DiscardPending();
}

void TargetSession::Register(TargetTable* component) { components_.insert(component); }
void TargetSession::Unregister(TargetTable* component) { components_.erase(component); }

}  // namespace varnholt
