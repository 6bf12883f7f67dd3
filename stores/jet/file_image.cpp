#include "stores/jet/file_image.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

namespace varnholt {

namespace {

namespace fs = std::filesystem;

// Long enough for a writer to finish a page or two, short enough not to be noticed.
constexpr auto kPauseBetweenCopies = std::chrono::milliseconds(150);

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// The file's bytes, or nullopt with `reason` set when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWhole(const std::string& path, std::string* reason) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *reason = std::strerror(errno);
    return std::nullopt;
  }
  // Straight into the vector's storage: the file can be tens of megabytes and is copied once per
  // table a command opens.
  std::vector<uint8_t> bytes;
  std::error_code error;
  const uintmax_t expected = fs::file_size(path, error);
  size_t length = 0;
  size_t chunk = error ? size_t{1} << 16 : static_cast<size_t>(expected) + 1;  // +1 sees growth
  for (;;) {
    bytes.resize(length + chunk);
    in.read(reinterpret_cast<char*>(bytes.data() + length), static_cast<std::streamsize>(chunk));
    length += static_cast<size_t>(in.gcount());
    if (!in) break;
    chunk = size_t{1} << 16;
  }
  bytes.resize(length);
  if (in.bad()) {
    *reason = std::strerror(errno);
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

FileBeingWritten::FileBeingWritten(const std::string& path)
    : StoreError("Cannot read " + Quoted(path) +
                 ": the school-administration program is writing the database; try again when it is idle") {}

std::optional<FileVersion> VersionOf(const std::string& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  if (error) return std::nullopt;
  const fs::file_time_type changed = fs::last_write_time(path, error);
  if (error) return std::nullopt;
  return FileVersion{static_cast<uint64_t>(size), static_cast<int64_t>(changed.time_since_epoch().count())};
}

FileImage CopyFileImage(const std::string& path) {
  const std::optional<FileVersion> before = VersionOf(path);
  std::string reason;
  std::optional<std::vector<uint8_t>> bytes = ReadWhole(path, &reason);
  if (!bytes) throw StoreError("Cannot read " + Quoted(path) + ": " + reason);
  const std::optional<FileVersion> after = VersionOf(path);
  if (!before || !after || !(*before == *after) || after->size != bytes->size()) throw FileBeingWritten(path);
  return FileImage{std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)), *after};
}

void PauseBeforeCopyingAgain() { std::this_thread::sleep_for(kPauseBetweenCopies); }

}  // namespace varnholt
