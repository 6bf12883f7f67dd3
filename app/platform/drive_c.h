// Drive C: on systems without drive letters, a folder under the user's data home stands in for it,
// so the fixed report path "c:\..." has somewhere to land.
#ifndef VARNHOLT_APP_PLATFORM_DRIVE_C_H_
#define VARNHOLT_APP_PLATFORM_DRIVE_C_H_

#include <filesystem>
#include <string_view>

namespace varnholt {

// The folder for drive C:: $XDG_DATA_HOME/varnholt-import/drive_c, or
// $HOME/.local/share/varnholt-import/drive_c when XDG_DATA_HOME is unset, empty or relative.
// Either argument may be null (unset). On Windows it is "c:\" itself.
std::filesystem::path DriveCFolder(const char* xdg_data_home, const char* home);

// The same, from this process's environment (the password database gives the home when HOME is
// unset).
std::filesystem::path DriveCFolder();

// Where a Windows path lands: "c:\dir\name" (either case, either slash) becomes drive_c/dir/name;
// any other path is returned unchanged.
std::filesystem::path MapDriveCPath(std::string_view windows_path, const std::filesystem::path& drive_c);

}  // namespace varnholt

#endif  // VARNHOLT_APP_PLATFORM_DRIVE_C_H_
