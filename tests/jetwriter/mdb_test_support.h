// Test support for reading Jet files back: the mdbtools commands, their CSV, and an exact
// (NULL-aware) read through libmdb. Shared by the writer and sample-school suites.
#ifndef VARNHOLT_TESTS_JETWRITER_MDB_TEST_SUPPORT_H_
#define VARNHOLT_TESTS_JETWRITER_MDB_TEST_SUPPORT_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace varnholt::mdbtest {

// A fresh directory, removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct CommandResult {
  int status = -1;  // exit status
  std::string out;  // standard output
};

// Runs a shell command line; standard error is discarded.
CommandResult RunCommand(const std::string& command_line);
// The text quoted for the shell.
std::string Shell(const std::string& text);

// mdb-export's CSV (quotes doubled inside quoted fields) as rows of fields.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text);
// mdb-export of a table, dates as "YYYY-MM-DD hh:mm:ss", parsed; header row first.
std::vector<std::vector<std::string>> Export(const std::string& path, const std::string& table);
// mdb-count of a table; -1 when the command fails.
long Count(const std::string& path, const std::string& table);
// mdb-tables -1: user table names in catalog order.
std::vector<std::string> Tables(const std::string& path);

// A table read through libmdb, every value as libmdb formats it (dates "YYYY-MM-DD hh:mm:ss"),
// nullopt for NULL. Yes/No reads "1"/"0". Throws std::runtime_error when unreadable.
using Row = std::vector<std::optional<std::string>>;
std::vector<Row> ReadTable(const std::string& path, const std::string& table);

}  // namespace varnholt::mdbtest

#endif  // VARNHOLT_TESTS_JETWRITER_MDB_TEST_SUPPORT_H_
