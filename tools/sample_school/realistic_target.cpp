#include "tools/sample_school/realistic_target.h"

#include <filesystem>

#include "base/utf8_path.h"
#include "tools/sample_school/protect_table.h"
#include "tools/sample_school/validity_file.h"

namespace varnholt::sample {

namespace {

using paradox::FieldCheckDefinition;
using paradox::Value;

FieldCheckDefinition Required(int field) {
  FieldCheckDefinition check;
  check.field = field;
  check.required = true;
  return check;
}

FieldCheckDefinition Default(int field, Value value) {
  FieldCheckDefinition check;
  check.field = field;
  check.default_value = std::move(value);
  return check;
}

std::string In(const std::string& directory, const char* name) {
  return Utf8FromPath(PathFromUtf8(directory) / name);
}

}  // namespace

void MakeTargetRealistic(const std::string& directory) {
  // Learners: a surname is required, the balance starts at nought.
  paradox::WriteValidityFile(In(directory, "CH01MAST.DB"), {Required(2), Default(18, Value(0.0))});
  // Parents: a name is required; balance and credit limit start at nought, the limit never below.
  FieldCheckDefinition credit_limit = Default(17, Value(0.0));
  credit_limit.minimum = Value(0.0);
  paradox::WriteValidityFile(In(directory, "DL01MAST.DB"),
                             {Required(1), Default(16, Value(0.0)), credit_limit});
  // Classes: every class master row names a class code the school has; a new one has its room
  // still to be given.
  FieldCheckDefinition class_code;
  class_code.field = 0;
  class_code.lookup_table = "DL00CODE.DB";
  paradox::WriteValidityFile(In(directory, "CLASSMAS.DB"),
                             {class_code, Default(2, Value(std::string("TBA")))});
  paradox::WriteValidityFile(In(directory, "DL00CODE.DB"), {Required(0)});
  ProtectTable(In(directory, kProtectedTable), kTablePassword);
}

}  // namespace varnholt::sample
