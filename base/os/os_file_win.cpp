// The Windows side of os_file.h: wide-path Win32 calls on HANDLEs opened with full sharing, so
// the accounting product and our other copies can read, write and rename the files while we hold
// them, as they can on POSIX. The handles kept on tables in place read only: a handle that may
// write would be refused by, and would refuse, the holds that deny other writers (file_locks.h).
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "base/os/os_file.h"
#include "base/os/gate_win.h"
#include "base/os/replace_file_seam.h"
#include "base/os/windows_path.h"
#include "base/engine_error.h"

namespace varnholt::os {

namespace {


constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// TryLock's byte: far beyond any table's end, so that a lock on it keeps our copies apart
// without keeping anyone from reading or writing the table (Windows locks are not advisory), and
// outside the range file_locks takes.
constexpr uint64_t kOwnLockOffset = 0xFFFFFFFFFFFFFFFEull;
// File times count 100 ns from 1601-01-01.
constexpr int64_t kNanosecondsPerFileTimeTick = 100;
// Rename over an existing file, and only return once it is on the disk.
constexpr DWORD kReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
// FileRenameInfoEx (Windows 10 1607 and later), which MinGW's headers hide behind a version test
// that no _WIN32_WINNT passes.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
// The kernel's own form of a "\\?\" path.
constexpr wchar_t kNtPrefix[] = L"\\??\\";
// One ReadFile or WriteFile moves at most this much.
constexpr size_t kMaxTransfer = 1u << 30;

// Virus scanners and indexers open a file for a moment right after it is written or replaced, and a
// rename that meets such a handle fails with one of these; it goes through once they let go.
bool IsTransientRenameError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}
// The waits between tries of such a rename: short at first, for a scanner's usual few
// milliseconds, about two seconds in all before the failure is reported.
constexpr std::chrono::milliseconds kRenameRetryWaits[] = {
    std::chrono::milliseconds(10),  std::chrono::milliseconds(20),  std::chrono::milliseconds(50),
    std::chrono::milliseconds(100), std::chrono::milliseconds(200), std::chrono::milliseconds(400),
    std::chrono::milliseconds(600), std::chrono::milliseconds(700)};

HANDLE AsHandle(intptr_t fd) { return reinterpret_cast<HANDLE>(fd); }
intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

[[noreturn]] void Fail(const std::string& path, const std::string& what, DWORD error = ::GetLastError()) {
  std::string message = path + ": " + what + " (" + WindowsErrorText(error) + ")";
  if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) throw AccessDeniedError(message);
  CountFileCallFailure();
  throw FileError(message);
}

FileStamp FromInformation(const BY_HANDLE_FILE_INFORMATION& info) {
  FileStamp s;
  s.exists = true;
  s.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  const uint64_t ticks =
      (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
  s.mtime_ns = static_cast<int64_t>(ticks) * kNanosecondsPerFileTimeTick;
  // The file index tells files apart on one volume, as an inode does.
  s.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return s;
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Null in the program; a test's stand-in otherwise.
std::atomic<ReplaceFileStandIn> replace_file_stand_in{nullptr};

bool CallReplaceFileW(const std::wstring& replaced, const std::wstring& replacement) {
  if (const ReplaceFileStandIn stand_in = replace_file_stand_in.load()) {
    return stand_in(replaced.c_str(), replacement.c_str()) != 0;
  }
  return ::ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) != 0;
}

// Renames `from` over `to` even while other programs (or our own reader) hold `to` open, as a
// POSIX rename does. Windows 10 and later do that with the POSIX-semantics rename; elsewhere (older
// systems, FAT, Wine) ReplaceFileW does it, which needs `to` to be there; MoveFileExW, which
// refuses an open `to`, is left for a `to` that is not.
bool Replace(const std::string& from, const std::string& to) {
  const std::wstring source = WindowsPath(from);
  const std::wstring target = WindowsPath(to);
  HANDLE h = ::CreateFileW(source.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    const std::wstring nt_target = kNtPrefix + target.substr(4);  // "\\?\" -> "\??\"
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nt_target.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nt_target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, nt_target.data(), info->FileNameLength);
    const bool renamed = ::SetFileInformationByHandle(h, kFileRenameInfoEx, info, static_cast<DWORD>(buffer.size()));
    const DWORD error = ::GetLastError();
    if (renamed) ::FlushFileBuffers(h);
    ::CloseHandle(h);
    if (renamed) return true;
    ::SetLastError(error);
  } else if (IsTransientRenameError(::GetLastError())) {
    return false;  // someone holds the new file: no rename can move it now
  }
  if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // Nor can anything replace a file held open without shared deletion. Asked first because
    // Wine's ReplaceFileW leaves an empty "rf*.tmp" in the folder for every such try.
    HANDLE held = ::CreateFileW(target.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE && IsTransientRenameError(::GetLastError())) return false;
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    if (CallReplaceFileW(target, source)) return true;
    const DWORD error = ::GetLastError();
    // Halfway: the old file is gone and the new one is still under its own name. Move it in, or
    // the table would be left with no file under its name.
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && ::MoveFileExW(source.c_str(), target.c_str(), kReplaceFlags)) {
      return true;
    }
    ::SetLastError(error);
    return false;
  }
  return ::MoveFileExW(source.c_str(), target.c_str(), kReplaceFlags) != 0;
}

// Replace, tried again while it fails for a reason that clears by itself. A ReplaceFileW that
// removed `to` and could not move `from` in leaves a free name, which the next try moves into.
bool ReplaceRetrying(const std::string& from, const std::string& to) {
  if (Replace(from, to)) return true;
  for (const std::chrono::milliseconds wait : kRenameRetryWaits) {
    if (!IsTransientRenameError(::GetLastError())) return false;
    std::this_thread::sleep_for(wait);
    if (Replace(from, to)) return true;
  }
  return false;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  // No access asked for: only the file's information, which no share mode withholds.
  HANDLE h = ::CreateFileW(WindowsPath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FileStamp{};
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  return ok ? FromInformation(info) : FileStamp{};
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesW(WindowsPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

OsFile::~OsFile() {
  if (fd_ >= 0) ::CloseHandle(AsHandle(fd_));
}

OsFile::OsFile(OsFile&& other) noexcept
    : fd_(other.fd_),
      path_(std::move(other.path_)),
      shown_(std::move(other.shown_)),
      locked_(other.locked_) {
  other.fd_ = -1;
}

OsFile& OsFile::operator=(OsFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::CloseHandle(AsHandle(fd_));
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    shown_ = std::move(other.shown_);
    locked_ = other.locked_;
    other.fd_ = -1;
  }
  return *this;
}

OsFile OsFile::Open(const std::string& path, bool writable) {
  OsFile f;
  f.path_ = path;
  f.shown_ = path;
  const std::wstring wide = WindowsPath(path);
  if (IsFolder(wide)) Fail(path, "not a file", ERROR_DIRECTORY);
  const DWORD access = GENERIC_READ | (writable ? GENERIC_WRITE : 0);
  HANDLE h = GateRefuses(FileCall::kOpen, path.c_str())
                 ? INVALID_HANDLE_VALUE
                 : ::CreateFileW(wide.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail(path, writable ? "cannot open for writing" : "cannot open");
  f.fd_ = FromHandle(h);
  return f;
}

OsFile OsFile::OpenToReplace(const std::string& path, bool writable) {
  const DWORD attributes = ::GetFileAttributesW(WindowsPath(path).c_str());
  if (writable && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    Fail(path, "cannot open for writing", ERROR_ACCESS_DENIED);
  }
  return Open(path, false);
}

OsFile OsFile::Create(const std::string& path, const std::string& shown_as) {
  OsFile f;
  f.path_ = path;
  f.shown_ = shown_as.empty() ? path : shown_as;
  HANDLE h = GateRefuses(FileCall::kCreate, path.c_str())
                 ? INVALID_HANDLE_VALUE
                 : ::CreateFileW(WindowsPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail(f.shown_, shown_as.empty() ? "cannot create" : "cannot write a new copy in its folder");
  }
  f.fd_ = FromHandle(h);
  return f;
}

void OsFile::RemoveFile(const std::string& path) {
  if (!GateRefuses(FileCall::kRemove, path.c_str()) && ::DeleteFileW(WindowsPath(path).c_str())) return;
  const DWORD error = ::GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) Fail(path, "cannot remove", error);
}

void OsFile::SyncFolderOf(const std::string& path) {
  GateRefuses(FileCall::kSync, path.c_str());  // counted as on POSIX; nothing to fail here
  // Windows has no handle on a folder's entries to flush; MOVEFILE_WRITE_THROUGH already waited
  // for the rename to reach the disk.
}

void OsFile::RenameBoth(OsFile* first, const std::string& first_target, OsFile* second,
                        const std::string& second_target, const std::string& shown_as) {
  // Windows has no vfork: a kill can fall between the two renames. What it leaves (the new index
  // beside the old table) is what opening the table checks and rebuilds.
  const std::string first_shown = std::exchange(first->shown_, shown_as);
  const std::string second_shown = std::exchange(second->shown_, shown_as);
  try {
    first->RenameTo(first_target);
    second->RenameTo(second_target);
  } catch (...) {
    first->shown_ = first_shown;
    second->shown_ = second_shown;
    throw;
  }
  first->shown_ = first_shown;
  second->shown_ = second_shown;
}

void OsFile::RenameAll(const std::vector<std::pair<OsFile*, std::string>>& renames,
                       const std::string& shown_as) {
  // One after the other, as RenameBoth does: a kill can fall between them.
  for (const auto& [file, target] : renames) {
    const std::string shown = std::exchange(file->shown_, shown_as);
    try {
      file->RenameTo(target);
    } catch (...) {
      file->shown_ = shown;
      throw;
    }
    file->shown_ = shown;
  }
}

bool OsFile::ReopenAs(const std::string& target) {
  HANDLE h = ::CreateFileW(WindowsPath(target).c_str(), GENERIC_READ, kShareAll,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  fd_ = FromHandle(h);
  path_ = target;
  return true;
}

void OsFile::SyncData() {
  if (GateRefuses(FileCall::kSync, path_.c_str()) || !::FlushFileBuffers(AsHandle(fd_))) Fail(shown_, "cannot write");
}

void OsFile::CopyOwnerAndModeOf(const std::string& other) {
  // A new file takes its folder's inherited permissions, as the old one did; what Windows keeps
  // beside them is the read-only mark, which would make the copy impossible to replace later.
  (void)other;
}

void OsFile::RenameTo(const std::string& target) {
  // Where Windows cannot rename over an open file (before Windows 10, Wine), it cannot rename one
  // that is open either: ours is closed for the rename and opened again after it. Another copy of
  // ours could take the lock in between, and is then refused its save by the changed-file check.
  if (GateRefuses(FileCall::kRename, target.c_str())) Fail(shown_, "cannot put the new copy in place");
  ::CloseHandle(AsHandle(fd_));
  fd_ = -1;
  if (!ReplaceRetrying(path_, target)) {
    const DWORD error = ::GetLastError();
    ReopenAs(path_);  // best effort: the failure to report is the rename's
    if (IsTransientRenameError(error)) {
      Fail(shown_, "cannot put the new copy in place: another program (a virus scanner?) kept it open", error);
    }
    Fail(shown_, "cannot put the new copy in place", error);
  }
  if (!ReopenAs(target)) Fail(shown_, "cannot open the new copy");
  if (locked_ && !TryLock()) Fail(shown_, "cannot lock the new copy", ERROR_LOCK_VIOLATION);
}

std::vector<uint8_t> OsFile::ReadAll() const {
  LARGE_INTEGER size;
  if (GateRefuses(FileCall::kRead, path_.c_str()) || !::GetFileSizeEx(AsHandle(fd_), &size)) {
    Fail(shown_, "cannot read");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  bytes.resize(ReadInto(0, bytes.data(), bytes.size()));
  return bytes;
}

void OsFile::WriteAt(uint64_t offset, const uint8_t* bytes, size_t length) {
  size_t done = 0;
  if (const FileFault fault = GateFileCall(FileCall::kWrite, path_.c_str()); fault != FileFault::kNone) {
    if (fault == FileFault::kShortWrite) {
      OVERLAPPED at = At(offset);
      DWORD written = 0;
      ::WriteFile(AsHandle(fd_), bytes, static_cast<DWORD>(std::min(length / 2, kMaxTransfer)), &written, &at);
    }
    Fail(shown_, "cannot write", WindowsErrorOf(fault));
  }
  while (done < length) {
    OVERLAPPED at = At(offset + done);
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min(length - done, kMaxTransfer));
    if (!::WriteFile(AsHandle(fd_), bytes + done, chunk, &written, &at)) Fail(shown_, "cannot write");
    done += written;
  }
}

void OsFile::Truncate(uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (GateRefuses(FileCall::kResize, path_.c_str()) || !::SetFileInformationByHandle(AsHandle(fd_), FileEndOfFileInfo, &end, sizeof end)) {
    Fail(shown_, "cannot change the file's size");
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
    OVERLAPPED at = At(offset + done);
    DWORD read = 0;
    const auto chunk = static_cast<DWORD>(std::min(length - done, kMaxTransfer));
    if (!::ReadFile(AsHandle(fd_), out + done, chunk, &read, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      Fail(shown_, "cannot read");
    }
    if (read == 0) break;
    done += read;
  }
  return done;
}

FileStamp OsFile::Stamp() const {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(AsHandle(fd_), &info)) return FileStamp{};
  return FromInformation(info);
}

bool OsFile::TryLock() {
  if (GateRefuses(FileCall::kLock, path_.c_str())) Fail(shown_, "cannot lock");
  OVERLAPPED at = At(kOwnLockOffset);
  if (::LockFileEx(AsHandle(fd_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    locked_ = true;
    return true;
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
  Fail(shown_, "cannot lock", error);
}

void SetReplaceFileStandInForTests(ReplaceFileStandIn stand_in) { replace_file_stand_in.store(stand_in); }

}  // namespace varnholt::os
