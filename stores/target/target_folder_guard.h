// Keeps our writes away from tables that the accounting product is using. Its engine keeps
// PARADOX.LCK and PDOXUSRS.LCK in every folder it uses and marks live use with byte-range locks on
// them and on the tables; we look for such locks before the first open of a table and again before
// a save, and refuse with
//   Directory is busy.
//   Directory: <folder>
//   File in use: <file>
//   Close the Varnholt accounting program on every computer that uses this folder, then try again.
// Lock files that no one holds a lock on are left behind by a session that crashed: they are stale
// and left alone. While a command uses a table, its files carry a lock of ours that the product
// sees (on Windows they are also held open denying writers), so it finds the table busy instead
// of working on files that a save is about to replace.
#ifndef VARNHOLT_STORES_TARGET_TARGET_FOLDER_GUARD_H_
#define VARNHOLT_STORES_TARGET_TARGET_FOLDER_GUARD_H_

#include <set>
#include <string>
#include <vector>

#include "base/os/file_locks.h"

namespace varnholt {

// The files of the table family at `db_path` (.DB, .PX, .MB and the secondary indexes' .Xnn,
// .Ynn, .XGn, .YGn), as they are spelled on disk; those missing are left out.
std::vector<std::string> FamilyFiles(const std::string& db_path);

// Paths of files whose locks are our own (see FamilyHold), which a look must pass over.
using HeldFiles = std::set<std::string>;

// Throws EngineError (the message above) when another process holds a lock on the accounting
// product's lock files in `folder` or on a file of any table family there (see FamilyFiles), other
// than those in `ours`, or (Windows) has one of them open for writing, other than the families of
// the tables at the paths in `opened` (our own open tables, whose handles would answer for us). The product has
// the whole folder open when it has one table open, and a command must not write some tables and
// be refused at another.
void CheckFolderNotInUse(const std::string& folder, const HeldFiles& ours, const HeldFiles& opened = {});

// The first file of the family at `db_path` that another program has open for writing (Windows:
// see os::HasForeignWriter), or "" when there is none. To be asked before our engine opens the
// table, whose own handles would answer for the other program's afterwards.
std::string FamilyFileOpenForWriting(const std::string& db_path);

// Throws EngineError: the message above for `file` in `folder`.
[[noreturn]] void ThrowFolderInUse(const std::string& folder, const std::string& file);

// The files of one table family, locked for as long as a command uses them.
class FamilyHold {
 public:
  // Locks every file of the family at `db_path` and adds their paths to `ours`. Throws EngineError
  // (the message above) and holds nothing when another process holds a lock on one of them.
  void Take(const std::string& db_path, HeldFiles* ours);
  // Lets go of the files and takes their paths out of `ours`.
  void Release(HeldFiles* ours);
  bool held() const { return !files_.empty(); }

 private:
  std::vector<std::string> files_;
  std::vector<os::WholeFileLock> locks_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_TARGET_TARGET_FOLDER_GUARD_H_
