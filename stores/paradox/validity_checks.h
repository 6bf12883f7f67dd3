// The validity checks a table's own engine keeps beside it in the .VAL file, and applies on every
// post: default values of a new record, required fields, minimum and maximum, a lookup table
// whose first field must hold the value, and the links of referential integrity (integrity_links.h;
// enforced by the target session, which opens the linked tables). Pictures are read but not
// applied: the engine keeps them for the product's own editing forms and does not check them when
// a record is posted.
//
// An .VAL written for another structure of the table (its change counter differs from the .DB's),
// of the older layout, or damaged anywhere is ignored as a whole, as the engine does: the table
// then has no checks. Reading never fails.
#ifndef VARNHOLT_STORES_PARADOX_VALIDITY_CHECKS_H_
#define VARNHOLT_STORES_PARADOX_VALIDITY_CHECKS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/integrity_links.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

// The checks on one field. Values are the field's stored bytes (they sort as the values do).
struct FieldChecks {
  bool required = false;
  std::optional<std::vector<uint8_t>> minimum;
  std::optional<std::vector<uint8_t>> maximum;
  std::optional<Value> default_value;
  std::string picture;       // as stored; not applied
  std::string lookup_table;  // file name of the lookup table, "" for none
};

class ValidityChecks {
 public:
  ValidityChecks() = default;
  // The checks of the table at db_path, whose fields are `fields` and code page `code_page`.
  static ValidityChecks Read(const std::string& db_path, const std::vector<Field>& fields, int code_page);

  // One entry per field of the table (all empty when there are no checks).
  const std::vector<FieldChecks>& fields() const { return fields_; }
  std::vector<bool> required() const;

  // True when the table takes part in referential integrity (as master or as dependant).
  bool referential_integrity() const { return referential_integrity_; }
  // Its links when the .VAL's section of them was read whole; nullopt when there is none or it
  // could not be read (a table that takes part but whose links are unknown must not be written).
  const std::optional<IntegrityLinks>& links() const { return links_; }

  // A new record: each field's default value, else null. Made once.
  const Record& NewRecord() const;

  // Throws EngineError for the first field of `record` below its minimum ("Minimum validity check
  // failed.") or above its maximum ("Maximum validity check failed."), with the field, the value and
  // the table on the lines after it. A null value is not checked. REQUIRES: `record` holds values
  // the table's fields can store.
  void CheckRange(const Record& record) const;

 private:
  std::string path_;
  std::vector<FieldChecks> fields_;
  mutable std::optional<Record> new_record_;  // NewRecord, once asked
  bool referential_integrity_ = false;
  std::optional<IntegrityLinks> links_;
  // Encodes a record's values for comparing them with the stored minimum and maximum.
  std::shared_ptr<const CodePage> code_page_;
  std::shared_ptr<const FieldCodec> codec_;
};

// The message of a value refused by a check: `description`, then "Field: <field>",
// "Value: <value as text>" and "Table: <table_path>".
EngineError ValidityError(const char* description, const std::string& field, const Value& value,
                          const std::string& table_path);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_VALIDITY_CHECKS_H_
