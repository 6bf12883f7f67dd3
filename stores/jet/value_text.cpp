#include "stores/jet/value_text.h"

#include <algorithm>

#include "stores/jet/jet_format.h"

namespace varnholt {

namespace {

constexpr uint8_t kNumericNegative = 0x80;
constexpr int kNumericWords = 4;
constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(uint8_t byte, std::string* out) {
  out->push_back(kHexDigits[byte >> 4]);
  out->push_back(kHexDigits[byte & 0x0F]);
}

}  // namespace

void AppendGuidText(const uint8_t* data, std::string* out) {
  // Byte order of the text: the first three groups little-endian, the rest as stored.
  constexpr int kOrder[kJetGuidSize] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  out->push_back('{');
  for (size_t i = 0; i < kJetGuidSize; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out->push_back('-');
    AppendHex(data[kOrder[i]], out);
  }
  out->push_back('}');
}

void AppendNumericText(const uint8_t* data, unsigned scale, std::string* out) {
  uint32_t words[kNumericWords];  // most significant first
  for (int i = 0; i < kNumericWords; ++i) words[i] = GetLe32(data + 1 + 4 * i);
  std::string digits;  // least significant first
  for (;;) {
    uint64_t remainder = 0;
    bool zero = true;
    for (uint32_t& word : words) {
      const uint64_t value = (remainder << 32) | word;
      word = static_cast<uint32_t>(value / 10);
      remainder = value % 10;
      zero = zero && word == 0;
    }
    digits.push_back(static_cast<char>('0' + remainder));
    if (zero) break;
  }
  if (digits.size() < scale + 1) digits.append(scale + 1 - digits.size(), '0');
  if (data[0] & kNumericNegative) out->push_back('-');
  for (size_t i = digits.size(); i-- > 0;) {
    out->push_back(digits[i]);
    if (i == scale && scale != 0) out->push_back('.');
  }
}

}  // namespace varnholt
