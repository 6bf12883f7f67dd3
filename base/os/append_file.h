// A file opened to add text at its end, created when missing, that others may read and write
// meanwhile. An open that this user is not allowed (Windows' access denied: no right to create or
// write the file, or a folder at its name) is told apart from other failures, so that a caller can
// try a place of the user's own instead.
#ifndef VARNHOLT_BASE_OS_APPEND_FILE_H_
#define VARNHOLT_BASE_OS_APPEND_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace varnholt::os {

class AppendFile {
 public:
  enum class Status {
    kOpen,
    kDenied,  // not this user's to write: access denied, or a folder stands at the name
    kFailed,  // anything else: no such folder, a full disk, a held file
  };

  // Opens `path`; status() says how that went.
  explicit AppendFile(const std::string& path);  // UTF-8
  ~AppendFile();
  AppendFile(AppendFile&& other) noexcept;
  AppendFile& operator=(AppendFile&&) = delete;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  Status status() const { return status_; }
  // The system's words for the last failure (open, write or close); empty while all went well.
  const std::string& error_text() const { return error_text_; }

  // Adds `bytes` at the end of the file. False on failure, with error_text() set.
  // REQUIRES: status() == kOpen.
  bool Append(std::string_view bytes);
  // Closes the file. False when the system reports the writes did not complete.
  bool Close();

 private:
  intptr_t handle_ = -1;
  Status status_ = Status::kFailed;
  std::string error_text_;
};

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_APPEND_FILE_H_
