#include "tests/support/format_audit.h"

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

namespace varnholt::paradox::testing {

std::string FormatAuditComplaints(const std::vector<std::string>& files) {
  const std::filesystem::path tool = std::filesystem::path(VARNHOLT_SHARED_DIR) / "tools" / "pxinspect.py";
  if (!std::filesystem::exists(tool)) {
    // Without the shared files the audit cannot be made: the test says it was skipped.
    [] { GTEST_SKIP() << "the format audit script is not present: " << VARNHOLT_SHARED_DIR; }();
    return {};
  }
  std::string command = "python3 '" + tool.string() + "' --rows 0";
  for (const auto& f : files) command += " '" + f + "'";
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "cannot run the format audit script";
  std::string complaints;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    const std::string text(line);
    for (const char* marker : {"ERROR", "MISMATCH", "(differs)", "DIFFERENCES", "!!", " expected ",
                               "key differs", "!= sum"}) {
      if (text.find(marker) != std::string::npos) complaints += text;
    }
  }
  if (::pclose(pipe) != 0) complaints += "the format audit script failed";
  return complaints;
}

}  // namespace varnholt::paradox::testing
