// Where the report is added to. Its fixed place is "c:\Varnholt import.csv", which a standard
// Windows user may not create; the old 32-bit program, having no manifest, was silently given a copy
// of its own in the user's VirtualStore folder instead, and a school that upgrades looks there. So on
// access denied the block goes to that same file (the fallback), and the operator is told.
#ifndef VARNHOLT_REPORT_REPORT_FILE_H_
#define VARNHOLT_REPORT_REPORT_FILE_H_

#include <string>

#include "base/os/append_file.h"

namespace varnholt {

struct OpenedReport {
  os::AppendFile file;
  std::string path;  // the fixed file or the fallback (UTF-8)
};

// Opens `fixed` to append to. When this user is denied it and `fallback` is not empty, opens
// `fallback` instead, creating its folder when missing. Throws FileError naming `fixed` (and
// `fallback`, when it was tried) when no file opens.
OpenedReport OpenReportFile(const std::string& fixed, const std::string& fallback);

}  // namespace varnholt

#endif  // VARNHOLT_REPORT_REPORT_FILE_H_
