// A fresh folder for one test, removed afterwards. Its name holds letters outside ASCII, so every
// path a test builds in it goes through the UTF-8 to UTF-16 conversion on Windows.
#ifndef VARNHOLT_TESTS_OS_OS_TEST_FOLDER_H_
#define VARNHOLT_TESTS_OS_OS_TEST_FOLDER_H_

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/os/os_file.h"

namespace varnholt::testing {

inline std::string Utf8Of(const std::filesystem::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class OsTestFolder {
 public:
  OsTestFolder() {
    static std::atomic<int> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    folder_ = std::filesystem::temp_directory_path() /
              PathOf("varnholt-os-\xC3\x86r\xC3\xB8-" + std::to_string(now) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(folder_);
  }
  ~OsTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  OsTestFolder(const OsTestFolder&) = delete;
  OsTestFolder& operator=(const OsTestFolder&) = delete;

  std::string path() const { return Utf8Of(folder_); }
  // `name` (UTF-8) in the folder, joined with "/" as the engine joins paths.
  std::string File(const std::string& name) const { return path() + "/" + name; }

 private:
  std::filesystem::path folder_;
};

// A new file at `path` holding `text`, and the text a file holds, through the engine's own calls.
inline void WriteFile(const std::string& path, const std::string& text) {
  os::OsFile f = os::OsFile::Create(path);
  f.WriteAt(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

inline std::string ReadFile(const std::string& path) {
  const std::vector<uint8_t> bytes = os::OsFile::Open(path, false).ReadAll();
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_OS_OS_TEST_FOLDER_H_
