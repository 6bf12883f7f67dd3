// The running user's home folder as the system's account database records it, for when the
// environment does not say (HOME unset or empty).
#ifndef VARNHOLT_BASE_OS_HOME_FOLDER_H_
#define VARNHOLT_BASE_OS_HOME_FOLDER_H_

#include <optional>
#include <string>

namespace varnholt {

// The home folder of the account the process runs as; nullopt when the account database has no
// entry for it. The folder is not checked and may be empty text.
std::optional<std::string> AccountHomeFolder();

}  // namespace varnholt

#endif  // VARNHOLT_BASE_OS_HOME_FOLDER_H_
