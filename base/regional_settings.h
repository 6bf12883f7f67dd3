// The operator's regional settings as the stores and the report use them. Passed in, never read
// from globals, so tests can vary them.
#ifndef VARNHOLT_BASE_REGIONAL_SETTINGS_H_
#define VARNHOLT_BASE_REGIONAL_SETTINGS_H_

#include <string>

namespace varnholt {

struct RegionalSettings {
  // Patterns use the letters yyyy, mm, dd (date) and hh, nn, ss (time); "/" in a date pattern
  // stands for date_separator, ":" in a time pattern for itself.
  std::string short_date_format = "yyyy/mm/dd";
  std::string long_time_format = "hh:nn:ss";
  char date_separator = '/';
};

}  // namespace varnholt

#endif  // VARNHOLT_BASE_REGIONAL_SETTINGS_H_
