#include "stores/jet/file_image.h"

#include <chrono>
#include <thread>

#include "base/os/folder.h"
#include "base/os/os_file.h"

namespace varnholt {

namespace {

// Long enough for a writer to finish a page or two, short enough not to be noticed.
constexpr auto kPauseBetweenCopies = std::chrono::milliseconds(150);

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

FileBeingWritten::FileBeingWritten(const std::string& path)
    : StoreError("Cannot read " + Quoted(path) +
                 ": the school-administration program is writing the database; try again when it is idle") {}

std::optional<FileVersion> VersionOf(const std::string& path) {
  const os::FileStamp stamp = os::StampOf(path);
  if (!stamp.exists) return std::nullopt;
  return FileVersion{stamp.size, stamp.mtime_ns};
}

FileImage CopyFileImage(const std::string& path) {
  const std::optional<FileVersion> before = VersionOf(path);
  std::string reason;
  std::optional<std::vector<uint8_t>> bytes = os::ReadWholeFile(path, &reason);
  if (!bytes) throw StoreError("Cannot read " + Quoted(path) + ": " + reason);
  const std::optional<FileVersion> after = VersionOf(path);
  if (!before || !after || !(*before == *after) || after->size != bytes->size()) throw FileBeingWritten(path);
  return FileImage{std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)), *after};
}

void PauseBeforeCopyingAgain() { std::this_thread::sleep_for(kPauseBetweenCopies); }

}  // namespace varnholt
