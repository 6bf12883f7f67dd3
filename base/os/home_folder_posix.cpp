#include "base/os/home_folder.h"

#include <pwd.h>
#include <unistd.h>

namespace varnholt {

std::optional<std::string> AccountHomeFolder() {
  const passwd* entry = getpwuid(getuid());
  if (entry == nullptr) return std::nullopt;
  return std::string(entry->pw_dir != nullptr ? entry->pw_dir : "");
}

std::optional<std::filesystem::path> LocalAppDataFolder() { return std::nullopt; }

}  // namespace varnholt
