#include "report/report_file.h"

#include "base/os/folder.h"
#include "base/engine_error.h"
#include "base/path_text.h"

namespace varnholt {

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

OpenedReport OpenReportFile(const std::string& fixed, const std::string& fallback) {
  os::AppendFile file(fixed);
  if (file.status() == os::AppendFile::Status::kOpen) return {std::move(file), fixed};
  if (file.status() != os::AppendFile::Status::kDenied || fallback.empty()) {
    throw FileError("Cannot open file " + Quoted(fixed) + ". " + file.error_text());
  }
  // Windows makes the VirtualStore folder only when it first redirects a write; this PC may never
  // have had one. A folder that cannot be made shows in the open below.
  os::CreateFolders(FolderOfPath(fallback));
  os::AppendFile instead(fallback);
  if (instead.status() == os::AppendFile::Status::kOpen) return {std::move(instead), fallback};
  throw FileError("Cannot open file " + Quoted(fixed) + ". " + file.error_text() + ".\nNor file " +
                   Quoted(fallback) + " in its place. " + instead.error_text());
}

}  // namespace varnholt
