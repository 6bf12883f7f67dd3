#include "app/platform/environment.h"

#include <system_error>

#include "app/platform/drive_c.h"
#include "app/platform/virtual_store.h"
#include "base/os/regional_settings.h"
#include "base/utf8_path.h"

namespace varnholt {

RegionalSettings SystemRegionalSettings() { return os::UserRegionalSettings(); }

CommandEnvironment MakeCommandEnvironment(const std::filesystem::path& drive_c, const RegionalSettings& regional) {
  std::error_code ignored;
  std::filesystem::create_directories(drive_c, ignored);
  CommandEnvironment environment;
  environment.regional = regional;
  environment.report_file = Utf8FromPath(MapDriveCPath(kReportPath, drive_c));
  environment.report_fallback = Utf8FromPath(VirtualStorePath(kReportPath));
  return environment;
}

}  // namespace varnholt
