#include "base/os/file_calls.h"

#include <atomic>

namespace varnholt::os {

namespace {
std::atomic<FileCallGate*> the_gate{nullptr};
std::atomic<uint64_t> failures{0};
}  // namespace

uint64_t FileCallFailures() { return failures.load(); }
void CountFileCallFailure() { failures.fetch_add(1); }

void SetFileCallGateForTests(FileCallGate* gate) { the_gate.store(gate); }

FileFault GateFileCall(FileCall call, const char* path) noexcept {
  FileCallGate* gate = the_gate.load(std::memory_order_acquire);
  return gate == nullptr ? FileFault::kNone : gate->Before(call, path);
}

}  // namespace varnholt::os
