#include "tools/sample_school/protect_table.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/utf8_path.h"
#include "stores/paradox/header.h"
#include "stores/paradox/table_crypt.h"
#include "stores/paradox/table_family.h"

namespace varnholt {

namespace {

using namespace paradox;

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) throw EngineError(path + ": cannot be read");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw EngineError(path + ": cannot be written");
}

// Scrambles every whole block after the header.
void ScrambleBlocks(std::vector<uint8_t>* bytes, const Header& h, uint32_t checksum) {
  const size_t bs = static_cast<size_t>(h.block_size);
  uint16_t block = 1;
  for (size_t at = h.header_size; at + bs <= bytes->size(); at += bs, ++block) {
    EncryptBlock(bytes->data() + at, bs, checksum, block);
  }
}

}  // namespace

void ProtectTable(const std::string& db_path, const std::string& password) {
  const uint32_t checksum = PasswordChecksum(password);
  std::vector<uint8_t> db = ReadBytes(db_path);
  const Header h = ParseHeader(db, db_path);
  if (h.password_checksum != 0) throw EngineError(db_path + ": already password-protected");
  ScrambleBlocks(&db, h, checksum);
  if (db.size() >= kHeaderExtendedEnd && GetLe32(db.data() + kHeaderEncryption1) == kEncryptionMarker) {
    PutLe32(db.data() + kHeaderEncryption2, checksum);
    // Protected tables carry zeros where others carry this constant.
    PutLe16(db.data() + kHeaderUnknown3E, 0);
  } else {
    PutLe32(db.data() + kHeaderEncryption1, checksum);
  }
  const std::string px_path = SiblingPath(db_path, "PX");
  if (std::filesystem::exists(PathFromUtf8(px_path))) {
    std::vector<uint8_t> px = ReadBytes(px_path);
    const Header ph = ParseHeader(px, px_path);
    ScrambleBlocks(&px, ph, checksum);
    PutLe32(px.data() + kHeaderEncryption1, checksum);
    WriteBytes(px_path, px);
  }
  WriteBytes(db_path, db);
}

}  // namespace varnholt
