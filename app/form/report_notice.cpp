#include "app/form/report_notice.h"

#include "app/platform/environment.h"
#include "base/utf8_path.h"

namespace varnholt::form {

std::string ReportPlaceText(const std::filesystem::path& written) {
  return std::string("This user may not write ") + kReportPath + ", so the report was added to " +
         Utf8FromPath(written) + " instead.";
}

}  // namespace varnholt::form
