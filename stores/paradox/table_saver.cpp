#include "stores/paradox/table_saver.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "base/ascii.h"
#include "base/engine_error.h"
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
// An old file kept under a second name while its table's new one is put in place, so that the
// command can put it back when another table of it fails.
constexpr char kBeforeSuffix[] = ".before";
// Beside a command's first .DB while its tables are put in place: the tables of the set and which
// way a stop among their renames is to be ended.
constexpr char kSetSuffix[] = ".set";

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
  if (!save->set_record.empty()) os::RemoveIfPresent(save->db_path + kRenamingSuffix);
  save->set_record.clear();
}

namespace {

// The set record's first line: which way a set stopped among its renames is to be ended.
constexpr char kSetForward[] = "forward\n";
constexpr char kSetBack[] = "back\n";

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Writes `text` as the whole of a new file at `path`, flushed, replacing what is there.
void WriteWholeNew(const std::string& path, const std::string& text, const std::string& shown_as) {
  OsFile::RemoveFile(path);
  OsFile file = OsFile::Create(path, shown_as);
  const std::vector<uint8_t> bytes = Bytes(text);
  file.WriteAt(0, bytes.data(), bytes.size());
  file.SyncData();
}

// The record's line that names the set's keep folder, after its tables.
constexpr char kKeepFolderLine[] = "kept in ";

// Sets the set record's direction in one step: a new record renamed over the old.
void WriteSetRecord(const std::string& record, const std::string& direction, const std::vector<std::string>& tables,
                    const std::string& shown_as, const std::string& keep_folder) {
  std::string text = direction;
  for (const std::string& table : tables) text += table + "\n";
  if (!keep_folder.empty()) text += kKeepFolderLine + keep_folder + "\n";
  const std::string fresh = record + kSavingSuffix;
  WriteWholeNew(fresh, text, shown_as);
  OsFile::Open(fresh, true).RenameTo(record);
  OsFile::SyncFolderOf(record);
}

std::vector<std::string> TablesOf(const std::vector<PreparedSave*>& saves) {
  std::vector<std::string> tables;
  for (const PreparedSave* save : saves) tables.push_back(save->db_path);
  return tables;
}

// The lines of a small text file, without their ends; empty when it cannot be read.
std::vector<std::string> LinesOf(const std::string& path) {
  std::string reason;
  return os::ReadLines(path, &reason).value_or(std::vector<std::string>{});
}

// The tables a set record lists (its lines after the direction), and the folder it keeps its old
// files in (empty: none).
std::vector<std::string> TablesOfRecord(const std::vector<std::string>& lines) {
  std::vector<std::string> tables;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (!lines[i].starts_with(kKeepFolderLine)) tables.push_back(lines[i]);
  }
  return tables;
}

std::string KeepFolderOfRecord(const std::vector<std::string>& lines) {
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].starts_with(kKeepFolderLine)) return lines[i].substr(std::string_view(kKeepFolderLine).size());
  }
  return {};
}

// The keep folder says the set took effect: its files are a way back.
void SealKeepFolder(const std::string& folder) {
  if (folder.empty() || os::KindOf(folder) != os::PathKind::kFolder) return;
  const std::string seal = JoinPath(folder, kKeptSealName);
  WriteWholeNew(seal, "", seal);
  OsFile::SyncFolderOf(seal);
}

// The set did not take effect: its keep folder, and all in it, goes. What cannot go now is an
// unsealed folder, no way back, which a later command's tidying removes.
void RemoveKeepFolder(const std::string& folder) {
  if (!folder.empty()) os::RemoveFolderAndFiles(folder);
}

// The family files of `save` in the order they are put in place, the .DB last.
std::vector<std::string> TargetsWithDb(const PreparedSave& save) {
  std::vector<std::string> all = save.targets;
  all.push_back(save.db_path);
  return all;
}

// The steps of CommitSaveSet, in its order.

// Writes the set's record and every table's mark; on failure drops them and throws, the new files
// still prepared.
void MarkSaveSet(const std::vector<PreparedSave*>& saves, const std::string& keep_folder) {
  if (saves.empty()) return;
  const std::vector<std::string> tables = TablesOf(saves);
  const std::string record = saves.front()->db_path + kSetSuffix;
  const std::string& shown_as = saves.front()->db_path;
  try {
    // Back until every mark is on the disk: a stop among the marks drops the new copies.
    WriteSetRecord(record, kSetBack, tables, shown_as, keep_folder);
    for (PreparedSave* save : saves) {
      save->set_record = record;
      // Whole or not there: a mark cut short by a stop would name no set, which reads as forward.
      const std::string mark = save->db_path + kRenamingSuffix;
      WriteWholeNew(mark + kSavingSuffix, record + "\n", save->db_path);
      OsFile::Open(mark + kSavingSuffix, true).RenameTo(mark);
    }
    OsFile::SyncFolderOf(record);
    WriteSetRecord(record, kSetForward, tables, shown_as, keep_folder);
  } catch (const EngineError&) {
    for (PreparedSave* save : saves) {
      os::RemoveIfPresent(save->db_path + kRenamingSuffix + kSavingSuffix);
      os::RemoveIfPresent(save->db_path + kRenamingSuffix);
      save->set_record.clear();
    }
    os::RemoveIfPresent(record + kSavingSuffix);
    os::RemoveIfPresent(record);
    throw;
  }
}

// Keeps the old files under their second names and puts the new ones in place. REQUIRES: marked.
void CommitFamilySave(PreparedSave* save) {
  const std::string& db_path = save->db_path;
  // The old files stay under a second name until the whole set is in place, so that a failed
  // rename here or in a later table can put every table back as it was. An empty keep says there
  // was no old file.
  for (const std::string& target : TargetsWithDb(*save)) {
    if (!os::KeepCopyAs(target, target + kBeforeSuffix)) WriteWholeNew(target + kBeforeSuffix, "", db_path);
  }
  std::vector<std::pair<OsFile*, std::string>> renames;
  for (size_t i = 0; i < save->written.size(); ++i) renames.emplace_back(&save->written[i], save->targets[i]);
  renames.emplace_back(&save->db_file, db_path);
  if (save->written.empty()) {
    save->db_file.RenameTo(db_path);
  } else {
    OsFile::RenameAll(renames, db_path);
  }
  OsFile::SyncFolderOf(db_path);
}

// Drops the kept old files and the mark; returns the new .DB.
OsFile FinishFamilySave(PreparedSave* save) {
  // The mark goes first: a stop among the kept files' removal must not leave a mark whose kept
  // files are only some of the family's, which an open that puts the table back would half undo.
  // Whatever cannot be removed now is removed by the table's next writable open.
  if (os::RemoveIfPresent(save->db_path + kRenamingSuffix)) {
    for (const std::string& target : TargetsWithDb(*save)) os::RemoveIfPresent(target + kBeforeSuffix);
  }
  save->written.clear();
  save->targets.clear();
  save->set_record.clear();
  return std::move(save->db_file);
}

// Puts back the old files of the family at db_path that a save set aside (found by their kept
// names), drops its new copies and its mark. Throws EngineError when an old file cannot be put back:
// the mark then stays, and the record says back, for the next writable open to try again.
// Kept files are opened for reading only: on Windows the table's holds deny other writers to its
// old files, and a second name is the same file.
void PutBackOldFiles(const std::string& db_path, const std::vector<std::string>& family) {
  for (const std::string& file : family) {
    const std::string kept = file + kBeforeSuffix;
    if (os::KindOf(kept) != os::PathKind::kFile) {
      RemoveSavingOf(file);
      continue;
    }
    if (FileExists(file + kSavingSuffix) && FileExists(file)) {
      // Never put in place: the old file is still the one at its name.
      os::RemoveIfPresent(file + kSavingSuffix);
      os::RemoveIfPresent(kept);
    } else if (FileExists(file + kSavingSuffix)) {
      // Windows' replace stopped halfway, the old file removed: its second name brings it back.
      OsFile::Open(kept, false).RenameTo(file);
      os::RemoveIfPresent(file + kSavingSuffix);
    } else if (StampOf(kept).size == 0) {
      OsFile::RemoveFile(file);  // the save made it; there was none before
      os::RemoveIfPresent(kept);
    } else {
      // The new file is removed first, so the old one only moves back to a free name: replacing
      // it would need to write the old file, which the table's own holds deny on Windows. A stop
      // between leaves the old file under its second name, which the next open puts back.
      OsFile::RemoveFile(file);
      OsFile::Open(kept, false).RenameTo(file);
    }
  }
  OsFile::SyncFolderOf(db_path);
  OsFile::RemoveFile(db_path + kRenamingSuffix);
}

// Puts the family back as it was before CommitFamilySave (which may have stopped halfway) and
// drops its new files and mark. Throws EngineError when an old file cannot be put back.
void UndoFamilySave(PreparedSave* save) {
  save->written.clear();
  save->db_file = OsFile();  // its handle would keep the new .DB from being replaced on Windows
  PutBackOldFiles(save->db_path, TargetsWithDb(*save));
  save->targets.clear();
  save->set_record.clear();
}

// Sets the record to back, before any table of the set is put back.
void TurnSaveSetBack(const std::vector<PreparedSave*>& saves, const std::string& keep_folder) {
  if (saves.empty() || saves.front()->set_record.empty()) return;
  WriteSetRecord(saves.front()->set_record, kSetBack, TablesOf(saves), saves.front()->db_path, keep_folder);
}

// Gives every file the set replaces a second name in `folder` and lists them there, before any
// is replaced. Throws FileError when one cannot be kept (CommitSaveSet then removes the folder).
void KeepOldFiles(const std::vector<PreparedSave*>& saves, const std::string& folder) {
  try {
    std::string list;
    for (const PreparedSave* save : saves) {
      for (const std::string& target : TargetsWithDb(*save)) {
        const std::string name = NameOfPath(target);
        list += (os::KeepCopyAs(target, JoinPath(folder, name)) ? kKeptLine : kNewLine) + name + "\n";
      }
    }
    const std::string listed = JoinPath(folder, kKeptFilesName);
    WriteWholeNew(listed, list, listed);
    OsFile::SyncFolderOf(listed);
  } catch (const EngineError& error) {
    throw FileError(std::string(error.what()) + "; the backup could not be made, so no table was changed");
  }
}

// Removes the set's record, once every table of it is finished or put back.
void EndSaveSet(const std::string& record) {
  os::RemoveIfPresent(record + kSavingSuffix);
  os::RemoveIfPresent(record);
}

// Removes a set's record once no table of it still has its mark.
void EndSaveSetIfDone(const std::string& record) {
  for (const std::string& table : TablesOfRecord(LinesOf(record))) {
    if (FileExists(table + kRenamingSuffix)) return;
  }
  EndSaveSet(record);
}

}  // namespace

OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::vector<FamilyFile>& others,
                  const std::function<void(OsFile*)>& write_db) {
  PreparedSave save = PrepareFamilySave(db_path, px_path, index, stamp, others, write_db);
  std::vector<PreparedSave*> set{&save};
  CommitSaveSet(set);
  return std::move(save.db_file);
}

void CommitSaveSet(const std::vector<PreparedSave*>& saves, const std::string& keep_folder) {
  try {
    if (!keep_folder.empty()) KeepOldFiles(saves, keep_folder);
    MarkSaveSet(saves, keep_folder);
  } catch (const EngineError&) {
    for (PreparedSave* save : saves) AbandonFamilySave(save);
    RemoveKeepFolder(keep_folder);
    throw;
  }
  const std::string record = saves.empty() ? std::string() : saves.front()->set_record;
  size_t committed = 0;
  try {
    for (; committed < saves.size(); ++committed) CommitFamilySave(saves[committed]);
    // The seal is part of putting the set in place: a set without its way back is undone.
    SealKeepFolder(keep_folder);
  } catch (const EngineError& error) {
    // Every table back as it was, the one that failed included (it may be halfway).
    std::string undo_failure;
    try {
      TurnSaveSetBack(saves, keep_folder);
      for (size_t i = 0; i < saves.size(); ++i) {
        const size_t at = saves.size() - 1 - i;
        if (at <= committed) {
          UndoFamilySave(saves[at]);
        } else {
          AbandonFamilySave(saves[at]);
        }
      }
      EndSaveSet(record);
      RemoveKeepFolder(keep_folder);
    } catch (const EngineError& undo) {
      undo_failure = undo.what();
    }
    const std::string text = undo_failure.empty()
                                 ? std::string(error.what()) + "; no table was changed"
                                 : std::string(error.what()) + "; putting the tables back failed too (" +
                                       undo_failure + "): the next command puts them back";
    if (dynamic_cast<const AccessDeniedError*>(&error) != nullptr) throw AccessDeniedError(text);
    throw EngineError(text);
  }
  for (PreparedSave* save : saves) {
    OsFile db = FinishFamilySave(save);
    save->db_file = std::move(db);
  }
  // A mark that could not be removed keeps the record, which says forward: the next open ends
  // that table forward, as the set went, and removes the record then.
  EndSaveSetIfDone(record);
}

namespace {

// The files of the .DB's family (not the .DB) that a save left under their names with `suffix`
// (its new copies, or the old files it kept), found by those names: a replace stopped halfway can
// have removed the file itself. Secondary index files first, the .PX last, as a save puts them in
// place.
std::vector<std::string> FilesWith(const std::string& db_path, std::string_view suffix_text) {
  const std::string folder = FolderHolding(db_path);
  const std::string stem = AsciiUpper(StemOfName(NameOfPath(db_path))) + ".";
  const std::string db_name = AsciiUpper(NameOfPath(db_path));
  std::vector<std::string> indexes, px;
  for (const std::string& name : os::NamesInFolder(folder)) {
    const size_t suffix = suffix_text.size();
    if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, suffix_text) != 0) continue;
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


OsFile OpenAndLockNew(const std::string& path) {
  OsFile file = OsFile::Open(path, true);
  if (!file.TryLock()) throw EngineError(path + ": cannot lock the new file");
  return file;
}

}  // namespace

std::optional<OsFile> FinishStoppedSave(const std::string& db_path) {
  const std::string marker = db_path + kRenamingSuffix;
  if (!FileExists(marker)) return std::nullopt;
  const std::vector<std::string> mark = LinesOf(marker);
  const std::string record = mark.empty() ? std::string() : mark.front();
  // A mark of its own (no set) is always ended forward; a set whose record is missing or says back
  // stopped before all its tables were marked, or while they were being put back.
  const std::vector<std::string> set = record.empty() ? std::vector<std::string>{} : LinesOf(record);
  const bool back = !record.empty() && (set.empty() || set.front() + "\n" == kSetBack);
  const std::string keep_folder = KeepFolderOfRecord(set);
  std::optional<OsFile> finished;
  if (back) {
    RemoveKeepFolder(keep_folder);
    std::vector<std::string> family = FilesWith(db_path, kBeforeSuffix);
    for (const std::string& f : FilesWith(db_path, kSavingSuffix)) {
      if (std::find(family.begin(), family.end(), f) == family.end()) family.push_back(f);
    }
    family.push_back(db_path);
    PutBackOldFiles(db_path, family);
  } else {
    SealKeepFolder(keep_folder);
    for (const std::string& f : FilesWith(db_path, kSavingSuffix)) OsFile::Open(f + kSavingSuffix, true).RenameTo(f);
    const std::string db_saving = db_path + kSavingSuffix;
    if (FileExists(db_saving)) {
      OsFile db_file = OpenAndLockNew(db_saving);
      db_file.RenameTo(db_path);
      finished = std::move(db_file);
    }
    OsFile::SyncFolderOf(db_path);
    // The mark before the kept files, as in a save that ends well.
    OsFile::RemoveFile(marker);
    for (const std::string& f : FilesWith(db_path, kBeforeSuffix)) os::RemoveIfPresent(f + kBeforeSuffix);
    os::RemoveIfPresent(db_path + kBeforeSuffix);
  }
  if (!record.empty()) EndSaveSetIfDone(record);
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
    os::RemoveIfPresent(p + kRenamingSuffix + kSavingSuffix);
    os::RemoveIfPresent(p + kRenamingSuffix);
    os::RemoveIfPresent(p + kBeforeSuffix);
  }
  if (paths.empty()) return;
  // A record's new copy not yet renamed over it never took effect.
  os::RemoveIfPresent(paths.front() + kSetSuffix + kSavingSuffix);
  if (FileExists(paths.front() + kSetSuffix)) EndSaveSetIfDone(paths.front() + kSetSuffix);
}

std::vector<std::string> KeepFoldersOfOpenSets(const std::string& folder) {
  std::vector<std::string> folders;
  const std::string_view suffix = kSetSuffix;
  for (const std::string& name : os::NamesInFolder(folder)) {
    if (name.size() <= suffix.size() || !name.ends_with(suffix)) continue;
    const std::string keep = KeepFolderOfRecord(LinesOf(JoinPath(folder, name)));
    if (!keep.empty()) folders.push_back(keep);
  }
  return folders;
}

}  // namespace varnholt::paradox
