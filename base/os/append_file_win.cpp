#include <windows.h>

#include <algorithm>

#include "base/os/append_file.h"
#include "base/os/gate_win.h"
#include "base/os/windows_path.h"

namespace varnholt::os {

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// One WriteFile moves at most this much.
constexpr size_t kMaxTransfer = 1u << 30;

}  // namespace

AppendFile::AppendFile(const std::string& path) {
  // Shared as fopen shares: others may read and write the report while we add to it.
  HANDLE h = GateRefuses(FileCall::kCreate, path.c_str())
                 ? INVALID_HANDLE_VALUE
                 : ::CreateFileW(WindowsPath(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A standard user creating a file in C:\ meets this, as does anyone opening a folder.
    status_ = error == ERROR_ACCESS_DENIED ? Status::kDenied : Status::kFailed;
    CountFileCallFailure();
    error_text_ = WindowsErrorText(error);
    return;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  status_ = Status::kOpen;
}

AppendFile::~AppendFile() {
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : handle_(other.handle_), status_(other.status_), error_text_(std::move(other.error_text_)) {
  other.handle_ = -1;
}

bool AppendFile::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kMaxTransfer));
    if (GateRefuses(FileCall::kWrite, "") || !::WriteFile(AsHandle(handle_), bytes.data(), chunk, &written, nullptr) ||
        written == 0) {
      error_text_ = WindowsErrorText(::GetLastError());
      CountFileCallFailure();
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool AppendFile::Close() {
  if (handle_ == -1) return true;
  const bool closed = ::CloseHandle(AsHandle(handle_)) != 0;
  handle_ = -1;
  if (!closed) error_text_ = WindowsErrorText(::GetLastError());
  return closed;
}

}  // namespace varnholt::os
