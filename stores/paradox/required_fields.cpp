#include "stores/paradox/required_fields.h"

#include "stores/paradox/validity_checks.h"

namespace varnholt {

namespace {

// Which fields are required does not depend on the code page.
constexpr int kAnyCodePage = 437;

}  // namespace

std::vector<bool> ReadRequiredFields(const std::string& db_path,
                                     const std::vector<paradox::Field>& fields) {
  return paradox::ValidityChecks::Read(db_path, fields, kAnyCodePage).required();
}

}  // namespace varnholt
