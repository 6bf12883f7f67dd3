#include "passes/whole_codes.h"

#include "base/store_error.h"

namespace varnholt {

namespace {

constexpr char kClassRemedy[] = "the class name";
constexpr char kParentRemedy[] = "the parent id";

}  // namespace

void ThrowCodeTooLong(const TargetTable& target, std::string_view field, const std::string& value,
                      const std::string& subject, std::string_view remedy) {
  throw StoreError(subject + " \"" + value + "\" is too long for field " + std::string(field) +
                   " of table " + target.TableName() + ", which holds " +
                   std::to_string(target.FieldWidth(field)) + " characters; shorten " +
                   std::string(remedy) + " in the school-administration program");
}

void RequireWholeLearnerLinks(const TargetTable& learners, const std::string& learner_id,
                              const std::string& account, const std::optional<std::string>& class_name) {
  RequireWholeCode(
      learners, "CH01_DL01_CODE", account, [&] { return "Learner " + learner_id + ": parent account code"; },
      kParentRemedy);
  if (class_name) {
    RequireWholeCode(
        learners, "CH01_CLASS", *class_name, [&] { return "Learner " + learner_id + ": class"; }, kClassRemedy);
  }
}

}  // namespace varnholt
