#include "stores/target_folder_guard.h"
#include "base/utf8_path.h"

#include <filesystem>
#include <system_error>

#include "base/ascii.h"
#include "stores/paradox/table.h"

namespace varnholt {

namespace {

namespace fs = std::filesystem;

// The accounting product's engine keeps these in every data folder it has open.
constexpr const char* kProductLockFiles[] = {"PARADOX.LCK", "PDOXUSRS.LCK"};
// The files of a family that a save replaces.
constexpr const char* kFamilyExtensions[] = {".db", ".px", ".mb"};

constexpr char kDirectoryBusy[] = "Directory is busy.";
constexpr char kCloseTheProduct[] =
    "Close the Varnholt accounting program on every computer that uses this folder, then try again.";

// Whether `file` belongs to the family of one of the tables at `tables`: the same folder and name
// but for the extension.
bool InFamilyOf(const std::string& file, const HeldFiles& tables) {
  const std::string stem = Utf8FromPath(PathFromUtf8(file).replace_extension());
  for (const std::string& table : tables) {
    if (EqualsIgnoringAsciiCase(stem, Utf8FromPath(PathFromUtf8(table).replace_extension()))) return true;
  }
  return false;
}

}  // namespace

void ThrowFolderInUse(const std::string& folder, const std::string& file) {
  throw paradox::EngineError(std::string(kDirectoryBusy) + "\nDirectory: " + folder +
                             "\nFile in use: " + file + "\n" + kCloseTheProduct);
}

std::string FamilyFileOpenForWriting(const std::string& db_path) {
  for (const std::string& file : FamilyFiles(db_path)) {
    if (os::HasForeignWriter(file)) return file;
  }
  return "";
}

std::string FolderOf(const std::string& path) {
  fs::path folder = PathFromUtf8(path).parent_path();
  return folder.empty() ? std::string(".") : Utf8FromPath(folder);
}

std::vector<std::string> FamilyFiles(const std::string& db_path) {
  const std::string stem = Utf8FromPath(PathFromUtf8(db_path).stem());
  std::vector<std::string> found;
  std::error_code error;
  const fs::path folder = PathFromUtf8(FolderOf(db_path));
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = Utf8FromPath(it->path().filename());
    for (const char* extension : kFamilyExtensions) {
      if (EqualsIgnoringAsciiCase(name, stem + extension)) found.push_back(Utf8FromPath(it->path()));
    }
  }
  return found;
}

void CheckFolderNotInUse(const std::string& folder, const HeldFiles& ours, const HeldFiles& opened) {
  std::error_code error;
  std::vector<std::string> lock_files;
  std::vector<std::string> table_files;
  for (fs::directory_iterator it(PathFromUtf8(folder), error), end; !error && it != end; it.increment(error)) {
    const std::string name = Utf8FromPath(it->path().filename());
    for (const char* lock_name : kProductLockFiles) {
      if (EqualsIgnoringAsciiCase(name, lock_name)) lock_files.push_back(Utf8FromPath(it->path()));
    }
    const std::string extension = Utf8FromPath(it->path().extension());
    for (const char* family_extension : kFamilyExtensions) {
      if (EqualsIgnoringAsciiCase(extension, family_extension)) table_files.push_back(Utf8FromPath(it->path()));
    }
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
    if (!lock.TryTake(file)) ThrowFolderInUse(FolderOf(db_path), file);
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
