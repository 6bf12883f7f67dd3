// The parts of folder.h built on its OS calls, the same on every OS.
#include "base/os/folder.h"

#include "base/path_text.h"

namespace varnholt::os {

std::optional<std::vector<std::string>> ReadLines(const std::string& path, std::string* reason) {
  const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path, reason);
  if (!bytes) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  for (const uint8_t byte : *bytes) {
    if (byte != '\n') {
      line += static_cast<char>(byte);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

bool RemoveFolderAndFiles(const std::string& folder) {
  const std::optional<std::vector<std::string>> names = FolderNames(folder);
  if (!names) return KindOf(folder) == PathKind::kMissing;
  for (const std::string& name : *names) {
    const std::string path = JoinPath(folder, name);
    if (KindOf(path) == PathKind::kFile) RemoveIfPresent(path);
  }
  return RemoveEmptyFolder(folder);
}

}  // namespace varnholt::os
