// Codes are kept whole in the target. A code that keys a target row (a class name, a learner id, a
// parent's account code) or names another table's row (a learner's class and parent account) ends
// the command before its row is written when the target field cannot hold it whole. Cut, a key
// would be looked up whole and missed by every later import, which would try to add it again; two
// codes that share their start would become one row; a cut class or account names another's.
#ifndef VARNHOLT_PASSES_WHOLE_CODES_H_
#define VARNHOLT_PASSES_WHOLE_CODES_H_

#include <optional>
#include <string>
#include <string_view>

#include "stores/target/target_table.h"

namespace varnholt {

// Throws StoreError "<subject> \"<value>\" is too long for field <field> of table <table>, which
// holds <width> characters; shorten <remedy> in the school-administration program" when `target`
// cannot store `value` in `field` whole. The width is the table's own, as defined on disk.
// `subject()` gives the subject text; it is asked only when the code does not fit, since codes are
// checked once a row.
template <typename Subject>
void RequireWholeCode(const TargetTable& target, std::string_view field, const std::string& value,
                      const Subject& subject, std::string_view remedy);

// The error RequireWholeCode throws.
[[noreturn]] void ThrowCodeTooLong(const TargetTable& target, std::string_view field, const std::string& value,
                                   const std::string& subject, std::string_view remedy);

template <typename Subject>
void RequireWholeCode(const TargetTable& target, std::string_view field, const std::string& value,
                      const Subject& subject, std::string_view remedy) {
  if (!target.HoldsWhole(field, value)) ThrowCodeTooLong(target, field, value, subject(), remedy);
}

// A learner's parent account code in CH01_DL01_CODE and, when the learner gets one, its class name
// in CH01_CLASS, both named after "Learner <learner_id>".
void RequireWholeLearnerLinks(const TargetTable& learners, const std::string& learner_id,
                              const std::string& account, const std::optional<std::string>& class_name);

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_WHOLE_CODES_H_
