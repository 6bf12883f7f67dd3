// Shared by the bad-input suites: a small school, a fixture that clicks a command on bad input and
// checks the outcome, and the press tool run as a process.
#ifndef VARNHOLT_TESTS_RELIABILITY_BAD_INPUT_SUPPORT_H_
#define VARNHOLT_TESTS_RELIABILITY_BAD_INPUT_SUPPORT_H_

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/passes/school_fixture.h"
#include "tools/jetwriter/jet_writer.h"
#include "tools/sample_school/source_database.h"

namespace varnholt::testing {

// Five learners in two classes, three parents, every learner linked.
sample::School SmallSchool();

class BadInputTest : public SchoolTest {
 protected:
  // Clicks "IMPORT INTO VARNHOLT" (or `handler`): the command must end with an error naming every
  // text in `names`, show no "Finished", and, when `unchanged`, leave the target byte for byte.
  // Returns the error.
  std::string ExpectRefused(const std::vector<std::string>& names, bool unchanged = true,
                            void (Commands::*handler)() = &Commands::Button2Click);
  // The program goes on: the same click runs again and ends the same way.
  void ExpectSameAgain(const std::string& error, void (Commands::*handler)() = &Commands::Button2Click);
};

// press as a process: its exit status and the message boxes it printed.
struct PressResult {
  bool exited = false;   // ended by exit, not by a signal
  int exit_code = -1;
  int signal = 0;
  std::vector<std::string> boxes;  // the text after "box: " of each box line
};

// Runs press with the captions on source and target, drive C: under `scratch`. `in_child` runs in
// the child before exec (to set limits or drop privileges); a false return ends the child with 125.
PressResult RunPress(const std::filesystem::path& source, const std::filesystem::path& target,
                     const std::filesystem::path& scratch, const std::vector<std::string>& captions,
                     const std::function<bool()>& in_child = {});

bool Contains(const std::string& text, const std::string& part);

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_RELIABILITY_BAD_INPUT_SUPPORT_H_
