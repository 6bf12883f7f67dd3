// The backups of a target folder: before a command changes its tables, the files it replaces are
// kept in a folder of their own inside "Varnholt backups" in the target folder (same volume, so
// keeping a file costs a second name, not a copy), with the list of what the command changed
// (change_list.h) and a short description. A backup counts once its save set has sealed it
// (paradox::kKeptSealName); one the save set never sealed is no way back and is removed.
//
// A backup folder holds: the kept table files under their own names, paradox::kKeptFilesName (what
// was kept, and the files the command made), kBackupDetailsName and kChangeListName.
#ifndef VARNHOLT_STORES_BACKUP_BACKUPS_H_
#define VARNHOLT_STORES_BACKUP_BACKUPS_H_

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "stores/backup/change_list.h"

namespace varnholt {

inline constexpr char kBackupsFolderName[] = "Varnholt backups";
inline constexpr char kBackupDetailsName[] = "backup.txt";
inline constexpr char kChangeListName[] = "changes.csv";
// In the backups folder: "keep = N", how many backups are kept (0: none are made).
inline constexpr char kBackupSettingsName[] = "settings.txt";
inline constexpr int kDefaultBackupsKept = 20;

struct BackupInfo {
  std::string id;       // yyyymmdd-hhmmss of its command's time, "-2" and on for a second in a second
  std::string time;     // "yyyy-mm-dd hh:mm:ss", local time
  std::string command;  // "Import", "Update", "Restore", ...
  std::string folder;   // its path
  size_t added = 0;
  size_t rewritten = 0;
};

// The backups folder of `target_folder`.
std::string BackupsFolderOf(const std::string& target_folder);

// The sealed backups of `target_folder`, newest first. Reads only; none when there is no
// backups folder. Throws FileError when the folder cannot be listed.
std::vector<BackupInfo> ListBackups(const std::string& target_folder);

// The backup `id` ("latest": the newest); nullopt when there is none such.
std::optional<BackupInfo> FindBackup(const std::string& target_folder, const std::string& id);

// How many backups the target folder's settings keep (kDefaultBackupsKept when not set or not a
// number of 0 or more).
int BackupsKept(const std::string& target_folder);

// Makes the folder of a new backup of `target_folder` for `command` at `now` and writes its
// details and change list into it; returns its path. Throws FileError ("cannot make a backup")
// naming the folder or file, having removed what it made, when it cannot: the command then writes
// nothing.
std::string BeginBackup(const std::string& target_folder, const std::string& command, std::time_t now,
                        const ChangeSource& changes);

// After a command whose backup is sealed: removes the sealed backups beyond the newest `kept` and
// the unsealed ones that no unfinished save set names. Best effort: what cannot be removed now is
// removed after a later command.
void TidyBackups(const std::string& target_folder, int kept);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_BACKUP_BACKUPS_H_
