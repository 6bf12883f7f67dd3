// make_fuzz_seeds <folder>: writes seed inputs made by our own writers into <folder>/<target>/,
// for the fuzz targets whose inputs are binary files. bench/fuzz runs it before fuzzing; its
// output for a fixed creation date is what tests/fuzz/corpus holds.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "stores/source/jet_header.h"
#include "tools/jetwriter/jet_writer.h"

namespace fs = std::filesystem;

namespace {

// Bytes of page 0 kept as a seed: the header checks read fewer.
constexpr size_t kJetSeedLength = 256;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteSeed(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + (folder / name).string());
}

std::vector<uint8_t> JetHeader(const fs::path& scratch, const std::string& password) {
  using namespace varnholt::jet;
  const fs::path path = scratch / "seed.mdb";
  fs::remove(path);
  WriteOptions options;
  options.password = password;
  options.created = DateTime::FromCivil(2024, 3, 1, 9, 30);
  TableData table{"Learner_info", {{"LearnerID", ColumnType::kText, 20}}, {{std::string("4711")}}};
  WriteDatabase(path.string(), {table}, options);
  std::vector<uint8_t> bytes = ReadFile(path);
  bytes.resize(kJetSeedLength);
  return bytes;
}

void JetSeeds(const fs::path& out, const fs::path& scratch) {
  const fs::path folder = out / "fuzz_jet_header";
  WriteSeed(folder, "jet4-no-password", JetHeader(scratch, ""));
  WriteSeed(folder, "jet4-password", JetHeader(scratch, "password"));
  WriteSeed(folder, "jet4-password-20", JetHeader(scratch, "abcdefghijklmnopqrst"));
  WriteSeed(folder, "jet4-password-unicode", JetHeader(scratch, "Grüße€😀"));
  // The same bytes claiming other engines: the Jet 3 decoder and the ACE refusal get a start.
  std::vector<uint8_t> jet3 = JetHeader(scratch, "password");
  jet3[varnholt::kJetVersionOffset] = 0;
  WriteSeed(folder, "jet3-version", jet3);
  std::vector<uint8_t> ace = JetHeader(scratch, "");
  const char kAce[] = "Standard ACE DB";
  std::copy(kAce, kAce + sizeof kAce, ace.begin() + varnholt::kJetFormatIdOffset);
  WriteSeed(folder, "ace-format-id", ace);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_fuzz_seeds <folder>\n";
    return 2;
  }
  try {
    const fs::path out = argv[1];
    const fs::path scratch = fs::temp_directory_path() / ("make_fuzz_seeds." + std::to_string(::getpid()));
    fs::create_directories(scratch);
    JetSeeds(out, scratch);
    fs::remove_all(scratch);
  } catch (const std::exception& e) {
    std::cerr << "make_fuzz_seeds: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
