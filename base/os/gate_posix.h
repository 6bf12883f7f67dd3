// The POSIX side of file_calls.h, for base/os's own files: a refused call sets errno as the OS
// would have.
#ifndef VARNHOLT_BASE_OS_GATE_POSIX_H_
#define VARNHOLT_BASE_OS_GATE_POSIX_H_

#include <cerrno>

#include "base/os/file_calls.h"

namespace varnholt::os {

inline int ErrnoOf(FileFault fault) {
  switch (fault) {
    case FileFault::kNone: return 0;
    case FileFault::kDiskFull:
    case FileFault::kShortWrite: return ENOSPC;
    case FileFault::kDenied: return EACCES;
    case FileFault::kFails: break;
  }
  return EIO;
}

// True, with errno set, when the gate fails the call.
inline bool GateRefuses(FileCall call, const char* path) noexcept {
  const FileFault fault = GateFileCall(call, path);
  if (fault == FileFault::kNone) return false;
  errno = ErrnoOf(fault);
  return true;
}

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_GATE_POSIX_H_
