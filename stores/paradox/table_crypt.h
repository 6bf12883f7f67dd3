// Password-protected tables. The data blocks of a protected .DB (and of its .PX when that carries
// the code too) are scrambled 256 bytes at a time with the low half of the password checksum
// stored in the header; the header itself stays plain. Knowing the checksum is enough to read the
// blocks, so the password is checked against the checksum before anything is read or written.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_CRYPT_H_
#define VARNHOLT_STORES_PARADOX_TABLE_CRYPT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnholt::paradox {

// The checksum a table protected by `password` stores in its header (0 for an empty password:
// no protection). The password's bytes are taken as they are: case matters.
uint32_t PasswordChecksum(std::string_view password);

// The checksum the table at db_path stores: 0 when it is not password-protected. Reads only the
// header; throws EngineError naming the file when it cannot be read or is no Paradox table.
uint32_t StoredPasswordChecksum(const std::string& db_path);

// Unscrambles (Decrypt) or scrambles (Encrypt) `size` bytes of block `block_number` (1-based) in
// place. `checksum` is the table's stored checksum. REQUIRES: size is a multiple of 256.
void DecryptBlock(uint8_t* data, size_t size, uint32_t checksum, uint16_t block_number);
void EncryptBlock(uint8_t* data, size_t size, uint32_t checksum, uint16_t block_number);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_CRYPT_H_
