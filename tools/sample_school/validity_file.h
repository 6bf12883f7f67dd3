// Writes a table's validity-check file (.VAL) in the layout the accounting product's engine
// writes, for sample targets and tests: the program itself only reads them.
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_VALIDITY_FILE_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_VALIDITY_FILE_H_

#include <optional>
#include <string>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt::paradox {

// The checks on one field (by its 0-based number).
struct FieldCheckDefinition {
  int field = 0;
  bool required = false;
  std::optional<Value> minimum;
  std::optional<Value> maximum;
  std::optional<Value> default_value;
  std::string picture;
  std::string lookup_table;  // file name in the table's folder, "" for none
};

// Writes NAME.VAL beside the table at db_path (replacing one that is there), current for the
// table's structure as it is now. Throws EngineError when the table cannot be read, a value does
// not fit its field, or the file cannot be written.
void WriteValidityFile(const std::string& db_path, const std::vector<FieldCheckDefinition>& checks);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_VALIDITY_FILE_H_
