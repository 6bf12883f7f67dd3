// Real database files for the source-store tests: a scratch directory per test, databases written
// with the Jet writer, and copies of the genuine Access files.
#ifndef VARNHOLT_TESTS_SOURCE_SOURCE_TEST_FILES_H_
#define VARNHOLT_TESTS_SOURCE_SOURCE_TEST_FILES_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "stores/source/source_table.h"
#include "tools/jetwriter/jet_writer.h"

namespace varnholt {

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("varnholt-source-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
             std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string SharedJetFile(const std::string& name) {
  return std::string(VARNHOLT_SHARED_DIR) + "/testdata/jet/" + name;
}

inline bool HaveSharedFiles() { return std::filesystem::exists(SharedJetFile("access2000-password.mdb")); }

// A copy of a genuine file in `dir`, so nothing ever writes the original.
inline std::string CopyShared(const ScratchDir& dir, const std::string& name) {
  std::string copy = dir.File(name);
  std::filesystem::copy_file(SharedJetFile(name), copy, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  return copy;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string Connection(const std::string& path, const std::string& password = "Talvern") {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
         ";Persist Security Info=True;Jet OLEDB:Database Password=" + password;
}

// Binds `table` to the table `name` of the database at `path` (password "Talvern") and opens it.
inline void OpenSourceTable(SourceTable& table, const std::string& path, const std::string& name) {
  table.SetConnectionString(Connection(path));
  table.SetTableName(name);
  table.Open();
}

}  // namespace varnholt

#endif  // VARNHOLT_TESTS_SOURCE_SOURCE_TEST_FILES_H_
