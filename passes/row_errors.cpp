#include "passes/row_errors.h"

namespace varnholt {

StoreError RowValueError(const std::string& subject, const InvalidFieldValue& error) {
  return StoreError(subject + ": " + InvalidValueMessage(error.field()) + ": \"" + error.value() + "\"");
}

}  // namespace varnholt
