// The atomic save of table families, one table or a command's several together. Every file of a
// family that changed (secondary index files, the .PX and the .DB) is written whole under its own
// name with ".saving" added and flushed to the disk, every table's before any is put in place. A
// record of the set (beside its first .DB, ".set") and a mark beside each .DB (".renaming") then
// say that every new file is whole; each old file is kept under a second name (".before") and the
// new ones are renamed over them, the .DB last in each family, on POSIX by a child process that
// our being killed does not stop. When a rename fails, every table of the set is put back as it
// was. A stop at any moment is ended by each table's next writable open (FinishStoppedSave): put
// in place when the record says forward, put back when it says back, so the tables of a command
// are all as before it or all as after, never between. The new .DB is locked before it replaces
// the old one, so the lock never lapses.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_
#define VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "stores/paradox/engine_files.h"

namespace varnholt::paradox {

class PrimaryIndex;

// A further file of the family, written whole by `write`, put in place before the .PX and .DB.
struct FamilyFile {
  std::string path;
  std::function<void(OsFile*)> write;
};

// A family's new files, whole on the disk under their ".saving" names, not yet in place.
struct PreparedSave {
  std::string db_path;
  std::vector<std::string> targets;  // of `written`, in order: secondary index files, the .PX
  std::vector<OsFile> written;
  OsFile db_file;  // the new .DB, locked
  std::string set_record;  // once marked: the record of the set it is put in place with
};

// The first half of SaveFamily: writes and flushes every new file. Throws EngineError on failure,
// leaving the old files as they were and no new ones behind. Writing every table's new files
// before any is put in place lets a command change all its tables or, when one cannot be written
// (a full disk), none.
PreparedSave PrepareFamilySave(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                               uint8_t stamp, const std::vector<FamilyFile>& others,
                               const std::function<void(OsFile*)>& write_db);
// Puts every prepared save of `saves` in place as one change (the steps below, in order). Each
// save's new .DB, locked, is then in its db_file, at its db_path. Throws EngineError when a step
// fails, after putting every table back as it was and dropping the new files; the text then says
// whether that went well or the next command will finish it.
//
// With a `keep_folder` (an existing, empty folder on the tables' volume) every file the set
// replaces is first given a second name there (a copy where the file system has no links), and
// kKeptFilesName lists them ("kept NAME", or "new NAME" for a file the set makes), before any
// table is changed: a way back. Once every table is in place the folder is sealed
// (kKeptSealName). A file that cannot be kept, or a seal that cannot be written, leaves every table
// as it was (the set is undone) and removes the folder. The set's record names the folder, so a
// stopped set ended forward seals it and one ended back removes it with all in it.
void CommitSaveSet(const std::vector<PreparedSave*>& saves, const std::string& keep_folder = {});

// The files in a keep folder that the save set writes: the list of what it kept, and the seal that
// says the set took effect.
inline constexpr char kKeptFilesName[] = "files.txt";
inline constexpr char kKeptSealName[] = "done";
// The line of kKeptFilesName for a kept file and for a file the set made.
inline constexpr char kKeptLine[] = "kept ";
inline constexpr char kNewLine[] = "new ";

// The keep folders named by the records of save sets not yet ended in `folder` (a table folder):
// those a later open may still seal or empty.
std::vector<std::string> KeepFoldersOfOpenSets(const std::string& folder);
// Drops a prepared save's new files (and its mark, when marked); the old ones stay as they were.
void AbandonFamilySave(PreparedSave* save);

// Writes the family: `others` first, then `index` (when not null) flushed with `stamp` as the new
// .PX, `write_db` fills the new .DB. Returns the new .DB, locked, now at db_path. Throws EngineError
// on failure, leaving the old files as they were and no new ones behind.
OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::vector<FamilyFile>& others,
                  const std::function<void(OsFile*)>& write_db);
// Ends a save that was stopped after its table was marked: when its set's record says forward (or
// the mark names no set), every new copy left (found by its name, as a replace stopped halfway
// may have removed the old file) is put in place, secondary index files first, then the .PX, the
// .DB last; when it says back (or is missing), every kept old file is put back and the new copies
// dropped. Removes the mark, and the record once no table of the set has one. Returns the new .DB,
// open and locked, when it put one in place; nothing when it put the old one back (the caller's
// open file may then be the dropped new one: TableLock::FollowReplaced) or no save was stopped after its mark
// (the new files of one stopped before are dropped by RemoveLeftOverSaves). Throws EngineError
// when a rename fails. REQUIRES: the table's lock is held.
std::optional<OsFile> FinishStoppedSave(const std::string& db_path);
// When the .DB at db_path is missing while a marked save's new copy of it waits beside it, the save
// was stopped inside the rename that replaces the .DB (Windows' replace can remove the old file
// before it moves the new one in): the new copy, whole on the disk, is put in place. True when it
// was. Nothing can be locked before; another copy of ours that races it loses nothing.
bool PutBackStoppedTable(const std::string& db_path);
// Removes what a killed or failed save left behind of the files at `paths` (the family's, the .DB
// first), and the record of a set of the .DB's once it is done. REQUIRES: the table's lock is held,
// so no save of ours is under way.
void RemoveLeftOverSaves(const std::vector<std::string>& paths);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_
