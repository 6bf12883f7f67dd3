#include "base/os/local_time.h"

namespace varnholt::os {

std::tm LocalTimeOf(std::time_t moment) {
  std::tm local{};
  if (::localtime_r(&moment, &local) == nullptr) return std::tm{};
  return local;
}

}  // namespace varnholt::os
