// The kill test, short: press killed at random moments on a small school, five times per command.
// tests/kill (the kill-test tool) runs the full one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/kill/kill_harness.h"

namespace varnholt::reliability {
namespace {

TEST(KillTest, EveryKillLeavesWholeRowsAndARerunFinishesTheJob) {
  std::string pattern = (std::filesystem::temp_directory_path() / "varnholt-kill-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  KillOptions options;
  options.press = VARNHOLT_PRESS;
  options.work = pattern;
  options.school.learners = 400;
  options.school.parents = 300;
  options.school.classes = 20;
  options.kills_per_command = 5;
  options.seed = 11;
  std::ostringstream log;
  options.log = &log;
  const KillSummary summary = RunKillTest(options);
  // On a loaded machine a run can finish before its kill comes (it is tried again, a few times):
  // most kills must land, and none may leave tables that do not belong together.
  EXPECT_GE(summary.kills, 4) << log.str();
  EXPECT_EQ(summary.failures, 0) << log.str();
  std::filesystem::remove_all(pattern);
}

TEST(KillTest, TablesWithSecondaryIndexesAlwaysHoldIndexesThatBelongToThem) {
  std::string pattern = (std::filesystem::temp_directory_path() / "varnholt-kill-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  KillOptions options;
  options.press = VARNHOLT_PRESS;
  options.work = pattern;
  options.school.learners = 400;
  options.school.parents = 300;
  options.school.classes = 20;
  options.target_indexes = true;
  options.kills_per_command = 5;
  options.seed = 23;
  std::ostringstream log;
  options.log = &log;
  const KillSummary summary = RunKillTest(options);
  // On a loaded machine a run can finish before its kill comes (it is tried again, a few times):
  // most kills must land, and none may leave tables that do not belong together.
  EXPECT_GE(summary.kills, 4) << log.str();
  EXPECT_EQ(summary.failures, 0) << log.str();
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace varnholt::reliability
