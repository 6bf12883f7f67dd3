#include "base/os/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/os/gate_posix.h"

namespace varnholt::os {

namespace {

// New files get what the user's umask leaves of read and write for all, as fopen gives them.
constexpr mode_t kNewFileMode = 0666;

// EISDIR too: on Windows a folder at the name is refused as access denied, and both systems
// should treat one the same.
bool IsDenial(int error) { return error == EACCES || error == EPERM || error == EROFS || error == EISDIR; }

}  // namespace

AppendFile::AppendFile(const std::string& path) {
  const int fd = GateRefuses(FileCall::kCreate, path.c_str())
                     ? -1
                     : ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode);
  if (fd < 0) {
    const int error = errno;
    status_ = IsDenial(error) ? Status::kDenied : Status::kFailed;
    CountFileCallFailure();
    error_text_ = std::strerror(error);
    return;
  }
  handle_ = fd;
  status_ = Status::kOpen;
}

AppendFile::~AppendFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : handle_(other.handle_), status_(other.status_), error_text_(std::move(other.error_text_)) {
  other.handle_ = -1;
}

bool AppendFile::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = GateRefuses(FileCall::kWrite, "")
                                ? -1
                                : ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error_text_ = std::strerror(written < 0 ? errno : EIO);
      CountFileCallFailure();
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool AppendFile::Close() {
  if (handle_ < 0) return true;
  const int result = ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (result != 0) {
    error_text_ = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace varnholt::os
