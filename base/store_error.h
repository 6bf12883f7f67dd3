// A failure that ends the running command. The text is what the operator sees in the message box,
// so it must name what is wrong (file, table, field, row) in the store's own words.
#ifndef VARNHOLT_BASE_STORE_ERROR_H_
#define VARNHOLT_BASE_STORE_ERROR_H_

#include <stdexcept>
#include <string>
#include <utility>

namespace varnholt {

class StoreError : public std::runtime_error {
 public:
  explicit StoreError(const std::string& message) : std::runtime_error(message) {}
};

// "%s: %s" with a component's name first, the form of every component's own message.
inline StoreError ComponentError(const std::string& component, const std::string& message) {
  return StoreError(component + ": " + message);
}

// A value a field cannot take. The message is the store's own ("Invalid value for field '<f>'",
// and where in a statement); field() and value() let the pass that was writing a row name it.
class InvalidFieldValue : public StoreError {
 public:
  InvalidFieldValue(const std::string& message, std::string field, std::string value)
      : StoreError(message), field_(std::move(field)), value_(std::move(value)) {}
  const std::string& field() const { return field_; }
  const std::string& value() const { return value_; }

 private:
  std::string field_;
  std::string value_;
};

// "Invalid value for field '%s'".
inline std::string InvalidValueMessage(const std::string& field) {
  return "Invalid value for field '" + field + "'";
}

inline constexpr const char kOpenDatasetMessage[] = "Cannot perform this operation on an open dataset";

// "Field '%s' not found".
inline std::string FieldNotFoundMessage(const std::string& field) {
  return "Field '" + field + "' not found";
}

}  // namespace varnholt

#endif  // VARNHOLT_BASE_STORE_ERROR_H_
