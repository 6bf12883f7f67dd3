// The information box that tells the operator where the report went when it could not go to
// "c:\Varnholt import.csv", shared by both windows.
#ifndef VARNHOLT_APP_FORM_REPORT_NOTICE_H_
#define VARNHOLT_APP_FORM_REPORT_NOTICE_H_

#include <filesystem>
#include <string>

namespace varnholt {

// The report's fixed Windows path; elsewhere it lands in the drive C: folder.
inline constexpr char kReportPath[] = "c:\\Varnholt import.csv";

}  // namespace varnholt

namespace varnholt::form {

// The box's text (UTF-8) naming `written`, the file the report was added to instead.
std::string ReportPlaceText(const std::string& written);  // UTF-8

}  // namespace varnholt::form

#endif  // VARNHOLT_APP_FORM_REPORT_NOTICE_H_
