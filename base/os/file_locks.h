// Byte-range locks as other programs see them. The accounting product's engine marks the files it
// uses with byte-range locks (a file server passes a Windows client's locks on as POSIX locks), and
// honours them when another program holds them; flock, which our own copies use among themselves,
// is invisible to it.
#ifndef VARNHOLT_BASE_OS_FILE_LOCKS_H_
#define VARNHOLT_BASE_OS_FILE_LOCKS_H_

#include <cstdint>
#include <string>

namespace varnholt::os {

// True when another process (or another open file of ours) holds a byte-range lock on any part of
// the file at `path`. Asks without taking a lock, so it can never block the holder's reads or
// writes. False when the file is missing or cannot be opened.
bool HasForeignLock(const std::string& path);

// True when some open handle of the file lets no one else write it: on Windows, when an open that
// denies writers is refused with a sharing violation, which means another program (or another
// handle of ours) has the file open for writing or denies readers. Holds the file open only for
// the look. Always false on POSIX, where an open file shows nothing to others. False when the
// file is missing.
bool HasForeignWriter(const std::string& path);

// A write lock over a whole file, held for as long as this object lives (or until Release). Other
// processes' locks on the file are refused while it is held; reading is not, nor on POSIX writing
// (Windows locks bind writes too: there other programs cannot write the file while it is held).
class WholeFileLock {
 public:
  WholeFileLock() = default;
  ~WholeFileLock();
  WholeFileLock(WholeFileLock&& other) noexcept;
  WholeFileLock& operator=(WholeFileLock&& other) noexcept;
  WholeFileLock(const WholeFileLock&) = delete;
  WholeFileLock& operator=(const WholeFileLock&) = delete;

  // Takes the lock without waiting. Returns false (holding nothing) when another process holds a
  // lock on the file; a file we may only read gets a shared lock, which still keeps writers out. A
  // file that cannot be opened at all is not locked and not refused: true, holding nothing.
  bool TryTake(const std::string& path);
  void Release();
  bool held() const { return fd_ >= 0; }

 private:
  intptr_t fd_ = -1;  // a descriptor, or a Windows HANDLE (INVALID_HANDLE_VALUE is -1 too)
};

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_FILE_LOCKS_H_
