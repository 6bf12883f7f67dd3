// Paths as text: the folder and the name a path holds, joined and split as the platform spells them
// (Windows: "\" or "/", POSIX: "/" only, where "\" is a letter of a name), without asking the OS.
// Paths are UTF-8.
#ifndef VARNHOLT_BASE_PATH_TEXT_H_
#define VARNHOLT_BASE_PATH_TEXT_H_

#include <string>
#include <string_view>

namespace varnholt {

#ifdef _WIN32
constexpr bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }
inline constexpr char kPathSeparator = '\\';  // the one Windows shows
inline constexpr char kPathSeparators[] = "/\\";
#else
constexpr bool IsPathSeparator(char c) { return c == '/'; }
inline constexpr char kPathSeparator = '/';
inline constexpr char kPathSeparators[] = "/";
#endif

// The folder part of `path`: "" when it names no folder, "/" (or "\") for a file in the root.
inline std::string FolderOfPath(std::string_view path) {
  const size_t last = path.find_last_of(kPathSeparators);
  if (last == std::string_view::npos) return "";
  if (last == 0) return std::string(path.substr(0, 1));
  return std::string(path.substr(0, last));
}

// The folder that holds `path`: its folder part, "." when it names none.
inline std::string FolderHolding(std::string_view path) {
  std::string folder = FolderOfPath(path);
  return folder.empty() ? std::string(".") : folder;
}

// The last part of `path`, after its folder.
inline std::string NameOfPath(std::string_view path) {
  const size_t last = path.find_last_of(kPathSeparators);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

// `name` inside `folder` ("" for the current folder).
inline std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string joined(folder);
  if (!IsPathSeparator(joined.back())) joined += kPathSeparator;
  joined += name;
  return joined;
}

// A file name without its extension ("CH01MAST.DB" -> "CH01MAST"), and the extension with its dot.
inline std::string StemOfName(std::string_view name) {
  const size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}
inline std::string ExtensionOfName(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? std::string() : std::string(name.substr(dot));
}

}  // namespace varnholt

#endif  // VARNHOLT_BASE_PATH_TEXT_H_
