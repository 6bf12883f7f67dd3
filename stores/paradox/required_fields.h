// The fields a table declares required, read from its validity-check file (.VAL), so our writes
// refuse a required field left empty as the table's own engine would.
#ifndef VARNHOLT_STORES_PARADOX_REQUIRED_FIELDS_H_
#define VARNHOLT_STORES_PARADOX_REQUIRED_FIELDS_H_

#include <string>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt {

// One flag per field of `fields`: true when the .VAL beside db_path (same name, extension in any
// case) marks it required. All false when there is no .VAL, when it belongs to another structure
// of the table (its change counter differs from the .DB's), or when it is of a layout we do not
// read; a damaged .VAL never fails the open.
std::vector<bool> ReadRequiredFields(const std::string& db_path,
                                     const std::vector<paradox::Field>& fields);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_PARADOX_REQUIRED_FIELDS_H_
