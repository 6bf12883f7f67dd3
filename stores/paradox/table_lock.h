// The .DB file an open table holds, locked while the table is open for writing, and the stamps that
// tell whether another program changed the family (.DB, .PX, .MB) since we last read or saved it.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_LOCK_H_
#define VARNHOLT_STORES_PARADOX_TABLE_LOCK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "stores/paradox/engine_files.h"

namespace varnholt::paradox {

class TableLock {
 public:
  // Opens the .DB at db_path; writable: takes its lock, following a file that a saver renamed over
  // it meanwhile. Throws EngineError ("in use") when another open file holds the lock.
  TableLock(std::string db_path, std::string px_path, std::string mb_path, bool writable);

  const OsFile& file() const { return db_; }

  // Notes the stamps of the three files and the .DB's fixed header as they are now.
  void Remember();
  // True when a file differs from what Remember saw: the .DB always, the .PX when `keyed`, the .MB
  // when `has_memo` (only memo fields read it).
  bool Changed(bool keyed, bool has_memo) const;
  // When another file now stands at the .DB's path, opens that one instead (and locks it when
  // writable). Throws EngineError ("in use") when its lock is held.
  void FollowReplaced();
  // Holds `file`, which replaced the .DB at its path and is already locked.
  void Adopt(OsFile file) { db_ = std::move(file); }

 private:
  void OpenAndLock();

  std::string path_;
  std::string px_path_;
  std::string mb_path_;
  bool writable_;
  OsFile db_;
  FileStamp db_stamp_, px_stamp_, mb_stamp_;
  std::vector<uint8_t> header_bytes_;  // fixed part as last read or written
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_LOCK_H_
