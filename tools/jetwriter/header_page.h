// Page 0 of a Jet 4 database: format name, version, code page, creation date and the database
// password. Bytes 0x18..0x98 are stored RC4-masked with a fixed key; inside them the password is
// further masked with the creation date, so the date and the password are written together.
#ifndef VARNHOLT_TOOLS_JETWRITER_HEADER_PAGE_H_
#define VARNHOLT_TOOLS_JETWRITER_HEADER_PAGE_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnholt::jet {

// RC4 applied in place (encrypting and decrypting are the same).
void Rc4(std::span<const uint8_t> key, std::span<uint8_t> data);

// A whole page 0. REQUIRES: password.size() <= 20 UTF-16 units; created is finite.
std::vector<uint8_t> BuildHeaderPage(std::u16string_view password, double created);

// The password of a Jet 4 page 0 (at least kHeaderMinimumSize bytes); empty when none.
// Throws std::invalid_argument when the bytes are too few or not a Jet 4 header.
std::u16string DecodeHeaderPassword(std::span<const uint8_t> header);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_HEADER_PAGE_H_
