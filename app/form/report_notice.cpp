#include "app/form/report_notice.h"

namespace varnholt::form {

std::string ReportPlaceText(const std::string& written) {
  return std::string("This user may not write ") + kReportPath + ", so the report was added to " +
         written + " instead.";
}

}  // namespace varnholt::form
