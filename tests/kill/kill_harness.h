// The kill test: press is started on a fresh copy of a sample school's target, killed (SIGKILL) at a
// random moment, and what it left is checked; then the command is run again to its end and the
// tables must equal those of an uninterrupted run.
//
// The moment is drawn from the whole run for half the kills, and from the time the run writes its
// tables (from its first change in the target folder to its end) for the other half.
//
// With target_indexes, CH01MAST and DL01MAST carry secondary indexes (.XG0/.YG0, .X02/.Y02) that
// every save rewrites with the .DB and .PX; the checker then also compares each index with a
// rebuild from the rows, so the index files must always belong to the .DB beside them.
//
// After every kill, for each of the four target tables:
// - the files exactly as the kill left them (unless a save was stopped between its renames, which
//   only renames_may_stop allows) (once the killed run's last process, which may be
//   finishing a save's renames, has let go of their locks) pass the table checker, open read only
//   in our engine and in pxlib, and both read the same number of records; so they do again once
//   opened for writing (as the next run does), and no file of an unfinished save is left beside
//   them;
// - every row is complete: it equals the row the table held before, or the row an uninterrupted
//   run leaves (for "Update" also the row its insert pass leaves before the statements rewrite it);
//   no row held before is missing;
// - after the command runs again to its end, every table equals the uninterrupted run's: the same
//   keys, each row equal field by field, one row per key.
//
// "Update" starts with its own insert pass, so its kills are finished with "Update" again and
// compared with an uninterrupted "Update": an "IMPORT INTO VARNHOLT" after it would leave the rows
// the killed run had rewritten or inserted its way, which no uninterrupted import does.
#ifndef VARNHOLT_BENCH_CRASH_KILL_HARNESS_H_
#define VARNHOLT_BENCH_CRASH_KILL_HARNESS_H_

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tools/sample_school/school.h"

namespace varnholt::reliability {

inline constexpr char kImportCaption[] = "IMPORT INTO VARNHOLT";
inline constexpr char kUpdateCaption[] = "Update";

struct KillOptions {
  std::string press;                 // the press executable
  std::filesystem::path work;        // an empty scratch folder, left in place
  sample::SchoolOptions school;      // the sample school
  double target_holds = 0.3333;      // share of the school the target holds before
  bool target_indexes = false;       // the target tables carry maintained secondary indexes
  // press puts a save's files in place one after another (Windows): a kill can stop a save between
  // them, and the next open must finish it. Such a family is not checked as the kill left it.
  bool renames_may_stop = false;
  int kills_per_command = 5;
  uint64_t seed = 1;                 // the kill moments
  std::ostream* log = nullptr;       // one line per kill when set
};

struct KillSummary {
  int kills = 0;
  int failures = 0;                  // kills after which a check failed
  int finished_before_kill = 0;      // runs that ended before the signal came (not counted as kills)
  int kills_while_saving = 0;        // kills that left an unfinished save beside the tables
  int kills_between_renames = 0;     // of those, kills that stopped a save between its renames
  std::vector<std::string> problems; // what failed, one entry per problem
};

// Runs the kills for "IMPORT INTO VARNHOLT" and then for "Update". Throws only when the set-up
// (school, references) cannot be made.
KillSummary RunKillTest(const KillOptions& options);

}  // namespace varnholt::reliability

#endif  // VARNHOLT_BENCH_CRASH_KILL_HARNESS_H_
