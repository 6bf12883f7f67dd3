// The running user's own folders as the system records them: the home folder, for when the
// environment does not say (HOME unset or empty), and Windows' local application data folder.
#ifndef VARNHOLT_BASE_OS_HOME_FOLDER_H_
#define VARNHOLT_BASE_OS_HOME_FOLDER_H_

#include <filesystem>
#include <optional>
#include <string>

namespace varnholt {

// The home folder of the account the process runs as; nullopt when the account database has no
// entry for it. The folder is not checked and may be empty text.
std::optional<std::string> AccountHomeFolder();

// Windows: the user's local application data folder (%LOCALAPPDATA%, "AppData\Local"), which is
// this user's to write on any PC. Elsewhere, and when Windows does not say, nullopt.
std::optional<std::filesystem::path> LocalAppDataFolder();

}  // namespace varnholt

#endif  // VARNHOLT_BASE_OS_HOME_FOLDER_H_
