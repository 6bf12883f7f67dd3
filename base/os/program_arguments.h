// The program's command line as UTF-8, as every path inside the program is.
#ifndef VARNHOLT_BASE_OS_PROGRAM_ARGUMENTS_H_
#define VARNHOLT_BASE_OS_PROGRAM_ARGUMENTS_H_

#include <string>
#include <vector>

namespace varnholt::os {

// Every argument, the program's name first. On Windows they are read again from the UTF-16 command
// line: main's argv holds only what the ANSI code page can spell (a folder "Ærø" may not survive).
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_PROGRAM_ARGUMENTS_H_
