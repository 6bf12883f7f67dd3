// The atomic save of a table family. Every file of it that changed (secondary index files, the .PX
// and the .DB) is written whole under its own name with ".saving" added and flushed to the disk;
// then all are renamed over the old ones, the .DB last, by a child process that our being killed
// does not stop. A process killed at any moment therefore leaves the family either as it was or as
// saved, never a half-written file nor a new index beside an old .DB. (A power cut between the
// renames can still stop them halfway, and so can a kill on Windows, which has no such child; the
// next writable open then finishes them: FinishStoppedSave.) The new .DB is locked before it
// replaces the old one, so the lock never lapses.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_
#define VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/os/os_file.h"

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
};

// The first half of SaveFamily: writes and flushes every new file. Throws EngineError on failure,
// leaving the old files as they were and no new ones behind. Writing every table's new files
// before any is put in place lets a command change all its tables or, when one cannot be written
// (a full disk), none.
PreparedSave PrepareFamilySave(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                               uint8_t stamp, const std::vector<FamilyFile>& others,
                               const std::function<void(OsFile*)>& write_db);
// The second half: marks the save and puts the new files in place. Returns the new .DB, locked,
// now at db_path. A failure before the first rename leaves the old files and no new ones; one after
// it leaves the rest, marked, for the next writable open (FinishStoppedSave).
OsFile CommitFamilySave(PreparedSave* save);
// Drops a prepared save's new files; the old ones stay as they were.
void AbandonFamilySave(PreparedSave* save);

// Writes the family: `others` first, then `index` (when not null) flushed with `stamp` as the new
// .PX, `write_db` fills the new .DB. Returns the new .DB, locked, now at db_path. Throws EngineError
// on failure, leaving the old files as they were and no new ones behind.
OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::vector<FamilyFile>& others,
                  const std::function<void(OsFile*)>& write_db);
// Finishes a save that was stopped while its new files were being put in place: before the first
// rename every new file is whole on the disk and a mark says so (the .DB's name with ".renaming"),
// so every new copy left (found by its name, as a replace stopped halfway may have removed the old
// file) is put in place, secondary index files first, then the .PX, the .DB last. Returns the new
// .DB, open and locked, when it put one in place; nothing when no save was stopped among its
// renames (the new files of one stopped before are dropped by RemoveLeftOverSaves). A save whose
// rename fails after one new file is in place leaves the rest for this too. Throws EngineError
// when a rename fails. REQUIRES: the table's lock is held.
std::optional<OsFile> FinishStoppedSave(const std::string& db_path);
// When the .DB at db_path is missing while a marked save's new copy of it waits beside it, the save
// was stopped inside the rename that replaces the .DB (Windows' replace can remove the old file
// before it moves the new one in): the new copy, whole on the disk, is put in place. True when it
// was. Nothing can be locked before; another copy of ours that races it loses nothing.
bool PutBackStoppedTable(const std::string& db_path);
// Removes what a killed save left behind of the files at `paths` (the family's). REQUIRES: the
// table's lock is held, so no save of ours is under way.
void RemoveLeftOverSaves(const std::vector<std::string>& paths);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_
