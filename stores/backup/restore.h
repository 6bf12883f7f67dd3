// Putting a backup back: the tables of a backup (backups.h) are put in place of the target
// folder's, as one save set (paradox::CommitSaveSet), so a restore stopped at any moment is
// finished or undone by the next open of its tables, and a rerun finishes it. It holds the tables
// as a command does (the session's locks, and the look for the accounting product), and is itself
// backed up, so it can be undone in its turn.
#ifndef VARNHOLT_STORES_BACKUP_RESTORE_H_
#define VARNHOLT_STORES_BACKUP_RESTORE_H_

#include <ctime>
#include <string>

#include "stores/backup/backups.h"
#include "stores/backup/change_list.h"
#include "stores/target/target_session.h"

namespace varnholt {

struct RestoreOutcome {
  ChangeList changes;  // what the restore changed, a table each
  std::string backup;  // the restore's own backup; empty when no table changed
};

// Puts back, in `target_folder`, every table of `backup` as it was before the backup's command,
// byte for byte, through `session` (its password prompt answers for protected tables). All tables
// or none. A table already as the backup holds it is left alone. Throws StoreError (EngineError
// for the files and the tables) naming what stopped it; the tables are then as before.
RestoreOutcome RestoreBackup(TargetSession& session, const std::string& target_folder, const BackupInfo& backup,
                             std::time_t now);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_BACKUP_RESTORE_H_
