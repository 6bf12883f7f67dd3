// One test of a test program run again in a process of its own, for tests that need another copy
// of the program (one that asks for a lock we hold, say). std::system runs it through the
// platform's shell and waits for it; the test learns what to do from one environment variable.
#ifndef VARNHOLT_TESTS_SUPPORT_SECOND_PROCESS_H_
#define VARNHOLT_TESTS_SUPPORT_SECOND_PROCESS_H_

#include <cstdlib>
#include <string>

namespace varnholt::testing {

// Runs only `test` ("Suite.Name") of the test program at `program` with `variable` set to `value`
// in its environment, and waits for it. True when it passed. REQUIRES: no quote in `value` or
// `program`.
inline bool RunTestInSecondProcess(const std::string& program, const std::string& test,
                                   const std::string& variable, const std::string& value) {
#ifdef _WIN32
  // cmd.exe: set for the one command line, then the program.
  const std::string command =
      "set \"" + variable + "=" + value + "\" && \"" + program + "\" --gtest_filter=" + test;
#else
  const std::string command = variable + "='" + value + "' '" + program + "' --gtest_filter=" + test;
#endif
  return std::system(command.c_str()) == 0;
}

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_SUPPORT_SECOND_PROCESS_H_
