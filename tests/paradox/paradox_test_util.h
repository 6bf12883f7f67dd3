// Helpers shared by the Paradox engine suites: scratch directories, sample copies (pxlib reading
// comes from tests/support).
#ifndef VARNHOLT_TESTS_PARADOX_PARADOX_TEST_UTIL_H_
#define VARNHOLT_TESTS_PARADOX_PARADOX_TEST_UTIL_H_

#include <string>
#include <vector>

#include "stores/paradox/table.h"
#include "tests/support/pxlib_reader.h"

namespace varnholt::paradox::testing {

// A fresh empty directory under the system temp dir, removed by the destructor.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The folder of genuine sample tables, or "" when the shared folder is absent.
std::string SampleDir();
// Copies the files of `names` from the sample folder into `dir` (writable copies).
void CopySamples(const std::string& sample_subdir, const std::vector<std::string>& names,
                 const std::string& dir);

// A small keyed test schema: Code A10 (key), Name A20, Amount $, Born D, Count I.
TableSchema SmallSchema(int key_fields = 1);
Record SmallRecord(const std::string& code, const std::string& name, double amount = 1.5);


}  // namespace varnholt::paradox::testing

#endif  // VARNHOLT_TESTS_PARADOX_PARADOX_TEST_UTIL_H_
