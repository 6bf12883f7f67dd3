// A gate on base/os's file calls for tests (os::FileCallGate): counts every call, remembers the
// kind of each, and fails the one it is told to, the way the OS would.
#ifndef VARNHOLT_TESTS_FAULTS_FAILING_FILE_CALLS_H_
#define VARNHOLT_TESTS_FAULTS_FAILING_FILE_CALLS_H_

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "base/os/file_calls.h"

namespace varnholt::testing {

class FailingFileCalls : public os::FileCallGate {
 public:
  // Room for the kinds of this many calls: Before may not allocate (a rename's child calls it).
  static constexpr size_t kRemembered = 1 << 16;

  FailingFileCalls();
  ~FailingFileCalls() override;  // takes itself away from the gate

  // Counts from zero again; the call numbered `call` (from 1) then fails with `fault`; 0: none.
  void FailCall(int call, os::FileFault fault);
  int calls() const { return calls_.load(); }
  // The kind of call `call` (from 1) since the last FailCall.
  os::FileCall KindOf(int call) const { return kinds_[static_cast<size_t>(call - 1)]; }
  // Whether the chosen call was reached and failed.
  bool failed() const { return failed_.load(); }
  // The path the failed call was given.
  std::string failed_path() const { return failed_path_; }

  os::FileFault Before(os::FileCall call, const char* path) noexcept override;

 private:
  std::atomic<int> calls_{0};
  std::atomic<bool> failed_{false};
  int fail_at_ = 0;
  os::FileFault fault_ = os::FileFault::kNone;
  std::vector<os::FileCall> kinds_;
  char failed_path_[4096] = {};
};

// "write", "rename", ... for messages.
std::string NameOf(os::FileCall call);
std::string NameOf(os::FileFault fault);

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_FAULTS_FAILING_FILE_CALLS_H_
