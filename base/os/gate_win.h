// The Windows side of file_calls.h, for base/os's own files: a refused call sets the last error as
// Windows would have.
#ifndef VARNHOLT_BASE_OS_GATE_WIN_H_
#define VARNHOLT_BASE_OS_GATE_WIN_H_

#include <windows.h>

#include "base/os/file_calls.h"

namespace varnholt::os {

inline DWORD WindowsErrorOf(FileFault fault) {
  switch (fault) {
    case FileFault::kNone: return ERROR_SUCCESS;
    case FileFault::kDiskFull:
    case FileFault::kShortWrite: return ERROR_DISK_FULL;
    case FileFault::kDenied: return ERROR_ACCESS_DENIED;
    case FileFault::kFails: break;
  }
  return ERROR_IO_DEVICE;
}

// True, with the last error set, when the gate fails the call.
inline bool GateRefuses(FileCall call, const char* path) noexcept {
  const FileFault fault = GateFileCall(call, path);
  if (fault == FileFault::kNone) return false;
  ::SetLastError(WindowsErrorOf(fault));
  return true;
}

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_GATE_WIN_H_
