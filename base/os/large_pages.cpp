#include "base/os/large_pages.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace varnholt {

void PreferLargeMemoryPages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
  constexpr char kName[] = "GLIBC_TUNABLES";
  constexpr char kTunable[] =
      "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=67108864:"
      "glibc.malloc.top_pad=16777216";
  const char* current = std::getenv(kName);
  // Set already (by us, or by the user's own choice, e.g. hugetlb=0): never start again.
  if (current != nullptr && std::strstr(current, "glibc.malloc.hugetlb") != nullptr) return;
  // Under valgrind /proc/self/exe is valgrind's own tool, not this program.
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) return;
  const std::string value =
      current != nullptr && *current != '\0' ? std::string(current) + ":" + kTunable : std::string(kTunable);
  if (::setenv(kName, value.c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  // Not started again: the run goes on with small pages.
#else
  (void)argv;
#endif
}

}  // namespace varnholt
