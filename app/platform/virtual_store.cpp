#include "app/platform/virtual_store.h"

#include <string>

#include "base/os/home_folder.h"
#include "base/utf8_path.h"

namespace varnholt {

namespace {

constexpr char kVirtualStoreFolder[] = "VirtualStore";

}  // namespace

std::filesystem::path VirtualStorePath(std::string_view windows_path, const std::filesystem::path& local_app_data) {
  const bool on_drive_c = windows_path.size() >= 3 && (windows_path[0] == 'c' || windows_path[0] == 'C') &&
                          windows_path[1] == ':' && (windows_path[2] == '\\' || windows_path[2] == '/');
  if (!on_drive_c || local_app_data.empty()) return {};
  std::filesystem::path redirected = local_app_data / kVirtualStoreFolder;
  std::string part;
  for (const char c : windows_path.substr(3)) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) redirected /= PathFromUtf8(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) redirected /= PathFromUtf8(part);
  return redirected;
}

std::filesystem::path VirtualStorePath(std::string_view windows_path) {
  const std::optional<std::filesystem::path> local_app_data = LocalAppDataFolder();
  return local_app_data ? VirtualStorePath(windows_path, *local_app_data) : std::filesystem::path();
}

}  // namespace varnholt
