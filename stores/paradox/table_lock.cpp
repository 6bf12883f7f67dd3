#include "stores/paradox/table_lock.h"

#include "stores/paradox/engine_message.h"
#include "stores/paradox/header.h"
#include "stores/paradox/table.h"
#include "stores/paradox/table_saver.h"

namespace varnholt::paradox {

namespace {

// Tries to take the lock of a file that a saver keeps replacing.
constexpr int kLockAttempts = 8;

}  // namespace

TableLock::TableLock(std::string db_path, std::string px_path, std::string mb_path, bool writable)
    : path_(std::move(db_path)),
      px_path_(std::move(px_path)),
      mb_path_(std::move(mb_path)),
      writable_(writable) {
  OpenAndLock();
}

void TableLock::OpenAndLock() {
  if (writable_) PutBackStoppedTable(path_);
  for (int attempt = 0;; ++attempt) {
    try {
      db_ = OsFile::OpenToReplace(path_, writable_);
    } catch (const AccessDeniedError&) {
      if (writable_) throw TableReadOnlyError(path_);
      throw;
    }
    if (!writable_) return;
    if (!db_.TryLock()) {
      throw EngineError(path_ + ": the table is in use (another program has it open for writing)");
    }
    // A saver may have renamed a new file over the one we opened before we got its lock; the lock
    // of a file no longer in the folder guards nothing.
    if (StampOf(path_).inode == db_.Stamp().inode) return;
    if (attempt + 1 == kLockAttempts) {
      throw EngineError(path_ + ": the table is in use (another program keeps replacing it)");
    }
  }
}

void TableLock::Remember() {
  db_stamp_ = StampOf(path_);
  px_stamp_ = StampOf(px_path_);
  mb_stamp_ = StampOf(mb_path_);
  header_bytes_ = db_.ReadAt(0, kHeaderFixedSize);
}

bool TableLock::Changed(bool keyed, bool has_memo) const {
  if (StampOf(path_) != db_stamp_) return true;
  if (keyed && StampOf(px_path_) != px_stamp_) return true;
  if (has_memo && StampOf(mb_path_) != mb_stamp_) return true;
  // Coarse file times can hide a quick change; the counters in the header cannot.
  return db_.ReadAt(0, kHeaderFixedSize) != header_bytes_;
}

void TableLock::FollowReplaced() {
  if (StampOf(path_).inode == db_.Stamp().inode) return;
  OsFile fresh = OsFile::OpenToReplace(path_, writable_);
  if (writable_ && !fresh.TryLock()) {
    throw EngineError(path_ + ": the table is in use (another program has it open for writing)");
  }
  db_ = std::move(fresh);
}

}  // namespace varnholt::paradox
