#include <time.h>

#include "base/os/local_time.h"

namespace varnholt::os {

std::tm LocalTimeOf(std::time_t moment) {
  std::tm local{};
  if (::localtime_s(&local, &moment) != 0) return std::tm{};
  return local;
}

}  // namespace varnholt::os
