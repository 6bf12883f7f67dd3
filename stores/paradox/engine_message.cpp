#include "stores/paradox/engine_message.h"

#include <algorithm>

namespace varnholt::paradox {

namespace {

constexpr char kKeyViolation[] = "Key violation.";
constexpr char kTableMissing[] = "Table does not exist.";
constexpr char kPasswordRequired[] = "Insufficient table rights for operation. Password required.";
constexpr char kWrongPassword[] = "Invalid password given.";
constexpr char kTableReadOnly[] = "Table is read only.";
constexpr char kPermissionDenied[] = "Permission denied.";
constexpr char kDirectoryLabel[] = "Directory";
constexpr char kTableLabel[] = "Table";
constexpr char kFileLabel[] = "File";
constexpr char kIndexLabel[] = "Index";
constexpr char kFieldsLabel[] = "Fields";
constexpr char kValueLabel[] = "Value";

}  // namespace

std::string EngineMessage(std::string_view description, const std::vector<EngineContext>& context) {
  std::vector<std::string> lines;
  auto add = [&lines](std::string line) {
    if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end()) {
      lines.push_back(std::move(line));
    }
  };
  add(std::string(description));
  for (const auto& [label, value] : context) add(std::string(label) + ": " + value);
  std::string message;
  for (const std::string& line : lines) message += (message.empty() ? "" : "\n") + line;
  return message;
}

EngineError KeyViolationError(const std::string& table_path) {
  return EngineError(EngineMessage(kKeyViolation, {{kTableLabel, table_path}}));
}

EngineError UniqueIndexViolationError(const std::string& table_path, const std::string& index_path,
                                      const std::string& fields, const std::string& value) {
  return EngineError(EngineMessage(kKeyViolation, {{kTableLabel, table_path},
                                                   {kIndexLabel, index_path},
                                                   {kFieldsLabel, fields},
                                                   {kValueLabel, value}}));
}

EngineError PasswordRequiredError(const std::string& table_path) {
  return EngineError(EngineMessage(kPasswordRequired, {{kTableLabel, table_path}}));
}

EngineError WrongPasswordError(const std::string& table_path) {
  return EngineError(EngineMessage(kWrongPassword, {{kTableLabel, table_path}}));
}

EngineError TableMissingError(const std::string& file_path) {
  return EngineError(EngineMessage(kTableMissing, {{kFileLabel, file_path}}));
}

EngineError TableReadOnlyError(const std::string& table_path) {
  return EngineError(EngineMessage(kTableReadOnly, {{kTableLabel, table_path}}));
}

EngineError SaveDeniedError(const std::string& folder, const std::string& table_path) {
  return EngineError(EngineMessage(kPermissionDenied, {{kDirectoryLabel, folder}, {kTableLabel, table_path}}));
}

}  // namespace varnholt::paradox
