// FileImage: a database file's bytes copied into memory at one moment, so that everything read from
// it agrees. The school-administration program may be writing the file while we read it: a copy
// during which the file's size or time changed is taken again.
#ifndef VARNHOLT_STORES_JET_FILE_IMAGE_H_
#define VARNHOLT_STORES_JET_FILE_IMAGE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/store_error.h"

namespace varnholt {

// What tells us that a file changed: its size and its time of last change.
struct FileVersion {
  uint64_t size = 0;
  int64_t changed = 0;  // in the file system's own clock ticks
  bool operator==(const FileVersion&) const = default;
};

// The version of the file at `path`; nullopt when it cannot be looked at.
std::optional<FileVersion> VersionOf(const std::string& path);

struct FileImage {
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  FileVersion version;  // of the file the bytes were copied from
};

// Copies taken of a file before it is given up as being written (see SourceTable::Open).
constexpr int kImageCopyTries = 3;

// Thrown when a database file did not hold still long enough to be read:
//   Cannot read '<path>': the school-administration program is writing the database; try again
//   when it is idle
class FileBeingWritten : public StoreError {
 public:
  explicit FileBeingWritten(const std::string& path);
};

// Copies the file at `path` whole. Throws FileBeingWritten when the file changed while it was
// copied, and StoreError "Cannot read '<path>': <reason>" when it cannot be read at all.
FileImage CopyFileImage(const std::string& path);

// The pause before another copy of a file that was being written.
void PauseBeforeCopyingAgain();

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_FILE_IMAGE_H_
