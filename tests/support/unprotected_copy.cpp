#include "tests/support/unprotected_copy.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "stores/paradox/header.h"
#include "stores/paradox/table_crypt.h"

namespace varnholt::paradox::testing {

namespace {

constexpr uint16_t kPlainUnknown3E = 0x0F1F;  // what unprotected data files hold there

std::vector<uint8_t> Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EngineError(path.string() + ": cannot be read");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Unscramble(std::vector<uint8_t>* bytes, const std::string& path, uint32_t checksum) {
  const Header h = ParseHeader(*bytes, path);
  const size_t bs = static_cast<size_t>(h.block_size);
  uint16_t block = 1;
  for (size_t at = h.header_size; at + bs <= bytes->size(); at += bs, ++block) {
    DecryptBlock(bytes->data() + at, bs, checksum, block);
  }
  if (GetLe32(bytes->data() + kHeaderEncryption1) == kEncryptionMarker) {
    PutLe32(bytes->data() + kHeaderEncryption2, 0);
    if (h.file_type != kFileTypePrimaryIndex) PutLe16(bytes->data() + kHeaderUnknown3E, kPlainUnknown3E);
  } else {
    PutLe32(bytes->data() + kHeaderEncryption1, 0);
  }
}

}  // namespace

std::string UnprotectedCopy(const std::string& db_path, const std::string& to) {
  namespace fs = std::filesystem;
  const fs::path db(db_path);
  const uint32_t checksum = ParseHeader(Bytes(db), db_path).password_checksum;
  std::string copy;
  for (const auto& e : fs::directory_iterator(db.parent_path())) {
    if (e.path().stem() != db.stem()) continue;
    std::vector<uint8_t> bytes = Bytes(e.path());
    const std::string ext = e.path().extension().string();
    const bool db_file = ext == ".DB" || ext == ".db";
    if (checksum != 0 && (db_file || ext == ".PX" || ext == ".px")) {
      Unscramble(&bytes, e.path().string(), checksum);
    }
    const fs::path out = fs::path(to) / e.path().filename();
    std::ofstream(out, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (db_file) copy = out.string();
  }
  return copy;
}

}  // namespace varnholt::paradox::testing
