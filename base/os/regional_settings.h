// The operator's own date settings, read from the OS. Windows keeps them per user in the regional
// settings; other systems have no such settings for our purpose, so there they are the fixed ones
// the accounting product was made for.
#ifndef VARNHOLT_BASE_OS_REGIONAL_SETTINGS_H_
#define VARNHOLT_BASE_OS_REGIONAL_SETTINGS_H_

#include <string>

#include "base/regional_settings.h"

namespace varnholt::os {

// The user's settings: on Windows the date separator and short date format of the user's locale,
// the rest as RegionalSettings' defaults; elsewhere the defaults.
RegionalSettings UserRegionalSettings();

// `settings` with the date taken from Windows' own spelling of it: `separator` (sDate, UTF-8) and
// `pattern` (sShortDate, such as "dd.MM.yyyy" or "M/d/yyyy"). Each occurrence of the separator
// in the pattern becomes "/", quoted text ('...') is kept without its quotes, and the letters are
// kept as they are (ours ignore case). A separator that is not one ASCII character, or a pattern
// without a day, a month and a year, leaves `settings` as they were.
RegionalSettings WithWindowsDate(RegionalSettings settings, const std::string& separator,
                                 const std::string& pattern);

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_REGIONAL_SETTINGS_H_
