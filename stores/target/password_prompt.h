// PasswordPrompt: how the target session asks the operator for a password-protected table's
// password. The window answers with a small modal dialog of the platform layer; the press tool
// with the password it was given on its command line.
#ifndef VARNHOLT_STORES_TARGET_PASSWORD_PROMPT_H_
#define VARNHOLT_STORES_TARGET_PASSWORD_PROMPT_H_

#include <optional>
#include <string>

namespace varnholt {

class PasswordPrompt {
 public:
  virtual ~PasswordPrompt() = default;
  // Asks for the password of the table `table_name` (its file name) and waits for the answer:
  // the text typed, or nothing when the operator cancels.
  virtual std::optional<std::string> AskTablePassword(const std::string& table_name) = 0;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_TARGET_PASSWORD_PROMPT_H_
