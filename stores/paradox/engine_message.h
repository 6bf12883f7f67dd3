// Engine failures in the form the operator is shown them: the engine's description on the first
// line, then each of its context texts ("Table: <path>") on a line of its own, every line once.
// Every engine failure that carries context is built here, so a condition reads the same whether an
// insert or a statement met it.
#ifndef VARNHOLT_STORES_PARADOX_ENGINE_MESSAGE_H_
#define VARNHOLT_STORES_PARADOX_ENGINE_MESSAGE_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt::paradox {

// One context text: its label ("Table", "File") and its value.
using EngineContext = std::pair<std::string_view, std::string>;

// "<description>\n<label>: <value>..." with a line equal to an earlier one left out.
std::string EngineMessage(std::string_view description, const std::vector<EngineContext>& context);

// A row whose key another row of the table holds: "Key violation." / "Table: <path>".
EngineError KeyViolationError(const std::string& table_path);
// A row whose entry in a unique secondary index another row holds: "Key violation." / "Table:
// <path>" / "Index: <X file>" / "Fields: <names>" / "Value: <values>".
EngineError UniqueIndexViolationError(const std::string& table_path, const std::string& index_path,
                                      const std::string& fields, const std::string& value);
// A password-protected table opened without a password: "Insufficient table rights for
// operation. Password required." / "Table: <path>".
EngineError PasswordRequiredError(const std::string& table_path);
// A password-protected table opened with another password: "Invalid password given." /
// "Table: <path>".
EngineError WrongPasswordError(const std::string& table_path);
// A table file that is not there: "Table does not exist." / "File: <path>".
EngineError TableMissingError(const std::string& file_path);
// A table whose file the OS will not open for writing: "Table is read only." / "Table: <path>".
EngineError TableReadOnlyError(const std::string& table_path);
// A save the OS refused (no new file in the table's folder, or no rename over the old): "Permission
// denied." / "Directory: <folder>" / "Table: <path>".
EngineError SaveDeniedError(const std::string& folder, const std::string& table_path);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_ENGINE_MESSAGE_H_
