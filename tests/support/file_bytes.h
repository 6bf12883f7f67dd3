// A whole file's bytes read and written by tests, to look at a table's bytes or damage them.
#ifndef VARNHOLT_TESTS_SUPPORT_FILE_BYTES_H_
#define VARNHOLT_TESTS_SUPPORT_FILE_BYTES_H_

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace varnholt::testing {

// The file's bytes; empty when it cannot be read.
inline std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file's bytes with `bytes`.
inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The names of the files that differ between `a` and `b` (name -> bytes), each after a space, for
// messages; "" when none.
inline std::string Differing(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
  std::string names;
  for (const auto& [name, bytes] : a) {
    const auto other = b.find(name);
    if (other == b.end() || other->second != bytes) names += " " + name;
  }
  for (const auto& [name, bytes] : b) {
    if (a.find(name) == a.end()) names += " " + name;
  }
  return names;
}

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_SUPPORT_FILE_BYTES_H_
