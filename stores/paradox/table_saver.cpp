#include "stores/paradox/table_saver.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "base/ascii.h"
#include "base/os/folder.h"
#include "base/path_text.h"
#include "stores/paradox/primary_index.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

namespace {

// A file being saved is written under its own name with this suffix, then renamed over it.
constexpr char kSavingSuffix[] = ".saving";
// Beside the .DB while a save puts several files in place: every new file is then whole on the
// disk, so a save stopped among its renames is finished by the next writable open.
constexpr char kRenamingSuffix[] = ".renaming";

// Whether a rename of the save has put one of its new copies (not the .DB's) in place.
bool RenamesBegun(const std::vector<std::string>& targets) {
  for (const std::string& target : targets) {
    if (!FileExists(target + kSavingSuffix)) return true;
  }
  return false;
}

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
  os::RemoveIfPresent(path + kSavingSuffix);
}

}  // namespace

PreparedSave PrepareFamilySave(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                               uint8_t stamp, const std::vector<FamilyFile>& others,
                               const std::function<void(OsFile*)>& write_db) {
  PreparedSave save;
  save.db_path = db_path;
  try {
    // In the order they are put in place: the .DB last, so that its change counter, which every
    // index stamp follows, never runs ahead of them.
    save.written.reserve(others.size() + 1);
    for (const FamilyFile& f : others) {
      save.targets.push_back(f.path);
      save.written.push_back(WriteSaving(f.path, f.write));
    }
    if (index != nullptr) {
      save.targets.push_back(px_path);
      save.written.push_back(WriteSaving(px_path, [&](OsFile* file) { index->Flush(file, stamp); }));
    }
    const std::string db_saving = db_path + kSavingSuffix;
    OsFile::RemoveFile(db_saving);
    save.db_file = OsFile::Create(db_saving, db_path);
    // Ours before it is in the folder: the table's lock passes from the old file to the new one
    // with no moment in between.
    if (!save.db_file.TryLock()) throw EngineError(db_saving + ": cannot lock the new file");
    write_db(&save.db_file);
    save.db_file.CopyOwnerAndModeOf(db_path);
    save.db_file.SyncData();
  } catch (const EngineError&) {
    AbandonFamilySave(&save);
    throw;
  }
  return save;
}

void AbandonFamilySave(PreparedSave* save) {
  save->written.clear();
  save->db_file = OsFile();
  for (const std::string& target : save->targets) RemoveSavingOf(target);
  RemoveSavingOf(save->db_path);
  save->targets.clear();
}

OsFile CommitFamilySave(PreparedSave* save) {
  const std::string& db_path = save->db_path;
  const std::string marker = db_path + kRenamingSuffix;
  bool renaming = false;
  try {
    std::vector<std::pair<OsFile*, std::string>> renames;
    for (size_t i = 0; i < save->written.size(); ++i) renames.emplace_back(&save->written[i], save->targets[i]);
    renames.emplace_back(&save->db_file, db_path);
    // Even a lone .DB is marked: Windows' replace can remove the old file before it moves the
    // new one in, and a kill between leaves only the new one, for the next open to put in place.
    OsFile::RemoveFile(marker);
    OsFile::Create(marker, db_path);
    OsFile::SyncFolderOf(db_path);
    renaming = true;
    if (save->written.empty()) {
      save->db_file.RenameTo(db_path);
    } else {
      OsFile::RenameAll(renames, db_path);
    }
    OsFile::SyncFolderOf(db_path);
    OsFile::RemoveFile(marker);
    save->written.clear();
    save->targets.clear();
    return std::move(save->db_file);
  } catch (const EngineError&) {
    // Once a new file is in place the others must follow, or the family would not belong
    // together: they stay for the next writable open to put in place.
    if (renaming && RenamesBegun(save->targets)) throw;
    AbandonFamilySave(save);
    // Kept while the .DB is gone: its new copy, kept too, is then the table.
    if (FileExists(db_path)) os::RemoveIfPresent(marker);
    throw;
  }
}

OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::vector<FamilyFile>& others,
                  const std::function<void(OsFile*)>& write_db) {
  PreparedSave save = PrepareFamilySave(db_path, px_path, index, stamp, others, write_db);
  return CommitFamilySave(&save);
}

namespace {

// The files of the .DB's family (not the .DB) that a save left new copies of, found by those copies'
// names: a replace stopped halfway can have removed the old file itself. Secondary index files
// first, the .PX last, as a save puts them in place.
std::vector<std::string> FilesWithNewCopies(const std::string& db_path) {
  const std::string given_folder = FolderOfPath(db_path);
  const std::string folder = given_folder.empty() ? "." : given_folder;
  const std::string stem = AsciiUpper(StemOfName(NameOfPath(db_path))) + ".";
  const std::string db_name = AsciiUpper(NameOfPath(db_path));
  std::vector<std::string> indexes, px;
  for (const std::string& name : os::FolderNames(folder).value_or(std::vector<std::string>{})) {
    const size_t suffix = std::string_view(kSavingSuffix).size();
    if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, kSavingSuffix) != 0) continue;
    const std::string base = name.substr(0, name.size() - suffix);
    const std::string upper = AsciiUpper(base);
    if (upper == db_name || upper.compare(0, stem.size(), stem) != 0) continue;
    const std::string extension = upper.substr(stem.size());
    const std::string path = JoinPath(folder, base);
    if (extension == "PX") {
      px.push_back(path);
    } else if (extension.size() == 3 && (extension[0] == 'X' || extension[0] == 'Y')) {
      indexes.push_back(path);
    }
  }
  std::sort(indexes.begin(), indexes.end());
  indexes.insert(indexes.end(), px.begin(), px.end());
  return indexes;
}

}  // namespace

std::optional<OsFile> FinishStoppedSave(const std::string& db_path) {
  const std::string marker = db_path + kRenamingSuffix;
  if (!FileExists(marker)) return std::nullopt;
  std::optional<OsFile> finished;
  for (const std::string& f : FilesWithNewCopies(db_path)) OsFile::Open(f + kSavingSuffix, true).RenameTo(f);
  const std::string db_saving = db_path + kSavingSuffix;
  if (FileExists(db_saving)) {
    OsFile db_file = OsFile::Open(db_saving, true);
    if (!db_file.TryLock()) throw EngineError(db_saving + ": cannot lock the new file");
    db_file.RenameTo(db_path);
    finished = std::move(db_file);
  }
  OsFile::SyncFolderOf(db_path);
  OsFile::RemoveFile(marker);
  return finished;
}

bool PutBackStoppedTable(const std::string& db_path) {
  const std::string db_saving = db_path + kSavingSuffix;
  if (FileExists(db_path) || !FileExists(db_path + kRenamingSuffix) || !FileExists(db_saving)) return false;
  OsFile::Open(db_saving, true).RenameTo(db_path);
  OsFile::SyncFolderOf(db_path);
  return true;
}

void RemoveLeftOverSaves(const std::vector<std::string>& paths) {
  for (const std::string& p : paths) {
    os::RemoveIfPresent(p + kSavingSuffix);
    os::RemoveIfPresent(p + kRenamingSuffix);
  }
}

}  // namespace varnholt::paradox
