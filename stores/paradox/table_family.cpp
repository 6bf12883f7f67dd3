#include "stores/paradox/table_family.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/os/folder.h"
#include "stores/paradox/engine_files.h"
#include "base/path_text.h"
#include "stores/paradox/header.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

namespace {

// True when the file `name` (in capitals) is a secondary index of the table `stem`: STEM.Xnn or
// STEM.Ynn.
bool IsSecondaryIndexName(const std::string& upper, const std::string& stem) {
  return upper.size() == stem.size() + 4 && upper.compare(0, stem.size(), stem) == 0 &&
         upper[stem.size()] == '.' &&
         (upper[stem.size() + 1] == 'X' || upper[stem.size() + 1] == 'Y');
}

// Throws EngineError when the file cannot be read: a maintained index left out of a save would no
// longer match its table.
bool IsMaintained(const std::string& file) {
  OsFile f = OsFile::Open(file, false);
  const auto head = f.ReadAt(0, kHeaderFixedSize);
  if (head.size() <= kHeaderFileType) return false;
  const uint8_t type = head[kHeaderFileType];
  return type == kFileTypeMaintainedSecondary || type == kFileTypeMaintainedComposite;
}

// The names in the folder of `db_path` (the current folder when it names none).
std::vector<std::string> NamesBeside(const std::string& db_path) {
  return os::NamesInFolder(FolderHolding(db_path));
}

}  // namespace

std::string SiblingPath(const std::string& db_path, const std::string& ext) {
  const std::string folder = FolderOfPath(db_path);
  const std::string stem = StemOfName(NameOfPath(db_path));
  const std::string wanted = AsciiUpper(stem + "." + ext);
  for (const std::string& name : NamesBeside(db_path)) {
    if (AsciiUpper(name) == wanted) return JoinPath(folder, name);
  }
  const std::string db_ext = ExtensionOfName(NameOfPath(db_path));
  const bool lower = db_ext.size() > 1 && IsAsciiLower(db_ext[1]);
  std::string e = ext;
  if (lower) e = AsciiLower(e);
  return JoinPath(folder, stem + "." + e);
}

std::vector<std::string> MaintainedSecondaryIndexes(const std::string& db_path) {
  const std::string folder = FolderOfPath(db_path);
  const std::string stem = AsciiUpper(StemOfName(NameOfPath(db_path)));
  const std::vector<std::string> names = NamesBeside(db_path);
  std::vector<std::string> maintained;
  for (const std::string& name : names) {
    const std::string upper = AsciiUpper(name);
    if (!IsSecondaryIndexName(upper, stem) || !IsMaintained(JoinPath(FolderHolding(db_path), name))) continue;
    maintained.push_back(name);
    // its .Y file goes with it
    std::string y = upper;
    y[stem.size() + 1] = 'Y';
    for (const std::string& other : names) {
      if (AsciiUpper(other) == y) maintained.push_back(other);
    }
  }
  std::sort(maintained.begin(), maintained.end());
  return maintained;
}

std::vector<std::pair<std::string, std::string>> MaintainedSecondaryIndexPaths(
    const std::string& db_path) {
  const std::string dir = FolderOfPath(db_path);
  std::vector<std::string> names = MaintainedSecondaryIndexes(db_path);
  std::vector<std::pair<std::string, std::string>> pairs;
  const size_t kind_at = StemOfName(NameOfPath(db_path)).size() + 1;  // the X or Y after "STEM."
  for (const std::string& name : names) {
    if (AsciiUpper(name.substr(kind_at, 1)) != "X") continue;
    std::string y_path;
    for (const std::string& other : names) {
      if (AsciiUpper(other.substr(kind_at, 1)) == "Y" &&
          AsciiUpper(other.substr(kind_at + 1)) == AsciiUpper(name.substr(kind_at + 1))) {
        y_path = JoinPath(dir, other);
      }
    }
    pairs.emplace_back(JoinPath(dir, name), y_path);
  }
  return pairs;
}

std::string UpperFileName(const std::string& path) { return AsciiUpper(NameOfPath(path)); }

}  // namespace varnholt::paradox
