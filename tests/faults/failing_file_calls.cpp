#include "tests/faults/failing_file_calls.h"

namespace varnholt::testing {

FailingFileCalls::FailingFileCalls() : kinds_(kRemembered, os::FileCall::kCount) {
  os::SetFileCallGateForTests(this);
}

FailingFileCalls::~FailingFileCalls() { os::SetFileCallGateForTests(nullptr); }

void FailingFileCalls::FailCall(int call, os::FileFault fault) {
  fail_at_ = call;
  fault_ = fault;
  failed_ = false;
  failed_path_[0] = '\0';
  calls_ = 0;
}

os::FileFault FailingFileCalls::Before(os::FileCall call, const char* path) noexcept {
  const int n = calls_.fetch_add(1) + 1;
  if (static_cast<size_t>(n) <= kinds_.size()) kinds_[static_cast<size_t>(n - 1)] = call;
  if (n != fail_at_) return os::FileFault::kNone;
  failed_ = true;
  size_t i = 0;
  for (; path[i] != '\0' && i + 1 < sizeof failed_path_; ++i) failed_path_[i] = path[i];
  failed_path_[i] = '\0';
  return fault_;
}

std::string NameOf(os::FileCall call) {
  switch (call) {
    case os::FileCall::kOpen: return "open";
    case os::FileCall::kCreate: return "create";
    case os::FileCall::kRead: return "read";
    case os::FileCall::kWrite: return "write";
    case os::FileCall::kResize: return "resize";
    case os::FileCall::kSync: return "sync";
    case os::FileCall::kRename: return "rename";
    case os::FileCall::kRemove: return "remove";
    case os::FileCall::kLink: return "link";
    case os::FileCall::kLock: return "lock";
    case os::FileCall::kCount: break;
  }
  return "?";
}

std::string NameOf(os::FileFault fault) {
  switch (fault) {
    case os::FileFault::kNone: return "none";
    case os::FileFault::kFails: return "input/output error";
    case os::FileFault::kDiskFull: return "disk full";
    case os::FileFault::kDenied: return "access denied";
    case os::FileFault::kShortWrite: return "short write";
  }
  return "?";
}

}  // namespace varnholt::testing
