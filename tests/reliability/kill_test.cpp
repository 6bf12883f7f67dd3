// The kill test, short: press killed at random moments on a small school, five times per command.
// tests/kill (the kill-test tool) runs the full one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/kill/kill_harness.h"

namespace varnholt::reliability {
namespace {

// Five kills per command on a school of 400 learners, in a scratch folder of its own. On a loaded
// machine a run can finish before its kill comes (it is tried again, a few times): most kills must
// land, and none may leave tables that do not belong together.
void ExpectEveryKillSurvived(KillOptions options) {
  std::string pattern = (std::filesystem::temp_directory_path() / "varnholt-kill-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  options.press = VARNHOLT_PRESS;
  options.work = pattern;
  options.school.learners = 400;
  options.school.parents = 300;
  options.school.classes = 20;
  options.kills_per_command = 5;
  std::ostringstream log;
  options.log = &log;
  const KillSummary summary = RunKillTest(options);
  EXPECT_GE(summary.kills, 4) << log.str();
  EXPECT_EQ(summary.failures, 0) << log.str();
  std::filesystem::remove_all(pattern);
}

TEST(KillTest, EveryKillLeavesWholeRowsAndARerunFinishesTheJob) {
  KillOptions options;
  options.seed = 11;
  ExpectEveryKillSurvived(options);
}

TEST(KillTest, TablesWithSecondaryIndexesAlwaysHoldIndexesThatBelongToThem) {
  KillOptions options;
  options.target_indexes = true;
  options.seed = 23;
  ExpectEveryKillSurvived(options);
}

TEST(KillTest, APasswordProtectedTableStaysWholeProtectedAndReadable) {
  KillOptions options;
  options.realistic_target = true;
  options.seed = 37;
  ExpectEveryKillSurvived(options);
}

}  // namespace
}  // namespace varnholt::reliability
