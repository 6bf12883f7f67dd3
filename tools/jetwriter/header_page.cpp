#include "tools/jetwriter/header_page.h"

#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "stores/jet/jet_format.h"
#include "tools/jetwriter/text_codec.h"

namespace varnholt::jet {

namespace {

using namespace jet_format;

// The password bytes are XORed with the whole-day part of the creation date, as a 32-bit value.
std::array<uint8_t, 4> PasswordMask(double created) {
  std::array<uint8_t, 4> mask;
  PutLe32(mask.data(), static_cast<uint32_t>(static_cast<int32_t>(std::trunc(created))));
  return mask;
}

void MaskHeader(std::span<uint8_t> page) {
  Rc4(kJetMaskKey, page.subspan(kJetMaskedOffset, kJet4MaskedLength));
}

}  // namespace

void Rc4(std::span<const uint8_t> key, std::span<uint8_t> data) {
  std::array<uint8_t, 256> s;
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + s[i] + key[i % key.size()]);
    std::swap(s[i], s[j]);
  }
  uint8_t a = 0;
  uint8_t b = 0;
  for (uint8_t& byte : data) {
    a = static_cast<uint8_t>(a + 1);
    b = static_cast<uint8_t>(b + s[a]);
    std::swap(s[a], s[b]);
    byte ^= s[static_cast<uint8_t>(s[a] + s[b])];
  }
}

std::vector<uint8_t> BuildHeaderPage(std::u16string_view password, double created) {
  std::vector<uint8_t> page(kPageSize, 0);
  page[0] = kPageHeader;
  page[1] = 0x01;
  std::memcpy(&page[kJetFormatIdOffset], kJetFormatId, sizeof kJetFormatId);
  page[kJetVersionOffset] = kVersionJet4;
  std::memcpy(&page[kHeaderConstantBlock], kHeaderConstantBlockBytes,
              sizeof kHeaderConstantBlockBytes);
  PutLe16(&page[kHeaderCodePage], kCodePageWestern);
  PutLe32(&page[kJetDatabaseKeyOffset], 0);
  PutLe32(&page[kHeaderSortOrder], kSortOrderGeneral);
  PutLeDouble(&page[kJetCreatedOffset], created);

  // No password is stored as the mask itself (zeros XOR mask), as Access does.
  const std::vector<uint8_t> text = EncodeUcs2(password);
  const std::array<uint8_t, 4> mask = PasswordMask(created);
  for (size_t i = 0; i < kJet4PasswordLength; ++i) {
    const uint8_t plain = i < text.size() ? text[i] : 0;
    page[kJetPasswordOffset + i] = plain ^ mask[i % 4];
  }
  std::memcpy(&page[kHeaderTrailer], kHeaderTrailerBytes, sizeof kHeaderTrailerBytes);
  MaskHeader(page);
  return page;
}

std::u16string DecodeHeaderPassword(std::span<const uint8_t> header) {
  if (header.size() < kHeaderMinimumSize) {
    throw std::invalid_argument("not a Jet database header: too short");
  }
  if (header[0] != kPageHeader ||
      std::memcmp(&header[kJetFormatIdOffset], kJetFormatId, sizeof kJetFormatId) != 0) {
    throw std::invalid_argument("not a Jet database header");
  }
  if (header[kJetVersionOffset] != kVersionJet4) {
    throw std::invalid_argument("not a Jet 4 database header");
  }
  std::vector<uint8_t> plain(header.begin(), header.begin() + kHeaderMinimumSize);
  MaskHeader(plain);
  const std::array<uint8_t, 4> mask = PasswordMask(GetLeDouble(&plain[kJetCreatedOffset]));
  std::vector<uint8_t> bytes(kJet4PasswordLength);
  bool any = false;
  for (size_t i = 0; i < kJet4PasswordLength; ++i) {
    bytes[i] = plain[kJetPasswordOffset + i] ^ mask[i % 4];
    any = any || bytes[i] != 0;
  }
  if (!any) return {};
  std::u16string text = DecodeText(bytes);
  const size_t end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
  return text;
}

}  // namespace varnholt::jet
