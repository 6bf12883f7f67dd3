// Real, empty Varnholt target tables in a fresh temporary directory, for the component tests.
#ifndef VARNHOLT_TESTS_TARGET_TARGET_TEST_TABLES_H_
#define VARNHOLT_TESTS_TARGET_TARGET_TEST_TABLES_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "stores/target/paradox/table.h"

namespace varnholt::testing {

inline paradox::Field Alpha(const std::string& name, int width) {
  return {name, paradox::FieldType::kAlpha, width};
}

// The learner, parent, class code and class master tables, keyed on their first field.
inline void CreateTargetTables(const std::string& dir) {
  using paradox::FieldType;
  auto create = [&](const std::string& file, std::vector<paradox::Field> fields) {
    paradox::TableSchema schema;
    schema.fields = std::move(fields);
    schema.key_field_count = 1;
    paradox::Table::Create(dir + "/" + file, schema);
  };
  create("CH01MAST.DB",
         {Alpha("CH01_CODE", 10), Alpha("CH01_INITIALS", 5), Alpha("CH01_SURNAME", 30),
          Alpha("CH01_NAME", 30), Alpha("CH01_SECOND_NAME", 30), Alpha("CH01_NICK_NAME", 20),
          Alpha("CH01_DL01_CODE", 10), {"CH01_DATE_OF_BIRTH", FieldType::kDate, 4},
          {"CH01_ADM_DATE", FieldType::kDate, 4}, Alpha("CH01_STATUS", 1), Alpha("CH01_CLASS", 10),
          Alpha("CH01_SEX", 1), Alpha("CH01_HOME_LANG", 15), Alpha("CH01_ID_NO", 13),
          Alpha("CH01_MEDICAL_NO", 20), Alpha("CH01_MEDICAL_NAME", 30),
          Alpha("CH01_MEDICAL_MEMBER", 30), Alpha("CH01_SMART_CODE", 10),
          {"CH01_BALANCE", FieldType::kMoney, 8}, Alpha("CH01_REMARKS", 60)});
  create("DL01MAST.DB",
         {Alpha("DL01_CODE", 10), Alpha("DL01_DESCRIPTION", 40), Alpha("DL01_TITLE", 10),
          Alpha("DL01_POS_ADDR1", 30), Alpha("DL01_POS_ADDR2", 30), Alpha("DL01_POS_ADDR3", 30),
          Alpha("DL01_POS_CODE", 10), Alpha("DL01_DEL_ADDR1", 30), Alpha("DL01_DEL_ADDR2", 30),
          Alpha("DL01_DEL_ADDR3", 30), Alpha("DL01_DEL_CODE", 10), Alpha("DL01_PHONE1", 20),
          Alpha("DL01_PHONE2", 20), Alpha("DL01_PHONE3", 20), Alpha("DL01_FATHER_ID", 13),
          Alpha("DL01_MOTHER_ID", 13), {"DL01_BALANCE", FieldType::kMoney, 8},
          {"DL01_CREDIT_LIMIT", FieldType::kNumber, 8}});
  create("DL00CODE.DB", {Alpha("Dl00_CODE", 10), Alpha("Dl00_DESCRIPTION", 30)});
  create("CLASSMAS.DB", {Alpha("CL01_CODE", 10), Alpha("CL01_TEACHER", 30), Alpha("CL01_ROOM", 10)});
}

// A fresh directory under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "varnholt-target-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
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
