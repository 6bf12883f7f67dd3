#include "stores/backup/backups.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

#include "base/ascii.h"
#include "base/engine_error.h"
#include "base/os/folder.h"
#include "base/os/local_time.h"
#include "base/os/os_file.h"
#include "base/path_text.h"
#include "stores/paradox/table_saver.h"

namespace varnholt {

namespace {

constexpr char kKeepSetting[] = "keep";
constexpr char kLatest[] = "latest";
constexpr int kTmMonthOffset = 1;    // tm_mon counts months from 0
constexpr int kTmYearOffset = 1900;  // tm_year counts years from 1900
constexpr int kMostBackupsInOneSecond = 1000;

std::string Trimmed(const std::string& text) {
  // Spaces, tabs and the CRs an editor may leave.
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> LinesOfFile(const std::string& path) {
  std::string reason;
  return os::ReadLines(path, &reason).value_or(std::vector<std::string>{});
}

// "name = value" and "name=value" lines, names in lower case.
std::map<std::string, std::string> Settings(const std::string& path) {
  std::map<std::string, std::string> settings;
  for (const std::string& line : LinesOfFile(path)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    settings[AsciiLower(Trimmed(line.substr(0, equals)))] = Trimmed(line.substr(equals + 1));
  }
  return settings;
}

size_t CountOf(const std::string& text) {
  size_t n = 0;
  std::from_chars(text.data(), text.data() + text.size(), n);
  return n;
}

void WriteNewFile(const std::string& path, const std::string& text) {
  os::RemoveIfPresent(path);
  os::OsFile file = os::OsFile::Create(path, path);
  file.WriteAt(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  file.SyncData();
}

bool IsSealed(const std::string& folder) {
  return os::KindOf(JoinPath(folder, paradox::kKeptSealName)) == os::PathKind::kFile;
}

std::optional<BackupInfo> ReadBackup(const std::string& folder) {
  if (!IsSealed(folder)) return std::nullopt;
  const std::map<std::string, std::string> details = Settings(JoinPath(folder, kBackupDetailsName));
  const auto id = details.find("id");
  if (id == details.end() || id->second.empty()) return std::nullopt;
  BackupInfo info;
  info.id = id->second;
  info.folder = folder;
  if (const auto it = details.find("time"); it != details.end()) info.time = it->second;
  if (const auto it = details.find("command"); it != details.end()) info.command = it->second;
  if (const auto it = details.find("added"); it != details.end()) info.added = CountOf(it->second);
  if (const auto it = details.find("rewritten"); it != details.end()) info.rewritten = CountOf(it->second);
  return info;
}

// Ids order by their time, then by the number after a second dash.
bool NewerId(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& id) {
    const size_t dash = id.find('-', id.find('-') + 1);
    const std::string base = id.substr(0, dash);
    return std::make_pair(base, dash == std::string::npos ? size_t{0} : CountOf(id.substr(dash + 1)));
  };
  return split(a) > split(b);
}

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

}  // namespace

std::string BackupsFolderOf(const std::string& target_folder) { return JoinPath(target_folder, kBackupsFolderName); }

std::vector<BackupInfo> ListBackups(const std::string& target_folder) {
  const std::string root = BackupsFolderOf(target_folder);
  std::vector<BackupInfo> backups;
  if (os::KindOf(root) != os::PathKind::kFolder) return backups;
  for (const std::string& name : os::NamesInFolder(root)) {
    const std::string folder = JoinPath(root, name);
    if (os::KindOf(folder) != os::PathKind::kFolder) continue;
    if (std::optional<BackupInfo> info = ReadBackup(folder)) backups.push_back(std::move(*info));
  }
  std::sort(backups.begin(), backups.end(), [](const BackupInfo& a, const BackupInfo& b) { return NewerId(a.id, b.id); });
  return backups;
}

std::optional<BackupInfo> FindBackup(const std::string& target_folder, const std::string& id) {
  const std::vector<BackupInfo> backups = ListBackups(target_folder);
  if (id == kLatest) {
    if (backups.empty()) return std::nullopt;
    return backups.front();
  }
  for (const BackupInfo& b : backups) {
    if (b.id == id) return b;
  }
  return std::nullopt;
}

int BackupsKept(const std::string& target_folder) {
  const std::map<std::string, std::string> settings =
      Settings(JoinPath(BackupsFolderOf(target_folder), kBackupSettingsName));
  const auto it = settings.find(kKeepSetting);
  if (it == settings.end()) return kDefaultBackupsKept;
  int kept = 0;
  const auto [end, error] = std::from_chars(it->second.data(), it->second.data() + it->second.size(), kept);
  if (error != std::errc() || end != it->second.data() + it->second.size() || kept < 0) return kDefaultBackupsKept;
  return kept;
}

std::string BeginBackup(const std::string& target_folder, const std::string& command, std::time_t now,
                        const ChangeSource& changes) {
  const std::string root = BackupsFolderOf(target_folder);
  const std::tm t = os::LocalTimeOf(now);
  const std::string day = std::to_string(t.tm_year + kTmYearOffset) + TwoDigits(t.tm_mon + kTmMonthOffset) +
                          TwoDigits(t.tm_mday);
  const std::string clock = TwoDigits(t.tm_hour) + TwoDigits(t.tm_min) + TwoDigits(t.tm_sec);
  BackupInfo info;
  info.command = command;
  info.time = day.substr(0, 4) + "-" + day.substr(4, 2) + "-" + day.substr(6, 2) + " " + TwoDigits(t.tm_hour) + ":" +
              TwoDigits(t.tm_min) + ":" + TwoDigits(t.tm_sec);
  const std::vector<TableCounts> counts = changes.Counts();
  info.added = RowsAdded(counts);
  info.rewritten = RowsRewritten(counts);
  std::string folder;
  const bool root_made = os::KindOf(root) != os::PathKind::kFolder;
  try {
    if (!os::CreateFolders(root)) throw FileError(root + ": cannot make the folder");
    for (int n = 1; n <= kMostBackupsInOneSecond && folder.empty(); ++n) {
      info.id = day + "-" + clock + (n == 1 ? "" : "-" + std::to_string(n));
      bool taken = false;
      for (const std::string& name : os::NamesInFolder(root)) taken = taken || name.starts_with(info.id + " ");
      if (taken) continue;
      const std::string candidate = JoinPath(root, info.id + " " + command);
      if (!os::CreateFolders(candidate)) throw FileError(candidate + ": cannot make the folder for the backup");
      folder = candidate;
    }
    if (folder.empty()) throw FileError(root + ": cannot make a folder for the backup");
    info.folder = folder;
    WriteChangeList(JoinPath(folder, kChangeListName), changes);
    WriteNewFile(JoinPath(folder, kBackupDetailsName),
                 "id=" + info.id + "\r\ntime=" + info.time + "\r\ncommand=" + command + "\r\nadded=" +
                     std::to_string(info.added) + "\r\nrewritten=" + std::to_string(info.rewritten) + "\r\n");
    os::OsFile::SyncFolderOf(JoinPath(folder, kBackupDetailsName));
  } catch (const EngineError& error) {
    // A command that changes nothing leaves the target folder as it was.
    if (!folder.empty()) os::RemoveFolderAndFiles(folder);
    if (root_made) os::RemoveEmptyFolder(root);
    throw FileError(std::string(error.what()) + "; the backup could not be made, so no table was changed");
  }
  return folder;
}

void TidyBackups(const std::string& target_folder, int kept) {
  const std::string root = BackupsFolderOf(target_folder);
  try {
    if (os::KindOf(root) != os::PathKind::kFolder) return;
    const std::vector<std::string> open_sets = paradox::KeepFoldersOfOpenSets(target_folder);
    std::vector<std::string> sealed;
    for (const std::string& name : os::NamesInFolder(root)) {
      const std::string folder = JoinPath(root, name);
      if (os::KindOf(folder) != os::PathKind::kFolder) continue;
      if (ReadBackup(folder)) continue;
      if (IsSealed(folder)) continue;  // sealed but unreadable details: an operator's to look at
      const bool named = std::any_of(open_sets.begin(), open_sets.end(),
                                     [&](const std::string& f) { return os::CanonicalPath(f) == os::CanonicalPath(folder); });
      if (!named) os::RemoveFolderAndFiles(folder);
    }
    const std::vector<BackupInfo> backups = ListBackups(target_folder);
    for (size_t i = static_cast<size_t>(std::max(kept, 0)); i < backups.size(); ++i) os::RemoveFolderAndFiles(backups[i].folder);
  } catch (const EngineError&) {
    // Tidying is for later commands to finish; the command's own work is done.
  }
}

}  // namespace varnholt
