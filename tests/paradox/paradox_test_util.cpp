#include "paradox_test_util.h"

#include <cstdlib>
#include <filesystem>

#include "tests/support/scratch_folder.h"

namespace varnholt::paradox::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  path_ = varnholt::testing::MakeScratchFolder("paradox_test_").string();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string SampleDir() {
  const fs::path dir = fs::path(VARNHOLT_SHARED_DIR) / "testdata" / "paradox";
  std::error_code ec;
  return fs::is_directory(dir, ec) ? dir.string() : std::string();
}

void CopySamples(const std::string& sample_subdir, const std::vector<std::string>& names,
                 const std::string& dir) {
  for (const auto& n : names) {
    const fs::path to = fs::path(dir) / fs::path(n).filename();
    fs::copy_file(fs::path(SampleDir()) / sample_subdir / n, to,
                  fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
  }
}

TableSchema SmallSchema(int key_fields) {
  TableSchema s;
  s.fields = {{"Code", FieldType::kAlpha, 10},
              {"Name", FieldType::kAlpha, 20},
              {"Amount", FieldType::kMoney, 8},
              {"Born", FieldType::kDate, 4},
              {"Count", FieldType::kLong, 4}};
  s.key_field_count = key_fields;
  return s;
}

Record SmallRecord(const std::string& code, const std::string& name, double amount) {
  return Record{code, name, amount, Date{730000}, int64_t{42}};
}

}  // namespace varnholt::paradox::testing
