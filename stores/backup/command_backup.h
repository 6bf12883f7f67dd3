// CommandBackup: the target session's keeper of a way back (SaveKeeper). Before each save of a
// command it makes a backup (backups.h) named by the command, with the change list of the save,
// and once the save is in place it tidies the older backups away.
#ifndef VARNHOLT_STORES_BACKUP_COMMAND_BACKUP_H_
#define VARNHOLT_STORES_BACKUP_COMMAND_BACKUP_H_

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "stores/backup/change_list.h"
#include "stores/backup/posted_changes.h"
#include "stores/target/target_session.h"

namespace varnholt {

// What the posts waiting in `tables` change, a table each, in their order.
PostedChanges ChangesOfPosts(const std::vector<SharedTable*>& tables);

class CommandBackup : public SaveKeeper {
 public:
  explicit CommandBackup(std::function<std::time_t()> clock);

  // The command whose saves follow ("Import", "Update", "Restore", ...).
  void set_command(std::string command) { command_ = std::move(command); }
  // The changes of the next save, where the tables' posts do not tell them (a restore's).
  void set_known_changes(ChangeList changes) { known_changes_ = std::move(changes); }

  std::string FolderFor(const std::vector<SharedTable*>& changing) override;
  void SaveEnded(const std::string& folder, bool saved) override;

  // The folder of the last backup made and put to use; empty when the last save kept none.
  const std::string& last_backup() const { return last_backup_; }

 private:
  std::function<std::time_t()> clock_;
  std::string command_ = "Save";
  std::optional<ChangeList> known_changes_;
  std::string target_folder_;
  int kept_ = 0;
  std::string last_backup_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_BACKUP_COMMAND_BACKUP_H_
