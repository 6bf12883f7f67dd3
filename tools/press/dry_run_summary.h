// What both presses print after a preview: a line a table of what the commands would change.
#ifndef VARNHOLT_TOOLS_PRESS_DRY_RUN_SUMMARY_H_
#define VARNHOLT_TOOLS_PRESS_DRY_RUN_SUMMARY_H_

#include <iostream>
#include <string>
#include <vector>

namespace varnholt {

inline void PrintDryRunSummary(const std::vector<std::string>& lines) {
  if (lines.empty()) std::cout << "dry run: no table would change\n";
  for (const std::string& line : lines) std::cout << "dry run: " << line << "\n";
  std::cout.flush();
}

}  // namespace varnholt

#endif  // VARNHOLT_TOOLS_PRESS_DRY_RUN_SUMMARY_H_
