// jet-dump FILE [TABLE...] [--password TEXT]: prints tables of a Jet database as CSV (see
// jet_dump.h); all user tables when none is named.
#include <iostream>

#include "base/os/program_arguments.h"
#include "tools/jet-dump/jet_dump.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> arguments = varnholt::os::ProgramArguments(argc, argv);
  arguments.erase(arguments.begin());
  return varnholt::RunJetDump(arguments, std::cout, std::cerr);
}
