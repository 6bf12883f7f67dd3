#include <windows.h>
#include <shlobj.h>

#include "base/os/home_folder.h"
#include "base/os/windows_path.h"

namespace varnholt {

namespace {

std::optional<std::wstring> KnownFolder(REFKNOWNFOLDERID id) {
  wchar_t* folder = nullptr;
  if (::SHGetKnownFolderPath(id, 0, nullptr, &folder) != S_OK) {
    ::CoTaskMemFree(folder);
    return std::nullopt;
  }
  std::wstring path = folder;
  ::CoTaskMemFree(folder);
  return path;
}

}  // namespace

std::optional<std::string> AccountHomeFolder() {
  const std::optional<std::wstring> folder = KnownFolder(FOLDERID_Profile);
  if (!folder) return std::nullopt;
  return os::Utf8FromWide(*folder);
}

std::optional<std::filesystem::path> LocalAppDataFolder() {
  std::optional<std::wstring> folder = KnownFolder(FOLDERID_LocalAppData);
  if (!folder || folder->empty()) return std::nullopt;
  return std::filesystem::path(std::move(*folder));
}

}  // namespace varnholt
