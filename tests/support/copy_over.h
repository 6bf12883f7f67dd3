// Writes a copy of one file over another in place, truncating it, as another program saving it
// does. std::filesystem::copy_file with overwrite_existing does the same on Linux, but MinGW's
// libstdc++ refuses it on Windows ("File exists"): stat there has no inode numbers, so every pair
// of files looks like one file.
#ifndef VARNHOLT_TESTS_SUPPORT_COPY_OVER_H_
#define VARNHOLT_TESTS_SUPPORT_COPY_OVER_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace varnholt::testing {

inline void CopyOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::ifstream in(from, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!in || !out) throw std::runtime_error("cannot copy " + from.string() + " over " + to.string());
}

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_SUPPORT_COPY_OVER_H_
