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
#include "base/os/gate_posix.h"
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
  const char* name = folder.empty() ? "." : folder.c_str();
  DIR* dir = GateRefuses(FileCall::kOpen, name) ? nullptr : ::opendir(name);
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

std::vector<std::string> NamesInFolder(const std::string& folder) {
  std::optional<std::vector<std::string>> names = FolderNames(folder);
  if (!names) {
    CountFileCallFailure(), throw FileError((folder.empty() ? std::string(".") : folder) + ": cannot list the folder (" +
                               std::strerror(errno) + ")");
  }
  return std::move(*names);
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
  const int fd = GateRefuses(FileCall::kOpen, path.c_str()) ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
    const ssize_t n = length == 0 && GateRefuses(FileCall::kRead, path.c_str())
                          ? -1
                          : ::read(fd, bytes.data() + length, bytes.size() - length);
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
  if (GateRefuses(FileCall::kCreate, folder.c_str())) return false;
  return ::mkdir(folder.c_str(), 0777) == 0 || KindOf(folder) == PathKind::kFolder;
}

bool RemoveEmptyFolder(const std::string& folder) {
  if (GateRefuses(FileCall::kRemove, folder.c_str())) return false;
  return ::rmdir(folder.c_str()) == 0 || errno == ENOENT;
}

bool RemoveIfPresent(const std::string& path) {
  if (GateRefuses(FileCall::kRemove, path.c_str())) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

void RenamePath(const std::string& from, const std::string& to) {
  if (GateRefuses(FileCall::kRename, to.c_str()) || ::rename(from.c_str(), to.c_str()) != 0) {
    CountFileCallFailure(), throw FileError(to + ": cannot rename " + from + " to it (" + std::strerror(errno) + ")");
  }
}

bool KeepCopyAs(const std::string& path, const std::string& copy) {
  const auto fail = [&](const char* what) {
    CountFileCallFailure(), throw FileError(path + ": " + what + " " + copy + " (" + std::strerror(errno) + ")");
  };
  if (KindOf(path) == PathKind::kMissing) return false;
  if (!RemoveIfPresent(copy)) fail("cannot make room for its copy");
  if (!GateRefuses(FileCall::kLink, copy.c_str()) && ::link(path.c_str(), copy.c_str()) == 0) return true;
  if (errno != EPERM && errno != EXDEV && errno != EMLINK && errno != ENOTSUP && errno != EOPNOTSUPP) {
    fail("cannot keep its old copy as");
  }
  // A file system without second names (FAT, some shares): the bytes themselves.
  std::string reason;
  const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path, &reason);
  if (!bytes) CountFileCallFailure(), throw FileError(path + ": cannot read (" + reason + ")");
  const int fd = GateRefuses(FileCall::kCreate, copy.c_str())
                     ? -1
                     : ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) fail("cannot keep its old copy as");
  size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t n = GateRefuses(FileCall::kWrite, copy.c_str())
                          ? -1
                          : ::write(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      ::unlink(copy.c_str());
      errno = error;
      fail("cannot keep its old copy as");
    }
    done += static_cast<size_t>(n);
  }
  if (GateRefuses(FileCall::kSync, copy.c_str()) || ::fdatasync(fd) != 0) {
    const int error = errno;
    ::close(fd);
    ::unlink(copy.c_str());
    errno = error;
    fail("cannot keep its old copy as");
  }
  ::close(fd);
  return true;
}

}  // namespace varnholt::os
