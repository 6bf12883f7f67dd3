#include <windows.h>
#include <shlobj.h>

#include "base/os/home_folder.h"
#include "base/os/windows_path.h"

namespace varnholt {

std::optional<std::string> AccountHomeFolder() {
  wchar_t* folder = nullptr;
  if (::SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &folder) != S_OK) {
    ::CoTaskMemFree(folder);
    return std::nullopt;
  }
  std::string utf8 = os::Utf8FromWide(folder);
  ::CoTaskMemFree(folder);
  return utf8;
}

}  // namespace varnholt
