// The calendar fields of a moment in the operator's own time zone.
#ifndef VARNHOLT_BASE_OS_LOCAL_TIME_H_
#define VARNHOLT_BASE_OS_LOCAL_TIME_H_

#include <ctime>

namespace varnholt::os {

// `moment` in local time (thread-safe, unlike std::localtime); all fields zero when the C library
// cannot place it.
std::tm LocalTimeOf(std::time_t moment);

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_LOCAL_TIME_H_
