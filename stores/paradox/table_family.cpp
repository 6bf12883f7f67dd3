#include "stores/paradox/table_family.h"

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
    OsFile f = OsFile::Open(file.string(), false);
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
  const fs::path p(db_path);
  const std::string stem = p.stem().string();
  const std::string wanted = AsciiUpper(stem + "." + ext);
  std::error_code ec;
  const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (AsciiUpper(entry.path().filename().string()) == wanted) {
      return (p.has_parent_path() ? p.parent_path() / entry.path().filename()
                                  : entry.path().filename())
          .string();
    }
  }
  const std::string db_ext = p.extension().string();
  const bool lower = db_ext.size() > 1 && IsAsciiLower(db_ext[1]);
  std::string e = ext;
  if (lower) e = AsciiLower(e);
  fs::path out = p;
  out.replace_extension("." + e);
  return out.string();
}

std::vector<std::string> MaintainedSecondaryIndexes(const std::string& db_path) {
  namespace fs = std::filesystem;
  const fs::path p(db_path);
  const std::string stem = AsciiUpper(p.stem().string());
  const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::error_code ec;
  std::vector<std::string> maintained;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    const std::string upper = AsciiUpper(name);
    if (!IsSecondaryIndexName(upper, stem) || !IsMaintained(entry.path())) continue;
    maintained.push_back(name);
    // its .Y file goes with it
    std::string y = upper;
    y[stem.size() + 1] = 'Y';
    for (const auto& other : fs::directory_iterator(dir, ec)) {
      if (AsciiUpper(other.path().filename().string()) == y) {
        maintained.push_back(other.path().filename().string());
      }
    }
  }
  std::sort(maintained.begin(), maintained.end());
  return maintained;
}

std::string UpperFileName(const std::string& path) {
  return AsciiUpper(std::filesystem::path(path).filename().string());
}

}  // namespace varnholt::paradox
