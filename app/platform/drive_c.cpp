#include "app/platform/drive_c.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "base/os/home_folder.h"

namespace varnholt {

namespace {

constexpr char kApplicationFolder[] = "varnholt-import";
constexpr char kDriveCFolder[] = "drive_c";
// Where data goes when XDG_DATA_HOME does not say, relative to the home folder.
constexpr char kDefaultDataHome[] = ".local/share";

}  // namespace

std::filesystem::path DriveCFolder(const char* xdg_data_home, const char* home) {
#ifdef _WIN32
  (void)xdg_data_home;
  (void)home;
  return std::filesystem::path("c:\\");
#else
  std::filesystem::path data_home;
  // A relative XDG_DATA_HOME is invalid and ignored.
  if (xdg_data_home != nullptr && xdg_data_home[0] == '/') {
    data_home = xdg_data_home;
  } else {
    data_home = std::filesystem::path(home != nullptr ? home : "") / kDefaultDataHome;
  }
  return data_home / kApplicationFolder / kDriveCFolder;
#endif
}

std::filesystem::path DriveCFolder() {
  const char* home = std::getenv("HOME");
#ifndef _WIN32
  const std::optional<std::string> account_home =
      home == nullptr || home[0] == '\0' ? AccountHomeFolder() : std::nullopt;
  if (account_home) home = account_home->c_str();
#endif
  return DriveCFolder(std::getenv("XDG_DATA_HOME"), home);
}

std::filesystem::path MapDriveCPath(std::string_view windows_path, const std::filesystem::path& drive_c) {
  const bool on_drive_c = windows_path.size() >= 3 && (windows_path[0] == 'c' || windows_path[0] == 'C') &&
                          windows_path[1] == ':' && (windows_path[2] == '\\' || windows_path[2] == '/');
  if (!on_drive_c) return std::filesystem::path(windows_path);
#ifdef _WIN32
  (void)drive_c;
  return std::filesystem::path(windows_path);
#else
  std::filesystem::path mapped = drive_c;
  std::string part;
  for (char c : windows_path.substr(3)) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) mapped /= part;
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) mapped /= part;
  return mapped;
#endif
}

}  // namespace varnholt
