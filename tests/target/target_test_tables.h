// Real, empty Varnholt target tables in a fresh temporary directory, for the component tests.
#ifndef VARNHOLT_TESTS_TARGET_TARGET_TEST_TABLES_H_
#define VARNHOLT_TESTS_TARGET_TARGET_TEST_TABLES_H_

#include <filesystem>
#include <exception>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "stores/paradox/table.h"
#include "tests/support/scratch_folder.h"
#include "tools/sample_school/varnholt_schema.h"

namespace varnholt::testing {

// The learner, parent, class code and class master tables, empty, as the sample target has them.
inline void CreateTargetTables(const std::string& dir) { paradox::CreateVarnholtTables(dir); }

// What `run` throws, as its message; "" when it throws nothing.
inline std::string ErrorMessage(const std::function<void()>& run) {
  try {
    run();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

// `name` in `folder` as the engine joins them in its messages: with the system's separator ("\"
// on Windows), whatever separators the folder text itself holds.
inline std::string InFolder(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

// A fresh directory under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    path_ = varnholt::testing::MakeScratchFolder("varnholt-target-").string();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Every file of a directory with its bytes, to show that a refused write changed nothing.
inline std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& dir) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(entry.path().filename().string(),
                       std::string(std::istreambuf_iterator<char>(in), {}));
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_TARGET_TARGET_TEST_TABLES_H_
