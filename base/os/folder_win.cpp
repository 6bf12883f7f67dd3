#include <windows.h>

#include <algorithm>

#include "base/engine_error.h"
#include "base/os/folder.h"
#include "base/os/gate_win.h"
#include "base/os/windows_path.h"
#include "base/path_text.h"

namespace varnholt::os {

PathKind KindOf(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(WindowsPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
               ? PathKind::kMissing
               : PathKind::kOther;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::kFolder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::kOther;
  return PathKind::kFile;
}

std::optional<std::vector<std::string>> FolderNames(const std::string& folder) {
  const std::wstring pattern = WindowsPath(folder.empty() ? "." : folder) + L"\\*";
  WIN32_FIND_DATAW found;
  HANDLE search = GateRefuses(FileCall::kOpen, folder.c_str()) ? INVALID_HANDLE_VALUE
                                                                : ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<std::string>{};
    return std::nullopt;
  }
  std::vector<std::string> names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8FromWide(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

std::vector<std::string> NamesInFolder(const std::string& folder) {
  std::optional<std::vector<std::string>> names = FolderNames(folder);
  if (!names) {
    CountFileCallFailure(), throw FileError((folder.empty() ? std::string(".") : folder) + ": cannot list the folder (" +
                               WindowsErrorText(::GetLastError()) + ")");
  }
  return std::move(*names);
}

std::string CanonicalPath(const std::string& path) {
  const std::wstring wide = WindowsPath(path);
  HANDLE h = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    std::wstring final_path(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(h, final_path.data(), static_cast<DWORD>(final_path.size()), 0);
    if (length >= final_path.size()) {
      final_path.resize(length + 1);
      length = ::GetFinalPathNameByHandleW(h, final_path.data(), static_cast<DWORD>(final_path.size()), 0);
    }
    ::CloseHandle(h);
    if (length > 0 && length < final_path.size()) {
      final_path.resize(length);
      return Utf8FromWindowsPath(final_path);
    }
  }
  return Utf8FromWindowsPath(wide);
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string* reason) {
  HANDLE h = GateRefuses(FileCall::kOpen, path.c_str())
                 ? INVALID_HANDLE_VALUE
                 : ::CreateFileW(WindowsPath(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *reason = WindowsErrorText(::GetLastError());
    return std::nullopt;
  }
  LARGE_INTEGER size;
  // One byte more than the size, so that growth is seen.
  std::vector<uint8_t> bytes(::GetFileSizeEx(h, &size) ? static_cast<size_t>(size.QuadPart) + 1 : size_t{1} << 16);
  size_t length = 0;
  for (;;) {
    if (length == bytes.size()) bytes.resize(bytes.size() * 2);
    // One ReadFile moves at most 1 GiB.
    const DWORD asked = static_cast<DWORD>(std::min<size_t>(bytes.size() - length, size_t{1} << 30));
    DWORD got = 0;
    if ((length == 0 && GateRefuses(FileCall::kRead, path.c_str())) ||
        !::ReadFile(h, bytes.data() + length, asked, &got, nullptr)) {
      *reason = WindowsErrorText(::GetLastError());
      ::CloseHandle(h);
      return std::nullopt;
    }
    if (got == 0) break;
    length += got;
  }
  ::CloseHandle(h);
  bytes.resize(length);
  return bytes;
}

bool CreateFolders(const std::string& folder) {
  if (folder.empty() || KindOf(folder) == PathKind::kFolder) return !folder.empty();
  const std::string parent = FolderOfPath(folder);
  // A drive ("C:") or a share's root ("\\server\share") is there or not: it is not made.
  if (!parent.empty() && parent != folder && parent.back() != ':' && parent.find_first_not_of("\\/") != std::string::npos) {
    CreateFolders(parent);
  }
  if (GateRefuses(FileCall::kCreate, folder.c_str())) return false;
  return ::CreateDirectoryW(WindowsPath(folder).c_str(), nullptr) || KindOf(folder) == PathKind::kFolder;
}

bool RemoveEmptyFolder(const std::string& folder) {
  if (GateRefuses(FileCall::kRemove, folder.c_str())) return false;
  return ::RemoveDirectoryW(WindowsPath(folder).c_str()) || KindOf(folder) == PathKind::kMissing;
}

bool RemoveIfPresent(const std::string& path) {
  if (GateRefuses(FileCall::kRemove, path.c_str())) return false;
  if (::DeleteFileW(WindowsPath(path).c_str())) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

void RenamePath(const std::string& from, const std::string& to) {
  if (GateRefuses(FileCall::kRename, to.c_str()) ||
      !::MoveFileExW(WindowsPath(from).c_str(), WindowsPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    CountFileCallFailure(), throw FileError(to + ": cannot rename " + from + " to it (" + WindowsErrorText(::GetLastError()) +
                               ")");
  }
}

bool KeepCopyAs(const std::string& path, const std::string& copy) {
  const auto fail = [&](const char* what, DWORD error) {
    CountFileCallFailure(), throw FileError(path + ": " + what + " " + copy + " (" + WindowsErrorText(error) + ")");
  };
  if (KindOf(path) == PathKind::kMissing) return false;
  if (!RemoveIfPresent(copy)) fail("cannot make room for its copy", ::GetLastError());
  const std::wstring wide_copy = WindowsPath(copy);
  if (!GateRefuses(FileCall::kLink, copy.c_str()) &&
      ::CreateHardLinkW(wide_copy.c_str(), WindowsPath(path).c_str(), nullptr)) {
    return true;
  }
  const DWORD link_error = ::GetLastError();
  if (link_error != ERROR_NOT_SUPPORTED && link_error != ERROR_INVALID_FUNCTION && link_error != ERROR_NOT_SAME_DEVICE &&
      link_error != ERROR_TOO_MANY_LINKS) {
    fail("cannot keep its old copy as", link_error);
  }
  // A file system without second names (FAT, some shares): the bytes themselves.
  if (GateRefuses(FileCall::kCreate, copy.c_str()) ||
      !::CopyFileExW(WindowsPath(path).c_str(), wide_copy.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(wide_copy.c_str());
    fail("cannot keep its old copy as", error);
  }
  HANDLE h = ::CreateFileW(wide_copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool flushed = h != INVALID_HANDLE_VALUE && !GateRefuses(FileCall::kSync, copy.c_str()) && ::FlushFileBuffers(h);
  const DWORD error = ::GetLastError();
  if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  if (!flushed) {
    ::DeleteFileW(wide_copy.c_str());
    fail("cannot keep its old copy as", error);
  }
  return true;
}

}  // namespace varnholt::os
