#include "stores/jet/jet_text.h"

#include <cstring>

#include "base/byte_coding.h"
#include "base/utf8.h"
#include "stores/jet/jet_format.h"

namespace varnholt {

namespace {

using jet_format::kCompressedText;

// True when no byte is zero or above 0x7F; eight bytes at a time, as texts are checked cell by cell.
bool IsPlainAscii(const uint8_t* data, size_t size) {
  constexpr uint64_t kLowBits = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= size; i += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    // A high bit set, or a zero byte (the borrow of subtracting 1 reaches its high bit).
    if ((word & kHighBits) != 0 || ((word - kLowBits) & ~word & kHighBits) != 0) return false;
  }
  for (; i < size; ++i) {
    if (data[i] == 0 || data[i] >= 0x80) return false;
  }
  return true;
}

// Code page 1252 from 0x80 to 0x9F; 0 marks the bytes it leaves undefined. The rest is Latin-1.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

void AppendJet4Text(const uint8_t* data, size_t size, std::vector<uint16_t>* units, std::string* out) {
  const bool compressed = size >= 2 && data[0] == kCompressedText[0] && data[1] == kCompressedText[1];
  if (compressed && IsPlainAscii(data + 2, size - 2)) {
    // Compressed ASCII without a switch to two-byte units, as most texts are: the bytes are the text.
    out->append(reinterpret_cast<const char*>(data + 2), size - 2);
    return;
  }
  units->clear();
  if (compressed) {
    bool one_byte = true;
    size_t i = 2;
    while (i < size) {
      if (data[i] == 0) {
        one_byte = !one_byte;
        ++i;
      } else if (one_byte) {
        units->push_back(data[i++]);
      } else if (i + 1 < size) {
        units->push_back(GetLe16(data + i));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < size; i += 2) units->push_back(GetLe16(data + i));
  }
  const std::vector<uint16_t>& u = *units;
  for (size_t i = 0; i < u.size(); ++i) {
    uint32_t unit = u[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (u[i + 1] - 0xDC00), out);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(0xFFFD, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
}

void AppendJet3Text(const uint8_t* data, size_t size, std::string* out) {
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = data[i];
    if (byte < 0x80 || byte >= 0xA0) {
      AppendUtf8(byte, out);
    } else {
      const uint16_t mapped = kCp1252High[byte - 0x80];
      if (mapped == 0) {
        out->push_back('?');
      } else {
        AppendUtf8(mapped, out);
      }
    }
  }
}

}  // namespace varnholt
