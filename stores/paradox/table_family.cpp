#include "stores/paradox/table_family.h"
#include "base/utf8_path.h"

#include <algorithm>
#include <filesystem>

#include "base/ascii.h"
#include "base/os/os_file.h"
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

bool IsMaintained(const std::filesystem::path& file) {
  try {
    OsFile f = OsFile::Open(Utf8FromPath(file), false);
    const auto head = f.ReadAt(0, kHeaderFixedSize);
    if (head.size() <= kHeaderFileType) return false;
    const uint8_t type = head[kHeaderFileType];
    return type == kFileTypeMaintainedSecondary || type == kFileTypeMaintainedComposite;
  } catch (const EngineError&) {
    return false;  // unreadable: not ours to judge here
  }
}

}  // namespace

std::string SiblingPath(const std::string& db_path, const std::string& ext) {
  namespace fs = std::filesystem;
  const fs::path p = PathFromUtf8(db_path);
  const std::string stem = Utf8FromPath(p.stem());
  const std::string wanted = AsciiUpper(stem + "." + ext);
  std::error_code ec;
  const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (AsciiUpper(Utf8FromPath(entry.path().filename())) == wanted) {
      return Utf8FromPath(p.has_parent_path() ? p.parent_path() / entry.path().filename()
                                              : entry.path().filename());
    }
  }
  const std::string db_ext = Utf8FromPath(p.extension());
  const bool lower = db_ext.size() > 1 && IsAsciiLower(db_ext[1]);
  std::string e = ext;
  if (lower) e = AsciiLower(e);
  fs::path out = p;
  out.replace_extension("." + e);
  return Utf8FromPath(out);
}

std::vector<std::string> MaintainedSecondaryIndexes(const std::string& db_path) {
  namespace fs = std::filesystem;
  const fs::path p = PathFromUtf8(db_path);
  const std::string stem = AsciiUpper(Utf8FromPath(p.stem()));
  const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::error_code ec;
  std::vector<std::string> maintained;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = Utf8FromPath(entry.path().filename());
    const std::string upper = AsciiUpper(name);
    if (!IsSecondaryIndexName(upper, stem) || !IsMaintained(entry.path())) continue;
    maintained.push_back(name);
    // its .Y file goes with it
    std::string y = upper;
    y[stem.size() + 1] = 'Y';
    for (const auto& other : fs::directory_iterator(dir, ec)) {
      if (AsciiUpper(Utf8FromPath(other.path().filename())) == y) {
        maintained.push_back(Utf8FromPath(other.path().filename()));
      }
    }
  }
  std::sort(maintained.begin(), maintained.end());
  return maintained;
}

std::vector<std::pair<std::string, std::string>> MaintainedSecondaryIndexPaths(
    const std::string& db_path) {
  namespace fs = std::filesystem;
  const fs::path p = PathFromUtf8(db_path);
  const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path();
  std::vector<std::string> names = MaintainedSecondaryIndexes(db_path);
  std::vector<std::pair<std::string, std::string>> pairs;
  const size_t kind_at = Utf8FromPath(p.stem()).size() + 1;  // the X or Y after "STEM."
  for (const std::string& name : names) {
    if (AsciiUpper(name.substr(kind_at, 1)) != "X") continue;
    std::string y_path;
    for (const std::string& other : names) {
      if (AsciiUpper(other.substr(kind_at, 1)) == "Y" &&
          AsciiUpper(other.substr(kind_at + 1)) == AsciiUpper(name.substr(kind_at + 1))) {
        y_path = Utf8FromPath(dir / PathFromUtf8(other));
      }
    }
    pairs.emplace_back(Utf8FromPath(dir / PathFromUtf8(name)), y_path);
  }
  return pairs;
}

std::string UpperFileName(const std::string& path) {
  return AsciiUpper(Utf8FromPath(PathFromUtf8(path).filename()));
}

}  // namespace varnholt::paradox
