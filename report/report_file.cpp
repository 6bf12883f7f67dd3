#include "report/report_file.h"

#include "base/os/folder.h"
#include "base/engine_error.h"
#include "base/utf8_path.h"

namespace varnholt {

namespace {

std::string Quoted(const std::filesystem::path& path) { return "\"" + Utf8FromPath(path) + "\""; }

}  // namespace

OpenedReport OpenReportFile(const std::filesystem::path& fixed, const std::filesystem::path& fallback) {
  os::AppendFile file(Utf8FromPath(fixed));
  if (file.status() == os::AppendFile::Status::kOpen) return {std::move(file), fixed};
  if (file.status() != os::AppendFile::Status::kDenied || fallback.empty()) {
    throw FileError("Cannot open file " + Quoted(fixed) + ". " + file.error_text());
  }
  // Windows makes the VirtualStore folder only when it first redirects a write; this PC may never
  // have had one. A folder that cannot be made shows in the open below.
  os::CreateFolders(Utf8FromPath(fallback.parent_path()));
  os::AppendFile instead(Utf8FromPath(fallback));
  if (instead.status() == os::AppendFile::Status::kOpen) return {std::move(instead), fallback};
  throw FileError("Cannot open file " + Quoted(fixed) + ". " + file.error_text() + ".\nNor file " +
                   Quoted(fallback) + " in its place. " + instead.error_text());
}

}  // namespace varnholt
