// The few OS calls the engines make on a file: positioned reads and writes, file identity for change
// detection, an exclusive lock held while a table is open for writing, and what replacing a file
// safely takes (flush to the disk, copy of owner and mode, rename). Paths are UTF-8 everywhere.
#ifndef VARNHOLT_BASE_OS_OS_FILE_H_
#define VARNHOLT_BASE_OS_OS_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace varnholt::os {

// What tells us another program changed a file.
struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t mtime_ns = 0;
  uint64_t inode = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);
bool FileExists(const std::string& path);

class OsFile {
 public:
  OsFile() = default;
  ~OsFile();
  OsFile(OsFile&& other) noexcept;
  OsFile& operator=(OsFile&& other) noexcept;
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;

  // Opens an existing file; throws EngineError naming it on failure.
  static OsFile Open(const std::string& path, bool writable);
  // Opens an existing file that we read and lock but change only by renaming a new copy over it
  // (a table's .DB). `writable`: refused, as Open refuses it, when we may not replace it. On
  // Windows the handle only reads, so that it never counts as a writer against a hold that denies
  // them (file_locks.h); a read-only file is refused by its mark. On POSIX it is Open's.
  static OsFile OpenToReplace(const std::string& path, bool writable);
  // Creates a new file; throws EngineError when it exists or cannot be created. Errors name
  // `shown_as` when given (a file that stands in for another until it is renamed over it).
  static OsFile Create(const std::string& path, const std::string& shown_as = "");
  // Removes a file if it is there; throws EngineError when it is there and cannot be removed.
  static void RemoveFile(const std::string& path);
  // Flushes the folder holding `path`, so a rename in it survives a power cut (best effort).
  static void SyncFolderOf(const std::string& path);
  // Renames the open file `first` over `first_target`, then `second` over `second_target`; both
  // stay open under their new names. On POSIX both run in a short child process that shares our
  // memory, so that our being killed cannot fall between them; Windows has no such child, so
  // there a kill can leave the first renamed alone. When the first fails, the second is not
  // tried. Throws EngineError naming `shown_as` on failure.
  static void RenameBoth(OsFile* first, const std::string& first_target, OsFile* second,
                         const std::string& second_target, const std::string& shown_as);
  // Renames each open file over its target, in order, as RenameBoth does two (on POSIX all in one
  // child process); the files stay open under their new names. A failure stops the ones after it.
  static void RenameAll(const std::vector<std::pair<OsFile*, std::string>>& renames,
                        const std::string& shown_as);

  bool is_open() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  std::vector<uint8_t> ReadAll() const;
  // Writes all bytes at `offset` (one call where the OS allows); throws EngineError on failure.
  void WriteAt(uint64_t offset, const uint8_t* bytes, size_t length);
  // Cuts or extends the file to `size` bytes; throws EngineError on failure.
  void Truncate(uint64_t size);
  // Reads up to `length` bytes at `offset`; fewer at the end of the file.
  std::vector<uint8_t> ReadAt(uint64_t offset, size_t length) const;
  // Reads up to `length` bytes at `offset` into `out`; returns how many (fewer at the end).
  size_t ReadInto(uint64_t offset, uint8_t* out, size_t length) const;
  FileStamp Stamp() const;
  // Takes the exclusive lock without waiting; false when another open file holds it. It binds our
  // own copies only: other programs' reads, writes and byte-range locks are not hindered.
  bool TryLock();
  // Waits until the file's bytes are on the disk; throws EngineError on failure.
  void SyncData();
  // Gives the file the mode (and, where we may, the owner) of the file at `other`, if it exists.
  // Nothing on Windows, where a new file takes its folder's inherited permissions.
  void CopyOwnerAndModeOf(const std::string& other);
  // Renames the file to `target`, replacing it in one step, even while others have `target` open
  // (sharing its deletion, on Windows); the file stays open for reading (on Windows it is opened
  // again under the new name, for reading only, as OpenToReplace opens it, and locked again if it
  // was). Throws EngineError on failure.
  void RenameTo(const std::string& target);

 private:
  intptr_t fd_ = -1;  // a descriptor, or a Windows HANDLE (INVALID_HANDLE_VALUE is -1 too)
  std::string path_;
  std::string shown_;  // the name errors give
  static void RenameBoth(const std::string& first, const std::string& first_target,
                         const std::string& second, const std::string& second_target,
                         const std::string& shown_as);
  static void RenamePaths(const std::vector<std::pair<std::string, std::string>>& renames,
                          const std::string& shown_as);
  bool ReopenAs(const std::string& target);  // Windows

  bool locked_ = false;  // Windows: whether to lock the file again after a rename
};

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_OS_FILE_H_
