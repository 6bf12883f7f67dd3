// Scratch folders for fuzz bodies that need files: one per name and process, removed at exit.
// Under VARNHOLT_FUZZ_SCRATCH when set (scripts/fuzz sets it and removes it, since a crashing
// process cannot clean up after itself), else in memory (/dev/shm) where there is one.
#ifndef VARNHOLT_TESTS_FUZZ_FUZZ_SCRATCH_H_
#define VARNHOLT_TESTS_FUZZ_FUZZ_SCRATCH_H_

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace varnholt::fuzz {

// A new, empty folder; the caller keeps it in a function-local static and removes it at exit.
inline std::filesystem::path NewScratchFolder(const std::string& name) {
  const char* given = std::getenv("VARNHOLT_FUZZ_SCRATCH");
  const std::filesystem::path base = given && *given ? std::filesystem::path(given)
                                     : std::filesystem::is_directory("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  std::filesystem::path dir = base / (name + "." + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace varnholt::fuzz

#endif  // VARNHOLT_TESTS_FUZZ_FUZZ_SCRATCH_H_
