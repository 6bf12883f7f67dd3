// kill-test: the kill test on a sample school. press runs "IMPORT INTO VARNHOLT" and then "Update" on
// fresh copies of the target and is killed (SIGKILL) at random moments; what each kill leaves is
// checked, the command is run again, and the tables must equal an uninterrupted run's.
//
// usage: kill-test [--kills N] [--learners N] [--holds F] [--indexes] [--renames-may-stop] [--seed N]
//                  [--work DIR] [--press PATH] [-v]
// Prints one line per kill with -v, and at the end "kills=N failures=N".
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

#include "tests/kill/kill_harness.h"

namespace {

constexpr char kUsage[] =
    "usage: kill-test [--kills N] [--learners N] [--holds F] [--indexes] [--renames-may-stop]\n"
    "                 [--seed N] [--work DIR] [--press PATH] [-v]\n"
    "  --kills N     kills per command (default 50)\n"
    "  --learners N  learners in the sample school (default 20000; parents 3/4 of it, 200 classes)\n"
    "  --holds F     share of the school the target holds before (default 0.3333)\n"
    "  --indexes     the target tables carry secondary indexes kept by every save\n"
    "  --renames-may-stop  press puts a save's files in place one by one (Windows): a save a kill\n"
    "                stopped between them is left to the next open to finish\n"
    "  --work DIR    scratch folder (default: a new one under the temp folder, removed at the end)\n";

}  // namespace

int main(int argc, char** argv) {
  varnholt::reliability::KillOptions options;
  options.press = VARNHOLT_PRESS;
  options.kills_per_command = 50;
  int learners = 20000;
  bool verbose = false;
  std::filesystem::path work;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--kills" && has_value) {
      options.kills_per_command = std::atoi(argv[++i]);
    } else if (arg == "--learners" && has_value) {
      learners = std::atoi(argv[++i]);
    } else if (arg == "--holds" && has_value) {
      options.target_holds = std::atof(argv[++i]);
    } else if (arg == "--indexes") {
      options.target_indexes = true;
    } else if (arg == "--renames-may-stop") {
      options.renames_may_stop = true;
    } else if (arg == "--seed" && has_value) {
      options.seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--work" && has_value) {
      work = argv[++i];
    } else if (arg == "--press" && has_value) {
      options.press = argv[++i];
    } else if (arg == "-v") {
      verbose = true;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  options.school.learners = learners;
  options.school.parents = learners * 3 / 4;
  options.school.classes = 200;
  const bool own_work = work.empty();
  if (own_work) {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnholt-crash-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::cerr << "kill-test: cannot make a scratch folder\n";
      return 1;
    }
    work = pattern;
  }
  options.work = work;
  if (verbose) options.log = &std::cout;

  varnholt::reliability::KillSummary summary;
  try {
    summary = varnholt::reliability::RunKillTest(options);
  } catch (const std::exception& error) {
    std::cerr << "crash: set-up failed: " << error.what() << "\n";
    return 1;
  }
  for (const auto& problem : summary.problems) std::cout << "failure: " << problem << "\n";
  std::cout << "kills=" << summary.kills << " failures=" << summary.failures
            << " (runs that ended before their signal, not counted: " << summary.finished_before_kill
            << "; killed while saving: " << summary.kills_while_saving
            << ", of them between renames: " << summary.kills_between_renames << ")\n";
  if (own_work) std::filesystem::remove_all(work);
  return summary.failures == 0 ? 0 : 1;
}
