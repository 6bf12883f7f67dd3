#include "base/os/file_locks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace varnholt::os {

namespace {

// Open-file-description locks: they conflict with the POSIX locks a file server takes for its
// clients, and, unlike those, are not dropped when some other descriptor of the file is closed.
flock WholeFile(short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end, however far the file grows
  lock.l_pid = 0;  // required by the OFD calls
  return lock;
}

int OpenForLocks(const std::string& path, bool* writable) {
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  *writable = fd >= 0;
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return fd;
}

}  // namespace

bool HasForeignWriter(const std::string&) { return false; }

bool HasForeignLock(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // Asking for a write lock shows a lock of any kind that another holds.
  flock lock = WholeFile(F_WRLCK);
  int rc;
  do {
    rc = ::fcntl(fd, F_OFD_GETLK, &lock);
  } while (rc != 0 && errno == EINTR);
  ::close(fd);
  return rc == 0 && lock.l_type != F_UNLCK;
}

WholeFileLock::~WholeFileLock() { Release(); }

WholeFileLock::WholeFileLock(WholeFileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

WholeFileLock& WholeFileLock::operator=(WholeFileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool WholeFileLock::TryTake(const std::string& path) {
  Release();
  bool writable = false;
  int fd = OpenForLocks(path, &writable);
  if (fd < 0) return true;
  flock lock = WholeFile(writable ? F_WRLCK : F_RDLCK);
  int rc;
  do {
    rc = ::fcntl(fd, F_OFD_SETLK, &lock);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool refused = errno == EAGAIN || errno == EACCES;
    ::close(fd);
    // A file system without byte-range locks cannot tell us anything: go on without one.
    return !refused;
  }
  fd_ = fd;
  return true;
}

void WholeFileLock::Release() {
  if (fd_ >= 0) ::close(fd_);  // closing the description drops its lock
  fd_ = -1;
}

}  // namespace varnholt::os
