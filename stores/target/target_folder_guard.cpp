#include "stores/target/target_folder_guard.h"

#include <optional>
#include <vector>

#include "base/ascii.h"
#include "base/os/folder.h"
#include "base/path_text.h"
#include "stores/paradox/table.h"

namespace varnholt {

namespace {

// The accounting product's engine keeps these in every data folder it has open.
constexpr const char* kProductLockFiles[] = {"PARADOX.LCK", "PDOXUSRS.LCK"};
// The files of a family beside its secondary indexes.
constexpr const char* kFamilyExtensions[] = {".db", ".px", ".mb"};
// A secondary index file's extension: ".X" or ".Y", then two hex digits (the field's number) or
// "G" and one (a named index).
constexpr size_t kIndexExtensionLength = 4;
constexpr char kNamedIndexMark = 'G';

constexpr char kDirectoryBusy[] = "Directory is busy.";
constexpr char kCloseTheProduct[] =
    "Close the Varnholt accounting program on every computer that uses this folder, then try again.";

// Whether `file` belongs to the family of one of the tables at `tables`: the same folder and name
// but for the extension.
std::string WithoutExtension(const std::string& path) {
  return path.substr(0, path.size() - ExtensionOfName(NameOfPath(path)).size());
}

bool InFamilyOf(const std::string& file, const HeldFiles& tables) {
  const std::string stem = WithoutExtension(file);
  for (const std::string& table : tables) {
    if (EqualsIgnoringAsciiCase(stem, WithoutExtension(table))) return true;
  }
  return false;
}

std::vector<std::string> NamesIn(const std::string& folder) {
  return os::NamesInFolder(folder);
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (AsciiUpper(c) >= 'A' && AsciiUpper(c) <= 'F'); }

// Whether a file with this extension belongs to a table family: .DB, .PX, .MB, .Xnn, .Ynn, .XGn,
// .YGn, in any case.
bool IsFamilyExtension(const std::string& extension) {
  for (const char* family_extension : kFamilyExtensions) {
    if (EqualsIgnoringAsciiCase(extension, family_extension)) return true;
  }
  if (extension.size() != kIndexExtensionLength || extension[0] != '.') return false;
  const std::string kind = AsciiUpper(extension.substr(1));
  if (kind[0] != 'X' && kind[0] != 'Y') return false;
  return (kind[1] == kNamedIndexMark || IsHexDigit(kind[1])) && IsHexDigit(kind[2]);
}

}  // namespace

void ThrowFolderInUse(const std::string& folder, const std::string& file) {
  throw EngineError(std::string(kDirectoryBusy) + "\nDirectory: " + folder +
                             "\nFile in use: " + file + "\n" + kCloseTheProduct);
}

std::string FamilyFileOpenForWriting(const std::string& db_path) {
  for (const std::string& file : FamilyFiles(db_path)) {
    if (os::HasForeignWriter(file)) return file;
  }
  return "";
}

std::vector<std::string> FamilyFiles(const std::string& db_path) {
  const std::string stem = StemOfName(NameOfPath(db_path));
  const std::string folder = FolderHolding(db_path);
  std::vector<std::string> found;
  for (const std::string& name : NamesIn(folder)) {
    if (EqualsIgnoringAsciiCase(StemOfName(name), stem) && IsFamilyExtension(ExtensionOfName(name))) {
      found.push_back(JoinPath(folder, name));
    }
  }
  return found;
}

void CheckFolderNotInUse(const std::string& folder, const HeldFiles& ours, const HeldFiles& opened) {
  std::vector<std::string> lock_files;
  std::vector<std::string> table_files;
  for (const std::string& name : NamesIn(folder)) {
    for (const char* lock_name : kProductLockFiles) {
      if (EqualsIgnoringAsciiCase(name, lock_name)) lock_files.push_back(JoinPath(folder, name));
    }
    if (IsFamilyExtension(ExtensionOfName(name))) table_files.push_back(JoinPath(folder, name));
  }
  // The lock files first: they name what the operator must close.
  for (const std::string& file : lock_files) {
    if (os::HasForeignLock(file) || os::HasForeignWriter(file)) ThrowFolderInUse(folder, file);
  }
  for (const std::string& file : table_files) {
    if (ours.count(file) == 0 && os::HasForeignLock(file)) ThrowFolderInUse(folder, file);
    if (!InFamilyOf(file, opened) && os::HasForeignWriter(file)) ThrowFolderInUse(folder, file);
  }
}

void FamilyHold::Take(const std::string& db_path, HeldFiles* ours) {
  Release(ours);
  std::vector<std::string> files = FamilyFiles(db_path);
  std::vector<os::WholeFileLock> locks;
  for (const std::string& file : files) {
    os::WholeFileLock lock;
    if (!lock.TryTake(file)) ThrowFolderInUse(FolderHolding(db_path), file);
    locks.push_back(std::move(lock));
  }
  locks_ = std::move(locks);
  files_ = std::move(files);
  ours->insert(files_.begin(), files_.end());
}

void FamilyHold::Release(HeldFiles* ours) {
  for (const std::string& file : files_) ours->erase(file);
  files_.clear();
  locks_.clear();
}

}  // namespace varnholt
