// A value that a target field cannot take ends the command naming the row it belongs to, so the
// operator knows which learner, parent or class to correct in the school-administration program.
#ifndef VARNHOLT_PASSES_ROW_ERRORS_H_
#define VARNHOLT_PASSES_ROW_ERRORS_H_

#include <string>

#include "base/store_error.h"

namespace varnholt {

// "<subject>: Invalid value for field '<field>': \"<value>\"".
StoreError RowValueError(const std::string& subject, const InvalidFieldValue& error);

// Runs `write` (the writes of one row). An InvalidFieldValue it throws becomes RowValueError with
// `subject()` ("Learner 10001"), asked only then; every other error passes unchanged.
template <typename Subject, typename Write>
void WritingRow(const Subject& subject, Write&& write) {
  try {
    write();
  } catch (const InvalidFieldValue& error) {
    throw RowValueError(subject(), error);
  }
}

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_ROW_ERRORS_H_
