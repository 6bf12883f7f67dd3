#include "stores/paradox/engine_message.h"

#include <algorithm>

namespace varnholt::paradox {

namespace {

constexpr char kKeyViolation[] = "Key violation.";
constexpr char kTableMissing[] = "Table does not exist.";
constexpr char kPasswordRequired[] = "Insufficient table rights for operation. Password required.";
constexpr char kWrongPassword[] = "Invalid password given.";
constexpr char kTableLabel[] = "Table";
constexpr char kFileLabel[] = "File";

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

EngineError PasswordRequiredError(const std::string& table_path) {
  return EngineError(EngineMessage(kPasswordRequired, {{kTableLabel, table_path}}));
}

EngineError WrongPasswordError(const std::string& table_path) {
  return EngineError(EngineMessage(kWrongPassword, {{kTableLabel, table_path}}));
}

EngineError TableMissingError(const std::string& file_path) {
  return EngineError(EngineMessage(kTableMissing, {{kFileLabel, file_path}}));
}

}  // namespace varnholt::paradox
