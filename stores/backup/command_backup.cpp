#include "stores/backup/command_backup.h"

#include "base/os/folder.h"
#include "base/path_text.h"
#include "stores/backup/backups.h"

namespace varnholt {

PostedChanges ChangesOfPosts(const std::vector<SharedTable*>& tables) {
  std::vector<std::pair<paradox::Table*, std::string>> named;
  for (SharedTable* table : tables) named.emplace_back(&table->table(), table->file_name());
  return PostedChanges(std::move(named));
}

CommandBackup::CommandBackup(std::function<std::time_t()> clock) : clock_(std::move(clock)) {}

std::string CommandBackup::FolderFor(const std::vector<SharedTable*>& changing) {
  last_backup_.clear();
  std::optional<ChangeList> known = std::move(known_changes_);
  known_changes_.reset();
  target_folder_ = FolderHolding(changing.front()->table().path());
  kept_ = BackupsKept(target_folder_);
  if (kept_ == 0) return {};
  if (known) return BeginBackup(target_folder_, command_, clock_(), KnownChanges(*known));
  return BeginBackup(target_folder_, command_, clock_(), ChangesOfPosts(changing));
}

void CommandBackup::SaveEnded(const std::string& folder, bool saved) {
  if (folder.empty()) return;
  if (!saved) {
    // The save set removed its folder as it undid itself (what it could not remove, the next
    // tidying does); a backups folder made for it alone goes too, so the target is as it was.
    os::RemoveEmptyFolder(BackupsFolderOf(target_folder_));
    return;
  }
  last_backup_ = folder;
  TidyBackups(target_folder_, kept_);
}

}  // namespace varnholt
