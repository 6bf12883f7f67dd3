// The Windows side of file_locks.h. Windows byte-range locks are the ones the accounting
// product's engine takes, so they are asked about directly; its open handles show through the
// share modes Windows checks at every open. They bind reads and writes as well
// (a shared lock keeps writers out), so ours covers the file below the byte OsFile::TryLock uses
// and never that byte.
#include <windows.h>

#include <utility>

#include "base/os/file_locks.h"
#include "base/os/windows_path.h"

namespace varnholt::os {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Offsets [0, kLockedLength): everything up to OsFile's own lock byte.
constexpr uint64_t kLockedLength = 0xFFFFFFFFFFFFFFFEull;

HANDLE AsHandle(intptr_t fd) { return reinterpret_cast<HANDLE>(fd); }

bool LockWholeFile(HANDLE h, DWORD flags) {
  OVERLAPPED at{};
  return ::LockFileEx(h, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, static_cast<DWORD>(kLockedLength),
                      static_cast<DWORD>(kLockedLength >> 32), &at) != 0;
}

void UnlockWholeFile(HANDLE h) {
  OVERLAPPED at{};
  ::UnlockFileEx(h, 0, static_cast<DWORD>(kLockedLength), static_cast<DWORD>(kLockedLength >> 32), &at);
}

bool Refused(DWORD error) { return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING; }

}  // namespace

bool HasForeignWriter(const std::string& path) {
  // Read access with writers denied: Windows refuses it while any handle has write access, which
  // is how the accounting product keeps its tables and lock files open.
  HANDLE h = ::CreateFileW(WindowsPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
  ::CloseHandle(h);
  return false;
}

bool HasForeignLock(const std::string& path) {
  HANDLE h = ::CreateFileW(WindowsPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // Windows cannot ask who holds a lock without taking one: an exclusive lock is refused by a
  // lock of any kind, and when it is granted it is given back at once.
  bool locked = false;
  if (LockWholeFile(h, LOCKFILE_EXCLUSIVE_LOCK)) {
    UnlockWholeFile(h);
  } else {
    locked = Refused(::GetLastError());
  }
  ::CloseHandle(h);
  return locked;
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
  HANDLE h = ::CreateFileW(WindowsPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  // Shared: other programs still read the file, and our saves write new files and rename them
  // over it, which no byte-range lock hinders; another program's lock or write is refused.
  if (!LockWholeFile(h, 0)) {
    const bool refused = Refused(::GetLastError());
    ::CloseHandle(h);
    // A file system without byte-range locks cannot tell us anything: go on without one.
    return !refused;
  }
  fd_ = reinterpret_cast<intptr_t>(h);
  return true;
}

void WholeFileLock::Release() {
  if (fd_ >= 0) ::CloseHandle(AsHandle(fd_));  // closing the handle drops its locks
  fd_ = -1;
}

}  // namespace varnholt::os
