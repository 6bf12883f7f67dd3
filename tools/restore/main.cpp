// varnholt-restore: see restore_tool.h.
#include <iostream>

#include "base/os/program_arguments.h"
#include "tools/restore/restore_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments = varnholt::os::ProgramArguments(argc, argv);
  arguments.erase(arguments.begin());
  return varnholt::RunRestoreTool(arguments, std::cout, std::cerr);
}
