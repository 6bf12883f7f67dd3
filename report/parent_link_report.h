// The parent-link report: appends one block to the report file listing the learners of
// Learner_info that have no link row in Parent_child. Works on tblLearner_Info, tblParent_Child and
// tblParent_info as the pressing command left them (bound and open); binds nothing.
#ifndef VARNHOLT_REPORT_PARENT_LINK_REPORT_H_
#define VARNHOLT_REPORT_PARENT_LINK_REPORT_H_

#include <ctime>
#include <string>
#include <vector>

#include "base/regional_settings.h"
#include "stores/components/store_components.h"

namespace varnholt {

struct ReportSettings {
  std::string report_file;      // UTF-8: where "c:\Varnholt import.csv" lives on this machine
  std::string report_fallback;  // used when this user is denied report_file; empty: none
  std::string skip_marker;      // relative: looked up in the current working directory
  std::time_t now;                    // the moment of the report
  char date_separator = '/';
};

// What one block says; counts are of this block's run.
struct ReportBlock {
  int parents = 0;   // rows of Parent_info
  int children = 0;  // rows of Learner_info
  int active = 0;    // learners whose Status is "C" (imported as active)
  int inactive = 0;  // learners whose Status is "A" (imported as inactive)
  std::string date_text;
  std::vector<std::string> unlinked_ids;
};

// The block's lines, without line ends, in UTF-8.
std::vector<std::string> ReportLines(const ReportBlock& block);

// "mm/dd/yyyy" of the local date at now, with each "/" replaced by separator.
std::string ReportDateText(std::time_t now, char separator);

// Skips silently when the skip marker is a file; otherwise walks the learners, then appends the block
// (lines ended by CR LF, text in Windows-1252) to the report file, creating it when missing, or to
// the fallback (see report_file.h). Returns the file written; empty when skipped. File errors throw
// StoreError naming the file.
std::string WriteParentLinkReport(StoreComponents& c, const ReportSettings& settings);

}  // namespace varnholt

#endif  // VARNHOLT_REPORT_PARENT_LINK_REPORT_H_
