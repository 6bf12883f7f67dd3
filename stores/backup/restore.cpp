#include "stores/backup/restore.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "base/engine_error.h"
#include "base/os/folder.h"
#include "base/path_text.h"
#include "stores/backup/command_backup.h"
#include "stores/paradox/table_saver.h"

namespace varnholt {

namespace {

constexpr char kRestoreCommand[] = "Restore";
constexpr char kTableExtension[] = ".DB";

// One table's files in a backup: those kept, and those its command made.
struct KeptFamily {
  std::string db_name;
  std::vector<std::string> kept;
  std::vector<std::string> made;
};

std::vector<std::string> LinesOf(const std::string& path) {
  std::string reason;
  std::optional<std::vector<std::string>> lines = os::ReadLines(path, &reason);
  if (!lines) throw FileError(path + ": cannot read (" + reason + ")");
  return std::move(*lines);
}

// The families of the backup, by the stem of their names, as its list of kept files gives them.
std::vector<KeptFamily> FamiliesOf(const BackupInfo& backup) {
  const std::string listed = JoinPath(backup.folder, paradox::kKeptFilesName);
  std::map<std::string, KeptFamily> families;
  for (const std::string& line : LinesOf(listed)) {
    const bool kept = line.starts_with(paradox::kKeptLine);
    const bool made = line.starts_with(paradox::kNewLine);
    if (!kept && !made) throw EngineError(listed + ": not a list of kept files");
    const std::string name = line.substr(std::string_view(kept ? paradox::kKeptLine : paradox::kNewLine).size());
    if (name.empty() || name != NameOfPath(name)) throw EngineError(listed + ": not a list of kept files");
    KeptFamily& family = families[AsciiUpper(StemOfName(name))];
    if (AsciiUpper(ExtensionOfName(name)) == kTableExtension) family.db_name = name;
    (kept ? family.kept : family.made).push_back(name);
  }
  std::vector<KeptFamily> result;
  for (auto& [stem, family] : families) {
    if (family.db_name.empty()) throw EngineError(listed + ": lists files of a table without the table");
    result.push_back(std::move(family));
  }
  return result;
}

bool SameBytes(const std::string& a, const std::string& b) {
  if (os::KindOf(a) != os::PathKind::kFile || os::KindOf(b) != os::PathKind::kFile) return false;
  std::string reason;
  const std::optional<std::vector<uint8_t>> x = os::ReadWholeFile(a, &reason);
  if (!x) throw FileError(a + ": cannot read (" + reason + ")");
  const std::optional<std::vector<uint8_t>> y = os::ReadWholeFile(b, &reason);
  if (!y) throw FileError(b + ": cannot read (" + reason + ")");
  return *x == *y;
}

}  // namespace

RestoreOutcome RestoreBackup(TargetSession& session, const std::string& target_folder, const BackupInfo& backup,
                             std::time_t now) {
  const std::vector<KeptFamily> families = FamiliesOf(backup);
  RestoreOutcome outcome;
  CommandScope<TargetSession> command(session);
  std::vector<std::pair<SharedTable*, const KeptFamily*>> changing;
  for (const KeptFamily& family : families) {
    // The table that the backup's command changed: a table that no longer exists is no table of
    // this folder to put back.
    SharedTable& table = session.OpenTable(target_folder, family.db_name);
    table.HoldForCommand();
    const std::string folder = FolderHolding(table.table().path());
    bool same = true;
    for (const std::string& name : family.kept) same = same && SameBytes(JoinPath(folder, name), JoinPath(backup.folder, name));
    for (const std::string& name : family.made) same = same && os::KindOf(JoinPath(folder, name)) == os::PathKind::kMissing;
    if (!same) changing.emplace_back(&table, &family);
  }
  if (changing.empty()) return outcome;

  for (const auto& [table, family] : changing) {
    const std::string kept_db = JoinPath(backup.folder, family->db_name);
    const auto before = paradox::Table::Open(kept_db, false, session.PasswordFor(table->table().path()));
    outcome.changes.push_back(ChangesBetween(table->table(), *before, table->file_name()));
  }
  std::vector<std::string> made;
  try {
    for (const auto& [table, family] : changing) {
      const std::string folder = FolderHolding(table->table().path());
      std::vector<std::pair<std::string, std::string>> copies;
      for (const std::string& name : family->kept) copies.emplace_back(JoinPath(folder, name), JoinPath(backup.folder, name));
      for (const std::string& name : family->made) made.push_back(JoinPath(folder, name));
      table->PrepareReplacement(copies);
    }
  } catch (...) {
    for (const auto& [table, family] : changing) table->AbandonSave();
    throw;
  }
  CommandBackup keeper([now] { return now; });
  keeper.set_command(kRestoreCommand);
  keeper.set_known_changes(outcome.changes);
  SaveKeeper* const commands_keeper = session.save_keeper();
  session.set_save_keeper(&keeper);
  try {
    session.SaveAll();
  } catch (...) {
    session.set_save_keeper(commands_keeper);
    throw;
  }
  session.set_save_keeper(commands_keeper);
  // Files the command made that the tables did not have before it: a table reads none of them
  // once its own files are back, so they go after.
  for (const std::string& path : made) os::RemoveIfPresent(path);
  outcome.backup = keeper.last_backup();
  return outcome;
}

}  // namespace varnholt
