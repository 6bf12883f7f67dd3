#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/engine_error.h"
#include "base/os/folder.h"
#include "base/path_text.h"

namespace varnholt::os {

PathKind KindOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kOther;
  }
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  if (S_ISDIR(st.st_mode)) return PathKind::kFolder;
  return PathKind::kOther;
}

std::optional<std::vector<std::string>> FolderNames(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

std::string CanonicalPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  if (!path.empty() && path[0] == '/') return path;
  char here[PATH_MAX];
  if (::getcwd(here, sizeof here) == nullptr) return path;
  return JoinPath(here, path);
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string* reason) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return std::nullopt;
  }
  struct stat st;
  // Straight into the vector's storage, one byte more than the size, so that growth is seen.
  std::vector<uint8_t> bytes(::fstat(fd, &st) == 0 ? static_cast<size_t>(st.st_size) + 1 : size_t{1} << 16);
  size_t length = 0;
  for (;;) {
    if (length == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t n = ::read(fd, bytes.data() + length, bytes.size() - length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *reason = std::strerror(errno);
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    length += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(length);
  return bytes;
}

bool CreateFolders(const std::string& folder) {
  if (folder.empty() || KindOf(folder) == PathKind::kFolder) return !folder.empty();
  const std::string parent = FolderOfPath(folder);
  if (!parent.empty() && parent != folder) CreateFolders(parent);
  return ::mkdir(folder.c_str(), 0777) == 0 || KindOf(folder) == PathKind::kFolder;
}

bool RemoveEmptyFolder(const std::string& folder) { return ::rmdir(folder.c_str()) == 0 || errno == ENOENT; }

bool RemoveIfPresent(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

void RenamePath(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    throw paradox::EngineError(to + ": cannot rename " + from + " to it (" + std::strerror(errno) + ")");
  }
}

}  // namespace varnholt::os
