#include "base/os/program_arguments.h"

namespace varnholt::os {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace varnholt::os
