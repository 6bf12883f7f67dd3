#include "stores/jet/jet_header.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/byte_coding.h"
#include "base/utf8.h"
#include "stores/jet/jet_format.h"

namespace varnholt {

namespace {

using namespace jet_format;

// The RC4 keystream that masks the header region.
std::array<uint8_t, kJet4MaskedLength> HeaderMask() {
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + kJetMaskKey[i % 4]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  std::array<uint8_t, kJet4MaskedLength> stream{};
  int i = 0, j = 0;
  for (uint8_t& out : stream) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    out = s[(s[i] + s[j]) & 0xFF];
  }
  return stream;
}

bool HasFormatId(std::span<const uint8_t> header, const char* id) {
  size_t length = std::strlen(id);
  return std::memcmp(header.data() + kJetFormatIdOffset, id, length) == 0 &&
         header[kJetFormatIdOffset + length] == 0;
}


}  // namespace

uint8_t JetVersionByte(std::span<const uint8_t> header) {
  return header.size() > kJetVersionOffset ? header[kJetVersionOffset] : 0xFF;
}

JetVersion ReadJetVersion(std::span<const uint8_t> header) {
  if (header.size() < kJetHeaderReadLength) return JetVersion::kNotJet;
  if (std::memcmp(header.data() + kJetPageTypeOffset, kJetPageTypeBytes, sizeof kJetPageTypeBytes) != 0) {
    return JetVersion::kNotJet;
  }
  if (HasFormatId(header, kAceFormatId)) return JetVersion::kAce;
  if (!HasFormatId(header, kJetFormatId)) return JetVersion::kNotJet;
  switch (header[kJetVersionOffset]) {
    case kVersionJet3:
      return JetVersion::kJet3;
    case kVersionJet4:
      return JetVersion::kJet4;
    default:
      // Access 2007 and later also write "Standard Jet DB" with a version byte of 2 and more.
      return JetVersion::kAce;
  }
}

size_t JetPageSize(JetVersion version) { return version == JetVersion::kJet3 ? kJet3Format.page_size : kJet4Format.page_size; }

uint32_t JetDatabaseKey(std::span<const uint8_t> header) {
  const auto mask = HeaderMask();
  uint8_t key[4];
  for (size_t i = 0; i < 4; ++i) {
    const size_t at = kJetDatabaseKeyOffset + i;
    key[i] = header[at] ^ mask[at - kJetMaskedOffset];
  }
  return GetLe32(key);
}

std::string DecodeJetPassword(std::span<const uint8_t> header) {
  const bool jet3 = ReadJetVersion(header) == JetVersion::kJet3;
  std::vector<uint8_t> plain(header.begin(), header.begin() + kJetHeaderReadLength);
  const auto mask = HeaderMask();
  const size_t masked = jet3 ? kJet3MaskedLength : kJet4MaskedLength;
  for (size_t i = 0; i < masked; ++i) plain[kJetMaskedOffset + i] ^= mask[i];

  std::string password;
  if (jet3) {
    // One byte per character in the database's code page; Western files are Latin-1 compatible.
    for (size_t i = 0; i < kJet3PasswordLength; ++i) {
      uint8_t b = plain[kJetPasswordOffset + i];
      if (b == 0) break;
      AppendUtf8(b, &password);
    }
    return password;
  }

  // Jet 4 masks the password once more with the whole days of the creation date.
  const double created = GetLeDouble(plain.data() + kJetCreatedOffset);
  int32_t days = std::isfinite(created) && std::fabs(created) < 2147483647.0 ? static_cast<int32_t>(created) : 0;
  uint32_t seed = static_cast<uint32_t>(days);
  uint8_t date_mask[4];
  PutLe32(date_mask, seed);
  uint8_t bytes[kJet4PasswordLength];
  for (size_t i = 0; i < kJet4PasswordLength; ++i) bytes[i] = plain[kJetPasswordOffset + i] ^ date_mask[i % 4];

  size_t i = 0;
  bool compressed = bytes[0] == 0xFF && bytes[1] == 0xFE;
  if (compressed) {
    for (i = 2; i < kJet4PasswordLength && bytes[i] != 0; ++i) AppendUtf8(bytes[i], &password);
    return password;
  }
  for (i = 0; i + 1 < kJet4PasswordLength; i += 2) {
    uint32_t unit = GetLe16(bytes + i);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < kJet4PasswordLength) {
      uint32_t low = GetLe16(bytes + i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), &password);
        i += 2;
        continue;
      }
    }
    AppendUtf8(unit, &password);
  }
  return password;
}

}  // namespace varnholt
