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

enum class JetVersion {
  kJet3,    // Access 97
  kJet4,    // Access 2000-2003
  kAce,     // Access 2007 and later (.accdb); the Jet 4.0 provider does not open these
  kNotJet,  // not a Jet database at all
};

// The engine that wrote `header` (the first bytes of the file); kNotJet when shorter than
// jet_format::kJetHeaderReadLength or not a Jet header.
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
