// Paths are UTF-8 text inside the program. std::filesystem reads a plain std::string in the ANSI
// code page on Windows (a folder like "D:\Skole\Ærø 2026" would be lost), so path text goes through
// these two on its way into and out of std::filesystem, on every platform alike.
#ifndef VARNHOLT_BASE_UTF8_PATH_H_
#define VARNHOLT_BASE_UTF8_PATH_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace varnholt {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace varnholt

#endif  // VARNHOLT_BASE_UTF8_PATH_H_
