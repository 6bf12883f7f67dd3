// The platform's part of what the commands are given: regional settings and where drive C: is.
#ifndef VARNHOLT_APP_PLATFORM_ENVIRONMENT_H_
#define VARNHOLT_APP_PLATFORM_ENVIRONMENT_H_

#include <filesystem>

#include "app/form/report_notice.h"
#include "base/regional_settings.h"
#include "passes/commands.h"

namespace varnholt {

// The operator's regional settings: on Windows the user's date separator and short date format,
// elsewhere the fixed ones the product was made for.
RegionalSettings SystemRegionalSettings();

// The commands' environment with the report mapped into `drive_c`, which is created when missing,
// and, on Windows, the user's VirtualStore copy of it as the fallback (see virtual_store.h). A folder
// that cannot be created is no error here: the report's own open fails later and says so.
CommandEnvironment MakeCommandEnvironment(const std::filesystem::path& drive_c, const RegionalSettings& regional);

}  // namespace varnholt

#endif  // VARNHOLT_APP_PLATFORM_ENVIRONMENT_H_
