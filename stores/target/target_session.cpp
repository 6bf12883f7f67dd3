#include "stores/target/target_session.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/ascii.h"
#include "base/os/folder.h"
#include "base/path_text.h"
#include "stores/paradox/engine_message.h"
#include "stores/paradox/table_crypt.h"
#include "stores/paradox/table_saver.h"
#include "stores/paradox/update_all.h"
#include "stores/target/referential_checks.h"

namespace varnholt {

namespace {

// A value its lookup table does not hold.
constexpr char kLookupFailed[] = "Field value out of lookup table range.";
constexpr char kReferentialIntegrity[] =
    ": cannot write: the table takes part in referential integrity (its .VAL links it to other "
    "tables) and this engine cannot read those links";
// Added to a table name written without an extension.
constexpr char kDefaultExtension[] = ".db";

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
                         paradox::ValidityChecks checks, LookupTables lookups,
                         const uint64_t* command, HeldFiles* held, const HeldFiles* opened)
    : table_(std::move(table)),
      file_name_(std::move(file_name)),
      checks_(std::move(checks)),
      required_(checks_.required()),
      lookups_(std::move(lookups)),
      command_(command),
      held_files_(held),
      opened_tables_(opened) {}

void SharedTable::CheckRequired(const paradox::Record& record) const {
  paradox::CheckRequired(*table_, required_, record);
}

void SharedTable::CheckValid(const paradox::Record& record, const paradox::Record* old_record) {
  if (checks_.referential_integrity() && !checks_.links()) {
    throw EngineError(table_->path() + kReferentialIntegrity);
  }
  CheckRequired(record);
  checks_.CheckRange(record);
  const std::vector<paradox::FieldChecks>& fields = checks_.fields();
  for (size_t i = 0; i < fields.size() && i < record.size(); ++i) {
    if (fields[i].lookup_table.empty() || std::holds_alternative<paradox::Null>(record[i])) continue;
    const auto* text = std::get_if<std::string>(&record[i]);
    if (text != nullptr && text->empty()) continue;
    SharedTable* lookup = lookups_(fields[i].lookup_table);
    if (lookup == nullptr) {
      throw paradox::TableMissingError(
          JoinPath(FolderOfPath(table_->path()), fields[i].lookup_table));
    }
    lookup->Refresh();
    if (lookup->table().FindEqual(0, record[i]).empty()) {
      throw paradox::ValidityError(kLookupFailed, table_->fields()[i].name, record[i], table_->path());
    }
  }
  if (checks_.links()) {
    // The linked tables are opened through the session (password, product-in-use care) and read.
    const LinkedTable open = [this](const std::string& name) -> paradox::Table* {
      SharedTable* linked = lookups_(name);
      if (linked == nullptr) return nullptr;
      linked->Refresh();
      return &linked->table();
    };
    if (old_record != nullptr) CheckNoDetailRecords(*table_, *checks_.links(), record, *old_record, open);
    CheckMasterRecords(*table_, *checks_.links(), record, old_record, open);
  }
}

void SharedTable::HoldForCommand() {
  if (*command_ == 0 || hold_.held()) return;
  CheckFolderNotInUse(FolderHolding(table_->path()), *held_files_, *opened_tables_);
  hold_.Take(table_->path(), held_files_);
}

void SharedTable::ReleaseUnlessUnsaved() {
  if (!table_->unsaved()) hold_.Release(held_files_);
}

void SharedTable::Refresh() {
  HoldForCommand();
  if (*command_ != 0) {
    if (looked_in_command_ == *command_) return;
    looked_in_command_ = *command_;
  }
  if (table_->RefreshIfChanged()) {
    ++version_;
    ++reloads_;
  }
}

void SharedTable::Save() {
  PrepareSave();
  CommitSave();
}

void SharedTable::PrepareSave() {
  if (!table_->unsaved() || prepared_) return;
  CheckFolderNotInUse(FolderHolding(table_->path()), *held_files_, *opened_tables_);
  const uint64_t loads = table_->load_count();
  try {
    table_->PrepareSave();
    prepared_ = true;
  } catch (...) {
    // A clash with another program's change makes the engine read the files again.
    if (table_->load_count() != loads) {
      ++version_;
      ++reloads_;
    }
    throw;
  }
}

void SharedTable::PrepareReplacement(const std::vector<std::pair<std::string, std::string>>& copies) {
  if (prepared_) return;
  CheckFolderNotInUse(FolderHolding(table_->path()), *held_files_, *opened_tables_);
  table_->PrepareReplacement(copies);
  prepared_ = true;
}

void SharedTable::CommitSave() {
  if (!prepared_) return;
  try {
    table_->CommitSave();
  } catch (...) {
    prepared_ = false;
    throw;
  }
  SaveSetDone();
}

void SharedTable::JoinSaveSet(std::vector<paradox::PreparedSave*>* set) {
  if (prepared_) table_->JoinSaveSet(set);
}

void SharedTable::SaveSetDone() {
  if (!prepared_) return;
  prepared_ = false;
  table_->SaveSetDone();
  // The save put new files in place: hold those instead (a program quicker than us is caught at
  // the next look).
  if (hold_.held()) {
    try {
      hold_.Take(table_->path(), held_files_);
    } catch (const StoreError&) {
    }
  }
}

void SharedTable::DropUnsaved() {
  AbandonSave();
  if (!table_->unsaved()) return;
  table_->DropUnsaved();
  ++version_;
  ++reloads_;
  if (*command_ == 0) ReleaseUnlessUnsaved();
}

void SharedTable::AbandonSave() {
  if (!prepared_) return;
  prepared_ = false;
  table_->AbandonSave();
}

paradox::RowId SharedTable::Insert(const paradox::Record& record) {
  CheckValid(record);
  HoldForCommand();
  // The engine looks for another program's changes itself before it writes.
  const uint64_t loads = table_->load_count();
  paradox::RowId row = 0;
  try {
    row = table_->Insert(record);
    if (table_->load_count() != loads) ++reloads_;
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
  const std::vector<paradox::RecordChange> changes =
      paradox::CheckedChanges(*table_, updates, required_);
  if (changes.empty()) return;
  for (const paradox::RecordChange& change : changes) CheckValid(*change.new_record, &change.old_record);
  HoldForCommand();
  try {
    paradox::WriteChanges(*table_, changes);
  } catch (...) {
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
  auto cached = resolved_.find(key);
  if (cached != resolved_.end()) {
    Resolved& r = cached->second;
    if (command_ != 0 && r.seen_in_command == command_) return r.path;
    if (os::KindOf(r.path) == os::PathKind::kFile) {
      r.seen_in_command = command_;
      return r.path;
    }
    resolved_.erase(cached);
  }

  const std::string asked = JoinPath(directory, file_name);
  std::string wanted = NameOfPath(asked);
  if (ExtensionOfName(wanted).empty()) wanted += kDefaultExtension;
  std::string folder = FolderOfPath(asked);
  if (folder.empty()) folder = ".";

  std::string found;
  std::string wanted_lower = AsciiLower(wanted);
  std::vector<std::string> matches;
  // A folder that is not there holds no table; one that cannot be listed is an error of its own.
  const bool listable = os::KindOf(folder) == os::PathKind::kFolder;
  for (const std::string& name : listable ? os::NamesInFolder(folder) : std::vector<std::string>{}) {
    if (AsciiLower(name) == wanted_lower && os::KindOf(JoinPath(folder, name)) == os::PathKind::kFile) {
      matches.push_back(name);
    }
  }
  if (!matches.empty()) {
    // A name spelled exactly as asked wins over others that differ only in case.
    std::sort(matches.begin(), matches.end());
    auto exact = std::find(matches.begin(), matches.end(), wanted);
    found = exact != matches.end() ? *exact : matches.front();
  }
  if (found.empty()) throw paradox::TableMissingError(JoinPath(folder, wanted));
  const std::string path = os::CanonicalPath(JoinPath(folder, found));
  resolved_[key] = Resolved{path, command_};
  return path;
}

SharedTable& TargetSession::OpenTable(const std::string& directory,
                                      const std::string& file_name) {
  std::string path = ResolvePath(directory, file_name);
  auto it = tables_.find(path);
  if (it != tables_.end()) return *it->second;
  // The engine refuses another copy of ours first (its own lock), then we look for the accounting
  // product; an open writes nothing, so a refused table is left as it was.
  // Another program writing this table is seen before our engine has it open too (see
  // FamilyFileOpenForWriting); it is named after our other copies and the lock files.
  const std::string open_elsewhere = FamilyFileOpenForWriting(path);
  auto table = paradox::Table::Open(path, /*writable=*/true, PasswordFor(path));
  opened_tables_.insert(path);
  std::unique_ptr<SharedTable> shared;
  try {
    CheckFolderNotInUse(FolderHolding(path), held_files_, opened_tables_);
    if (!open_elsewhere.empty()) ThrowFolderInUse(FolderHolding(path), open_elsewhere);
    paradox::ValidityChecks checks = paradox::ValidityChecks::Read(path, table->fields(), table->code_page());
    const std::string folder = FolderOfPath(path);
    auto lookups = [this, folder](const std::string& name) -> SharedTable* {
      try {
        ResolvePath(folder, name);
      } catch (const EngineError&) {
        return nullptr;
      }
      return &OpenTable(folder, name);
    };
    shared = std::make_unique<SharedTable>(std::move(table), NameOfPath(path),
                                           std::move(checks), lookups, &command_, &held_files_, &opened_tables_);
  } catch (...) {
    opened_tables_.erase(path);
    throw;
  }
  SharedTable& result = *shared;
  tables_.emplace(path, std::move(shared));
  return result;
}

void TargetSession::UnlockTables(const std::string& directory, const std::vector<std::string>& file_names) {
  for (const std::string& name : file_names) {
    if (!HasTable(directory, name)) continue;
    const std::string path = ResolvePath(directory, name);
    if (tables_.count(path) == 0) PasswordFor(path);
  }
}

bool TargetSession::HasTable(const std::string& directory, const std::string& file_name) {
  try {
    ResolvePath(directory, file_name);
  } catch (const EngineError&) {
    return false;
  }
  return true;
}

std::string TargetSession::PasswordFor(const std::string& path) {
  const uint32_t checksum = paradox::StoredPasswordChecksum(path);
  if (checksum == 0) return {};
  for (const std::string& password : accepted_passwords_) {
    if (paradox::PasswordChecksum(password) == checksum) return password;
  }
  std::optional<std::string> answer;
  if (password_prompt_ != nullptr) {
    answer = password_prompt_->AskTablePassword(NameOfPath(path));
  }
  if (!answer || answer->empty()) throw paradox::PasswordRequiredError(path);
  if (paradox::PasswordChecksum(*answer) != checksum) throw paradox::WrongPasswordError(path);
  accepted_passwords_.push_back(*answer);
  return *answer;
}

std::vector<SharedTable*> TargetSession::UnsavedTables() {
  std::vector<SharedTable*> unsaved;
  for (auto& [path, table] : tables_) {
    if (table->table().unsaved()) unsaved.push_back(table.get());
  }
  return unsaved;
}

std::string TargetSession::OnEveryTable(void (SharedTable::*step)()) {
  std::string errors;
  for (auto& [path, table] : tables_) {
    try {
      (table.get()->*step)();
    } catch (const std::exception& error) {
      errors += (errors.empty() ? "" : "\n") + std::string(error.what());
    }
  }
  return errors;
}

void TargetSession::DropUnsaved() {
  const std::string errors = OnEveryTable(&SharedTable::DropUnsaved);
  if (!errors.empty()) throw EngineError(EachLineOnce(errors));
}

void TargetSession::BeginCommand() {
  if (command_depth_++ == 0) command_ = ++commands_begun_;
}

void TargetSession::EndCommand() {
  if (--command_depth_ == 0) {
    command_ = 0;
    for (auto& [path, table] : tables_) table->ReleaseUnlessUnsaved();
  }
}

void TargetSession::SaveAll() {
  // Every table's new files are written before any is put in place, so that a table that cannot be
  // written (a full disk, a read-only folder, another program's change) leaves all of them as they
  // were, each keeping its rows for the next save: never learners without the parents they name.
  std::string errors = OnEveryTable(&SharedTable::PrepareSave);
  if (errors.empty()) {
    // Then all are put in place as one: a rename that fails puts every table back.
    std::vector<paradox::PreparedSave*> set;
    std::vector<SharedTable*> changing;
    for (auto& [path, table] : tables_) {
      table->JoinSaveSet(&set);
      if (table->prepared()) changing.push_back(table.get());
    }
    std::string keep_folder;
    try {
      if (save_keeper_ != nullptr && !changing.empty()) keep_folder = save_keeper_->FolderFor(changing);
      paradox::CommitSaveSet(set, keep_folder);
      for (auto& [path, table] : tables_) table->SaveSetDone();
    } catch (const std::exception& error) {
      errors = error.what();
    }
    if (save_keeper_ != nullptr && !changing.empty()) save_keeper_->SaveEnded(keep_folder, errors.empty());
  }
  if (!errors.empty()) {
    for (auto& [path, table] : tables_) table->AbandonSave();
  }
  if (command_ == 0) {
    for (auto& [path, table] : tables_) table->ReleaseUnlessUnsaved();
  }
  // Tables refused for one reason (a read-only folder) share its lines: each is shown once.
  if (!errors.empty()) throw EngineError(EachLineOnce(errors));
}

}  // namespace varnholt
