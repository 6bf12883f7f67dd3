#include "report/parent_link_report.h"

#include <cstdio>

#include "base/os/folder.h"
#include "base/os/local_time.h"
#include "base/windows_1252.h"
#include "base/engine_error.h"
#include "base/store_error.h"
#include "report/report_file.h"

namespace varnholt {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kLinkOpening[] = "childid=";
constexpr char kCurrentStatus[] = "C";
constexpr char kDepartedStatus[] = "A";
constexpr size_t kDateTextSize = 32;  // "mm/dd/yyyy" with its end, for any year std::tm can hold
constexpr int kTmMonthOffset = 1;     // tm_mon counts months from 0
constexpr int kTmYearOffset = 1900;   // tm_year counts years from 1900

// A value that would break the comma-separated layout is written as a quoted field.
std::string CsvValue(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char ch : value) {
    out += ch;
    if (ch == '"') out += '"';
  }
  return out + "\"";
}

// The link filter: the id as it stands when it is digits, else quoted so it compares as itself.
std::string LinkFilter(const std::string& id) {
  bool digits = !id.empty();
  for (char ch : id) digits = digits && ch >= '0' && ch <= '9';
  if (digits) return kLinkOpening + id;
  std::string out = std::string(kLinkOpening) + "'";
  for (char ch : id) {
    out += ch;
    if (ch == '\'') out += '\'';
  }
  return out + "'";
}

bool SkipMarkerPresent(const std::string& marker) { return os::KindOf(marker) == os::PathKind::kFile; }

}  // namespace

std::string ReportDateText(std::time_t now, char separator) {
  const std::tm local = os::LocalTimeOf(now);
  char text[kDateTextSize];
  // mm/dd/yyyy, each "/" the separator given; a literal, so the compiler checks it against its values.
  std::snprintf(text, sizeof text, "%02d%c%02d%c%04d", local.tm_mon + kTmMonthOffset, separator,
                local.tm_mday, separator, local.tm_year + kTmYearOffset);
  return text;
}

std::vector<std::string> ReportLines(const ReportBlock& block) {
  std::vector<std::string> lines;
  lines.push_back(",Parents   ," + std::to_string(block.parents) + " , " + "Children   " + "," +
                  std::to_string(block.children) + ",");
  lines.push_back("");
  lines.push_back("Children Active  ," + std::to_string(block.active) + " ," + "Children Inactive  " + "," +
                  std::to_string(block.inactive) + ",");
  lines.push_back("");
  lines.push_back("Children that doesnt have a parent link.," + std::to_string(block.unlinked_ids.size()) + ",");
  lines.push_back("Date," + block.date_text + ",");
  for (const std::string& id : block.unlinked_ids) lines.push_back("Children id not linked," + CsvValue(id) + ",");
  return lines;
}

std::string WriteParentLinkReport(StoreComponents& c, const ReportSettings& settings) {
  if (SkipMarkerPresent(settings.skip_marker)) return {};

  ReportBlock block;
  block.date_text = ReportDateText(settings.now, settings.date_separator);

  // Opened before the walk so a file that cannot be written ends the command before the tables move.
  OpenedReport out = OpenReportFile(settings.report_file, settings.report_fallback);

  SourceTable& learners = c.tblLearner_Info();
  SourceTable& links = c.tblParent_Child();
  learners.SetFiltered(false);
  links.SetFiltered(false);
  learners.First();
  links.First();
  while (!learners.Eof()) {
    const std::string id = learners.FieldText("id");
    links.SetFilter(LinkFilter(id));
    links.SetFiltered(true);
    if (id != links.FieldText("childid")) block.unlinked_ids.push_back(id);
    const std::string status = learners.FieldText("Status");
    if (status == kCurrentStatus) ++block.active;
    if (status == kDepartedStatus) ++block.inactive;
    ++block.children;
    learners.Next();
  }
  block.parents = c.tblParent_info().Active() ? c.tblParent_info().RecordCount() : 0;

  std::string text;
  for (const std::string& line : ReportLines(block)) text += ToWindows1252(line) + kLineEnd;
  if (!out.file.Append(text) || !out.file.Close()) {
    throw FileError("Cannot write file \"" + out.path + "\". " + out.file.error_text());
  }
  return out.path;
}

}  // namespace varnholt
