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

// Writes the family: `others` first, then `index` (when not null) flushed with `stamp` as the new
// .PX, `write_db` fills the new .DB. Returns the new .DB, locked, now at db_path. Throws EngineError
// on failure, leaving the old files as they were and no new ones behind.
OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::vector<FamilyFile>& others,
                  const std::function<void(OsFile*)>& write_db);
// Finishes a save that was stopped while its new files were being put in place: every new file was
// written whole and flushed before the first rename, so once one of them is in place the rest are
// put in place too, in the saver's order, the .DB last. `others` are the family's files besides
// the .DB, in the order a save renames them (secondary index files, then the .PX). Returns the new
// .DB, open and locked, when it finished a save; nothing when none was under way, or when the
// renames had not begun (RemoveLeftOverSaves then drops the new files). Throws EngineError when a
// rename fails. REQUIRES: the table's lock is held, so no save of ours is under way.
std::optional<OsFile> FinishStoppedSave(const std::string& db_path, const std::vector<std::string>& others);
// Removes what a killed save left behind of the files at `paths` (the family's). REQUIRES: the
// table's lock is held, so no save of ours is under way.
void RemoveLeftOverSaves(const std::vector<std::string>& paths);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_
