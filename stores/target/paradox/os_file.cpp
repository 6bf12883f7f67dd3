#include "stores/target/paradox/os_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stores/target/paradox/table.h"

namespace varnholt::paradox {

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
  throw EngineError(path + ": " + what + " (" + std::strerror(errno) + ")");
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

OsFile::OsFile(OsFile&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

OsFile& OsFile::operator=(OsFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

OsFile OsFile::Open(const std::string& path, bool writable) {
  OsFile f;
  f.path_ = path;
  f.fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (f.fd_ < 0) Fail(path, writable ? "cannot open for writing" : "cannot open");
  struct stat st;
  if (::fstat(f.fd_, &st) == 0 && !S_ISREG(st.st_mode)) {
    errno = EISDIR;
    Fail(path, "not a file");
  }
  return f;
}

OsFile OsFile::Create(const std::string& path) {
  OsFile f;
  f.path_ = path;
  f.fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (f.fd_ < 0) Fail(path, "cannot create");
  return f;
}

std::vector<uint8_t> OsFile::ReadAll() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) Fail(path_, "cannot read");
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(path_, "cannot read");
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void OsFile::WriteAt(uint64_t offset, const uint8_t* bytes, size_t length) {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pwrite(fd_, bytes + done, length - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(path_, "cannot write");
    done += static_cast<size_t>(n);
  }
}

void OsFile::Truncate(uint64_t size) {
  while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) Fail(path_, "cannot change the file's size");
  }
}

std::vector<uint8_t> OsFile::ReadAt(uint64_t offset, size_t length) const {
  std::vector<uint8_t> bytes(length);
  bytes.resize(ReadInto(offset, bytes.data(), length));
  return bytes;
}

size_t OsFile::ReadInto(uint64_t offset, uint8_t* out, size_t length) const {
  size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_, out + done, length - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(path_, "cannot read");
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
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    Fail(path_, "cannot lock");
  }
  return true;
}

}  // namespace varnholt::paradox
