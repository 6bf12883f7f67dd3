// Page 0 of a Jet database file: which engine wrote it, and the database password it holds.
// Checked before anything else reads the file, so a file of the wrong kind gets a clear message
// instead of a guess.
#ifndef VARNHOLT_STORES_JET_JET_HEADER_H_
#define VARNHOLT_STORES_JET_JET_HEADER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace varnholt {

// Layout of page 0 (offsets from the start of the file).
inline constexpr size_t kJetPageTypeOffset = 0x00;  // 4 bytes: 00 01 00 00 (page type 0)
inline constexpr size_t kJetFormatIdOffset = 0x04;  // 16 bytes: "Standard Jet DB\0" or "...ACE..."
inline constexpr size_t kJetVersionOffset = 0x14;   // 1 byte: the engine version below
inline constexpr size_t kJetMaskedOffset = 0x18;    // start of the region stored RC4-masked
inline constexpr size_t kJet3MaskedLength = 126;
inline constexpr size_t kJet4MaskedLength = 128;
inline constexpr size_t kJetDatabaseKeyOffset = 0x3E;  // u32, inside the masked region; 0: pages plain
inline constexpr size_t kJetPasswordOffset = 0x42;  // inside the masked region
inline constexpr size_t kJet3PasswordLength = 20;   // code-page bytes
inline constexpr size_t kJet4PasswordLength = 40;   // 20 UCS-2LE characters, masked with the date
inline constexpr size_t kJetCreatedOffset = 0x72;   // double: creation date, seeds the Jet 4 mask
// Bytes of page 0 that the checks read.
inline constexpr size_t kJetHeaderReadLength = kJetMaskedOffset + kJet4MaskedLength;

inline constexpr size_t kJet3PageSize = 2048;
inline constexpr size_t kJet4PageSize = 4096;

enum class JetVersion {
  kJet3,    // Access 97
  kJet4,    // Access 2000-2003
  kAce,     // Access 2007 and later (.accdb); the Jet 4.0 provider does not open these
  kNotJet,  // not a Jet database at all
};

// The engine that wrote `header` (the first bytes of the file); kNotJet when shorter than
// kJetHeaderReadLength or not a Jet header.
JetVersion ReadJetVersion(std::span<const uint8_t> header);

// The raw version byte (for messages about versions we do not know); 0xFF when too short.
uint8_t JetVersionByte(std::span<const uint8_t> header);

// The database password stored in `header`, as UTF-8; "" when the database has none.
// REQUIRES: ReadJetVersion(header) is kJet3 or kJet4.
std::string DecodeJetPassword(std::span<const uint8_t> header);

// The key the data pages are encoded with; 0 when they are stored plain.
// REQUIRES: ReadJetVersion(header) is kJet3 or kJet4.
uint32_t JetDatabaseKey(std::span<const uint8_t> header);

// Page size for a version. REQUIRES: kJet3 or kJet4.
size_t JetPageSize(JetVersion version);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_JET_HEADER_H_
