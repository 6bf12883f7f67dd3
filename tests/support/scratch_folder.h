// A new, empty, uniquely named folder under the system's temporary folder, on every platform
// (mkdtemp is POSIX only).
#ifndef VARNHOLT_TESTS_SUPPORT_SCRATCH_FOLDER_H_
#define VARNHOLT_TESTS_SUPPORT_SCRATCH_FOLDER_H_

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

namespace varnholt::testing {

inline std::filesystem::path MakeScratchFolder(const std::string& prefix) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (prefix + std::to_string(random() % 1000000000000ull));
    if (std::filesystem::create_directory(folder)) return folder;  // false: it was there already
  }
  throw std::runtime_error("cannot make a scratch folder for " + prefix);
}

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_SUPPORT_SCRATCH_FOLDER_H_
