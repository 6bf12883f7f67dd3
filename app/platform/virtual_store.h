// Windows' file virtualisation: a 32-bit program without a manifest that may not write a file under
// C:\ is silently given the user's own copy under %LOCALAPPDATA%\VirtualStore. The old program's
// report lives there on most school PCs, so ours adds to that same file when C:\ is denied.
#ifndef VARNHOLT_APP_PLATFORM_VIRTUAL_STORE_H_
#define VARNHOLT_APP_PLATFORM_VIRTUAL_STORE_H_

#include <filesystem>
#include <optional>
#include <string_view>

namespace varnholt {

// The file Windows would have redirected `windows_path` ("c:\dir\name", either case, either slash)
// to: local_app_data\VirtualStore\dir\name. Empty for a path not on drive C: or an empty
// local_app_data.
std::filesystem::path VirtualStorePath(std::string_view windows_path, const std::filesystem::path& local_app_data);

// The same for this user; empty where there is no local application data folder (not Windows), as
// drive C: is then a folder of the user's own and never denied.
std::filesystem::path VirtualStorePath(std::string_view windows_path);

}  // namespace varnholt

#endif  // VARNHOLT_APP_PLATFORM_VIRTUAL_STORE_H_
