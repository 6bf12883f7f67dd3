#include "base/os/os_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/engine_error.h"
#include "base/os/gate_posix.h"

namespace varnholt::os {

namespace {


[[noreturn]] void Fail(const std::string& path, const std::string& what) {
  // errno is read first: building the text below may change it.
  const int error = errno;
  std::string message = path + ": " + what + " (" + std::strerror(error) + ")";
  if (error == EACCES || error == EPERM || error == EROFS) throw AccessDeniedError(message);
  CountFileCallFailure();
  throw FileError(message);
}

FileStamp FromStat(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.size = static_cast<uint64_t>(st.st_size);
  s.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.inode = st.st_ino;
  return s;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return FileStamp{};
  return FromStat(st);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

OsFile::~OsFile() {
  if (fd_ >= 0) ::close(fd_);
}

OsFile::OsFile(OsFile&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), shown_(std::move(other.shown_)) {
  other.fd_ = -1;
}

OsFile& OsFile::operator=(OsFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    shown_ = std::move(other.shown_);
    other.fd_ = -1;
  }
  return *this;
}

OsFile OsFile::Open(const std::string& path, bool writable) {
  OsFile f;
  f.path_ = path;
  f.shown_ = path;
  f.fd_ = GateRefuses(FileCall::kOpen, path.c_str()) ? -1
                                                      : ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (f.fd_ < 0) Fail(path, writable ? "cannot open for writing" : "cannot open");
  struct stat st;
  if (::fstat(f.fd_, &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = EISDIR;
    Fail(path, "not a file");
  }
  return f;
}

OsFile OsFile::OpenToReplace(const std::string& path, bool writable) { return Open(path, writable); }

OsFile OsFile::Create(const std::string& path, const std::string& shown_as) {
  OsFile f;
  f.path_ = path;
  f.shown_ = shown_as.empty() ? path : shown_as;
  f.fd_ = GateRefuses(FileCall::kCreate, path.c_str()) ? -1 : ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (f.fd_ < 0) {
    Fail(f.shown_, shown_as.empty() ? "cannot create" : "cannot write a new copy in its folder");
  }
  return f;
}

void OsFile::RemoveFile(const std::string& path) {
  if ((GateRefuses(FileCall::kRemove, path.c_str()) || ::unlink(path.c_str()) != 0) && errno != ENOENT) {
    Fail(path, "cannot remove");
  }
}

void OsFile::SyncFolderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (GateRefuses(FileCall::kSync, folder.c_str())) return;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // some file systems refuse this for folders; the rename stands either way
  ::close(fd);
}

void OsFile::RenameBoth(OsFile* first, const std::string& first_target, OsFile* second,
                        const std::string& second_target, const std::string& shown_as) {
  RenameBoth(first->path_, first_target, second->path_, second_target, shown_as);
  first->path_ = first_target;
  second->path_ = second_target;
}

void OsFile::RenameBoth(const std::string& first, const std::string& first_target,
                        const std::string& second, const std::string& second_target,
                        const std::string& shown_as) {
  RenamePaths({{first, first_target}, {second, second_target}}, shown_as);
}

void OsFile::RenameAll(const std::vector<std::pair<OsFile*, std::string>>& renames,
                       const std::string& shown_as) {
  std::vector<std::pair<std::string, std::string>> paths;
  for (const auto& [file, target] : renames) paths.emplace_back(file->path_, target);
  RenamePaths(paths, shown_as);
  for (const auto& [file, target] : renames) file->path_ = target;
}

void OsFile::RenamePaths(const std::vector<std::pair<std::string, std::string>>& renames,
                         const std::string& shown_as) {
  // The child may not allocate: every path is at hand before it starts.
  std::vector<const char*> paths;
  paths.reserve(2 * renames.size());
  for (const auto& [from, to] : renames) {
    paths.push_back(from.c_str());
    paths.push_back(to.c_str());
  }
  const volatile size_t n = paths.size();
  // Written by the child, read once it has ended: the memory is shared until then.
  volatile int failed_errno = 0;
  const pid_t child = ::vfork();
  if (child == 0) {
    for (size_t i = 0; i < n; i += 2) {
      if (GateRefuses(FileCall::kRename, paths[i + 1]) || ::rename(paths[i], paths[i + 1]) != 0) {
        failed_errno = errno;
        break;
      }
    }
    ::_exit(0);
  }
  if (child < 0) {  // no child to be had: the renames, one after the other
    for (size_t i = 0; i < n; i += 2) {
      if (GateRefuses(FileCall::kRename, paths[i + 1]) || ::rename(paths[i], paths[i + 1]) != 0) {
        Fail(shown_as, "cannot put the new copy in place");
      }
    }
    return;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (failed_errno != 0) {
    errno = failed_errno;
    Fail(shown_as, "cannot put the new copy in place");
  }
}

void OsFile::SyncData() {
  if (GateRefuses(FileCall::kSync, path_.c_str())) Fail(shown_, "cannot write");
  while (::fdatasync(fd_) != 0) {
    if (errno != EINTR) Fail(shown_, "cannot write");
  }
}

void OsFile::CopyOwnerAndModeOf(const std::string& other) {
  struct stat st;
  if (::stat(other.c_str(), &st) != 0) return;
  if (GateRefuses(FileCall::kWrite, path_.c_str()) || ::fchmod(fd_, st.st_mode & 07777) != 0) Fail(shown_, "cannot set the file's mode");
  if (::geteuid() == 0 && ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
    Fail(shown_, "cannot set the file's owner");
  }
}

void OsFile::RenameTo(const std::string& target) {
  if (GateRefuses(FileCall::kRename, target.c_str()) || ::rename(path_.c_str(), target.c_str()) != 0) {
    Fail(shown_, "cannot put the new copy in place");
  }
  path_ = target;
}

std::vector<uint8_t> OsFile::ReadAll() const {
  struct stat st;
  if (GateRefuses(FileCall::kRead, path_.c_str()) || ::fstat(fd_, &st) != 0) Fail(shown_, "cannot read");
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(shown_, "cannot read");
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void OsFile::WriteAt(uint64_t offset, const uint8_t* bytes, size_t length) {
  size_t done = 0;
  if (const FileFault fault = GateFileCall(FileCall::kWrite, path_.c_str()); fault != FileFault::kNone) {
    if (fault == FileFault::kShortWrite && ::pwrite(fd_, bytes, length / 2, offset) < 0) Fail(shown_, "cannot write");
    errno = ErrnoOf(fault);
    Fail(shown_, "cannot write");
  }
  while (done < length) {
    const ssize_t n = ::pwrite(fd_, bytes + done, length - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(shown_, "cannot write");
    done += static_cast<size_t>(n);
  }
}

void OsFile::Truncate(uint64_t size) {
  if (GateRefuses(FileCall::kResize, path_.c_str())) Fail(shown_, "cannot change the file's size");
  while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) Fail(shown_, "cannot change the file's size");
  }
}

std::vector<uint8_t> OsFile::ReadAt(uint64_t offset, size_t length) const {
  std::vector<uint8_t> bytes(length);
  bytes.resize(ReadInto(offset, bytes.data(), length));
  return bytes;
}

size_t OsFile::ReadInto(uint64_t offset, uint8_t* out, size_t length) const {
  if (GateRefuses(FileCall::kRead, path_.c_str())) Fail(shown_, "cannot read");
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_, out + done, length - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(shown_, "cannot read");
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

FileStamp OsFile::Stamp() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return FileStamp{};
  return FromStat(st);
}

bool OsFile::TryLock() {
  if (GateRefuses(FileCall::kLock, path_.c_str())) Fail(shown_, "cannot lock");
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    Fail(shown_, "cannot lock");
  }
  return true;
}

}  // namespace varnholt::os
