#include "stores/paradox/table_saver.h"
#include "base/utf8_path.h"

#include <filesystem>
#include <utility>

#include "stores/paradox/header.h"
#include "stores/paradox/primary_index.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

namespace {

// A file being saved is written under its own name with this suffix, then renamed over it.
constexpr char kSavingSuffix[] = ".saving";

// Creates `path`.saving, lets `write` fill it and flushes it to the disk; returns it open.
OsFile WriteSaving(const std::string& path, const std::function<void(OsFile*)>& write) {
  const std::string saving = path + kSavingSuffix;
  OsFile::RemoveFile(saving);
  OsFile file = OsFile::Create(saving, path);
  write(&file);
  file.CopyOwnerAndModeOf(path);
  file.SyncData();
  return file;
}

// Drops the unfinished new copy of `path` after a failed save, unless `path` itself is gone: a
// replace that failed halfway (Windows can remove the old file and then fail to move the new one
// in) leaves the new copy as the table's only one, kept for the next save or the operator.
void RemoveSavingOf(const std::string& path) {
  if (!FileExists(path)) return;
  std::error_code ec;
  std::filesystem::remove(PathFromUtf8(path + kSavingSuffix), ec);
}

}  // namespace

OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::vector<FamilyFile>& others,
                  const std::function<void(OsFile*)>& write_db) {
  const std::string db_saving = db_path + kSavingSuffix;
  try {
    // In the order they are put in place: the .DB last, so that its change counter, which every
    // index stamp follows, never runs ahead of them.
    std::vector<OsFile> written;
    std::vector<std::string> targets;
    written.reserve(others.size() + 1);
    for (const FamilyFile& f : others) {
      written.push_back(WriteSaving(f.path, f.write));
      targets.push_back(f.path);
    }
    if (index != nullptr) {
      written.push_back(WriteSaving(px_path, [&](OsFile* file) { index->Flush(file, stamp); }));
      targets.push_back(px_path);
    }
    OsFile::RemoveFile(db_saving);
    OsFile db_file = OsFile::Create(db_saving, db_path);
    // Ours before it is in the folder: the table's lock passes from the old file to the new one
    // with no moment in between.
    if (!db_file.TryLock()) throw EngineError(db_saving + ": cannot lock the new file");
    write_db(&db_file);
    db_file.CopyOwnerAndModeOf(db_path);
    db_file.SyncData();
    if (written.empty()) {
      db_file.RenameTo(db_path);
    } else {
      std::vector<std::pair<OsFile*, std::string>> renames;
      for (size_t i = 0; i < written.size(); ++i) renames.emplace_back(&written[i], targets[i]);
      renames.emplace_back(&db_file, db_path);
      OsFile::RenameAll(renames, db_path);
    }
    OsFile::SyncFolderOf(db_path);
    return db_file;
  } catch (const EngineError&) {
    for (const FamilyFile& f : others) RemoveSavingOf(f.path);
    RemoveSavingOf(px_path);
    RemoveSavingOf(db_path);
    throw;
  }
}

namespace {

// Whether the new .DB at `path` is whole: as long as its header says (a save flushes it whole
// before its first rename; only an older, stopped save leaves one cut short).
bool WholeTableFile(const std::string& path) {
  OsFile file = OsFile::Open(path, false);
  const std::vector<uint8_t> head = file.ReadAt(0, kHeaderFixedSize);
  if (head.size() < kHeaderFixedSize) return false;
  const uint64_t expected = GetU16(&head[kHeaderHeaderSize]) +
                            uint64_t{GetU16(&head[kHeaderFileBlocks])} * head[kHeaderMaxTableSize] * 1024;
  return file.Stamp().size == expected;
}

}  // namespace

std::optional<OsFile> FinishStoppedSave(const std::string& db_path, const std::vector<std::string>& others) {
  const std::string db_saving = db_path + kSavingSuffix;
  if (!FileExists(db_saving)) return std::nullopt;
  // The new .DB is written after every other new file: with it there, a file of the family without
  // its new copy beside it was already put in place by the renames.
  bool renames_begun = false;
  for (const std::string& f : others) {
    if (FileExists(f) && !FileExists(f + kSavingSuffix)) renames_begun = true;
  }
  if (!renames_begun || !WholeTableFile(db_saving)) return std::nullopt;
  for (const std::string& f : others) {
    if (!FileExists(f + kSavingSuffix)) continue;
    OsFile::Open(f + kSavingSuffix, true).RenameTo(f);
  }
  OsFile db_file = OsFile::Open(db_saving, true);
  if (!db_file.TryLock()) throw EngineError(db_saving + ": cannot lock the new file");
  db_file.RenameTo(db_path);
  OsFile::SyncFolderOf(db_path);
  return db_file;
}

void RemoveLeftOverSaves(const std::vector<std::string>& paths) {
  std::error_code ec;
  for (const std::string& p : paths) std::filesystem::remove(PathFromUtf8(p + kSavingSuffix), ec);
}

}  // namespace varnholt::paradox
