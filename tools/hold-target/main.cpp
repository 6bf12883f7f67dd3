// hold-target DIR: opens every table (.DB) in DIR through one target session, inside one command,
// as a running import holds them: our engine's lock and the holds the accounting product sees. Then
// prints "holding" and waits until its standard input ends, and lets go. For trying (and testing)
// what another copy of the program, or another program, is told meanwhile. Exits 1 when a table
// cannot be held (the error on standard error), 2 for a bad command line.
#include <exception>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "base/command_scope.h"
#include "base/os/program_arguments.h"
#include "base/utf8_path.h"
#include "stores/target/target_session.h"

namespace {

constexpr int kCannotHold = 1;
constexpr int kUsageError = 2;
constexpr char kTableExtension[] = ".db";
constexpr char kHolding[] = "holding";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = varnholt::os::ProgramArguments(argc, argv);
  if (arguments.size() != 2) {
    std::cerr << "usage: hold-target DIR\n";
    return kUsageError;
  }
  const std::string folder = arguments[1];
  varnholt::TargetSession session;
  try {
    varnholt::CommandScope scope(session);
    std::error_code error;
    for (std::filesystem::directory_iterator it(varnholt::PathFromUtf8(folder), error), end; !error && it != end;
         it.increment(error)) {
      const std::string name = varnholt::Utf8FromPath(it->path().filename());
      if (!varnholt::EqualsIgnoringAsciiCase(varnholt::Utf8FromPath(it->path().extension()), kTableExtension)) continue;
      session.OpenTable(folder, name).HoldForCommand();
    }
    if (error) throw std::runtime_error(folder + ": cannot list the folder (" + error.message() + ")");
    std::cout << kHolding << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return kCannotHold;
  }
  return 0;
}
