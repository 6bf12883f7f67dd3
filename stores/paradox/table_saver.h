// The atomic save of a table family. The .PX and the .DB are written whole under their own names
// with ".saving" added, flushed to the disk, then renamed over the .PX and then the .DB by a child
// process that our being killed does not stop. A process killed at any moment therefore leaves the
// family either as it was or as saved, never a half-written file nor a new .PX beside an old .DB.
// (A power cut between the two renames can still do that; the next writable open then rebuilds
// the .PX.) The new .DB is locked before it replaces the old one, so the lock never lapses.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_
#define VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "base/os/os_file.h"

namespace varnholt::paradox {

class PrimaryIndex;

// Writes the family: `index` (when not null) flushed with `stamp` as the new .PX, `write_db` fills
// the new .DB. Returns the new .DB, locked, now at db_path. Throws EngineError on failure, leaving
// the old files as they were and no new ones behind.
OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::function<void(OsFile*)>& write_db);
// Removes what a killed save left behind. REQUIRES: the table's lock is held, so no save of ours is
// under way.
void RemoveLeftOverSaves(const std::string& db_path, const std::string& px_path);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_SAVER_H_
