#include "tools/sample_school/varnholt_schema.h"

#include <filesystem>

#include "base/utf8_path.h"
#include "stores/paradox/index_creator.h"

namespace varnholt::paradox {

namespace {

Field A(const char* name, int width) { return Field{name, FieldType::kAlpha, width}; }
Field D(const char* name) { return Field{name, FieldType::kDate, 4}; }
Field Money(const char* name) { return Field{name, FieldType::kMoney, 8}; }
Field N(const char* name) { return Field{name, FieldType::kNumber, 8}; }

TableSchema Keyed(std::vector<Field> fields) {
  TableSchema s;
  s.fields = std::move(fields);
  s.key_field_count = 1;
  s.code_page = 437;
  s.sort_order = "ascii";
  return s;
}

}  // namespace

std::vector<std::pair<std::string, TableSchema>> VarnholtSchemas() {
  return {
      {"CH01MAST.DB",
       Keyed({A("CH01_CODE", 10), A("CH01_INITIALS", 5), A("CH01_SURNAME", 30),
              A("CH01_NAME", 30), A("CH01_SECOND_NAME", 30), A("CH01_NICK_NAME", 20),
              A("CH01_DL01_CODE", 10), D("CH01_DATE_OF_BIRTH"), D("CH01_ADM_DATE"),
              A("CH01_STATUS", 1), A("CH01_CLASS", 10), A("CH01_SEX", 1),
              A("CH01_HOME_LANG", 15), A("CH01_ID_NO", 13), A("CH01_MEDICAL_NO", 20),
              A("CH01_MEDICAL_NAME", 30), A("CH01_MEDICAL_MEMBER", 30), A("CH01_SMART_CODE", 10),
              Money("CH01_BALANCE"), A("CH01_REMARKS", 60)})},
      {"DL01MAST.DB",
       Keyed({A("DL01_CODE", 10), A("DL01_DESCRIPTION", 40), A("DL01_TITLE", 10),
              A("DL01_POS_ADDR1", 30), A("DL01_POS_ADDR2", 30), A("DL01_POS_ADDR3", 30),
              A("DL01_POS_CODE", 10), A("DL01_DEL_ADDR1", 30), A("DL01_DEL_ADDR2", 30),
              A("DL01_DEL_ADDR3", 30), A("DL01_DEL_CODE", 10), A("DL01_PHONE1", 20),
              A("DL01_PHONE2", 20), A("DL01_PHONE3", 20), A("DL01_FATHER_ID", 13),
              A("DL01_MOTHER_ID", 13), Money("DL01_BALANCE"), N("DL01_CREDIT_LIMIT")})},
      {"DL00CODE.DB", Keyed({A("Dl00_CODE", 10), A("Dl00_DESCRIPTION", 30)})},
      {"CLASSMAS.DB", Keyed({A("CL01_CODE", 10), A("CL01_TEACHER", 30), A("CL01_ROOM", 10)})},
  };
}

void CreateVarnholtTables(const std::string& dir) {
  for (const auto& [name, schema] : VarnholtSchemas()) {
    Table::Create(Utf8FromPath(PathFromUtf8(dir) / name), schema);
  }
}

void AddVarnholtIndexes(const std::string& dir) {
  CreateSecondaryIndex(Utf8FromPath(PathFromUtf8(dir) / "CH01MAST.DB"),
                       IndexDefinition{{"CH01_SURNAME", "CH01_NAME"}, false, "BySurname"});
  CreateSecondaryIndex(Utf8FromPath(PathFromUtf8(dir) / "DL01MAST.DB"),
                       IndexDefinition{{"DL01_DESCRIPTION"}, false, ""});
}

}  // namespace varnholt::paradox
