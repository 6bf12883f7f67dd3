// The one point every file call of base/os passes before it reaches the OS: a test can put a gate
// there that fails the call it chooses (the Nth write, a sync, a rename, a full disk), so every
// error path of a save is tried, not only those a kill happens to land on. The program never sets
// one; without a gate each call costs one atomic load.
#ifndef VARNHOLT_BASE_OS_FILE_CALLS_H_
#define VARNHOLT_BASE_OS_FILE_CALLS_H_

#include <cstdint>

namespace varnholt::os {

// The kinds of call that touch a file or folder.
enum class FileCall {
  kOpen,      // an existing file opened, or a folder listed or looked at
  kCreate,    // a new file or folder made
  kRead,
  kWrite,
  kResize,    // a file cut or extended
  kSync,      // bytes or a folder's names flushed to the disk
  kRename,
  kRemove,
  kLink,      // a second name given to a file, or a copy kept under one
  kLock,
  kCount      // not a call: how many kinds there are
};

// How a gate fails a call.
enum class FileFault {
  kNone,        // the call goes on
  kFails,       // the OS's input/output error
  kDiskFull,    // no space left on the device
  kDenied,      // no right to do it
  kShortWrite,  // (writes) half the bytes written, then no space left
};

// REQUIRES: Before is safe to call from any thread and, for renames, from a child process that
// shares our memory: it may not allocate, lock or throw.
class FileCallGate {
 public:
  virtual ~FileCallGate() = default;
  // Called before each call of `call`'s kind on `path` (a UTF-8 path, never null); returns how the
  // call is to fail, kNone to let it through.
  virtual FileFault Before(FileCall call, const char* path) noexcept = 0;
};

// How many file calls have failed with an error thrown (FileError) in this process so far: a
// command that fails after one knows a file call, not its data, ended it, whatever the error
// became on its way up.
uint64_t FileCallFailures();
// Counts one such failure; base/os calls it where it throws.
void CountFileCallFailure();

// Puts `gate` before every later file call; null takes it away. For tests only.
void SetFileCallGateForTests(FileCallGate* gate);

// What the gate says of a call about to be made: kNone when there is no gate.
FileFault GateFileCall(FileCall call, const char* path) noexcept;

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_FILE_CALLS_H_
