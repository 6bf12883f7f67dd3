// Fixed-width numbers to and from bytes: the one place that knows byte order.
//
// Little-endian is how Jet and Paradox store their counters, offsets and pointers. Big-endian is
// the base of the sortable form, which Paradox uses for the numbers in its records and index keys:
// big-endian with the sign bit inverted (doubles: every bit inverted when negative), so that
// comparing the stored bytes one by one orders them as the values are ordered, and so that the
// all-zero bytes a blank field holds never stand for a number that fits the field's range.
//
// Every function works on a pointer to the first byte and touches exactly the bytes its width
// names; REQUIRES: that many bytes are readable (Get) or writable (Put) there. The pointer may be
// to uint8_t, char or std::byte, so file images held as strings need no casts.
#ifndef VARNHOLT_BASE_BYTE_CODING_H_
#define VARNHOLT_BASE_BYTE_CODING_H_

#include <bit>
#include <cstddef>
#include <cstdint>

namespace varnholt {

template <typename Byte>
concept ByteType = sizeof(Byte) == 1;

namespace byte_coding_internal {

template <int kBytes, ByteType Byte>
constexpr uint64_t GetLe(const Byte* p) {
  uint64_t v = 0;
  for (int i = kBytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}

template <int kBytes, ByteType Byte>
constexpr void PutLe(Byte* p, uint64_t v) {
  for (int i = 0; i < kBytes; ++i) p[i] = static_cast<Byte>(static_cast<uint8_t>(v >> (8 * i)));
}

template <ByteType Byte>
constexpr uint64_t GetBe(const Byte* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}

template <ByteType Byte>
constexpr void PutBe(Byte* p, int bytes, uint64_t v) {
  for (int i = 0; i < bytes; ++i) {
    p[i] = static_cast<Byte>(static_cast<uint8_t>(v >> (8 * (bytes - 1 - i))));
  }
}

inline constexpr uint64_t kSignBit64 = uint64_t{1} << 63;

}  // namespace byte_coding_internal

// Little-endian.
template <ByteType Byte>
constexpr uint16_t GetLe16(const Byte* p) {
  return static_cast<uint16_t>(byte_coding_internal::GetLe<2>(p));
}
template <ByteType Byte>
constexpr uint32_t GetLe32(const Byte* p) {
  return static_cast<uint32_t>(byte_coding_internal::GetLe<4>(p));
}
template <ByteType Byte>
constexpr uint64_t GetLe64(const Byte* p) {
  return byte_coding_internal::GetLe<8>(p);
}
template <ByteType Byte>
constexpr void PutLe16(Byte* p, uint16_t v) {
  byte_coding_internal::PutLe<2>(p, v);
}
template <ByteType Byte>
constexpr void PutLe32(Byte* p, uint32_t v) {
  byte_coding_internal::PutLe<4>(p, v);
}
template <ByteType Byte>
constexpr void PutLe64(Byte* p, uint64_t v) {
  byte_coding_internal::PutLe<8>(p, v);
}
// An IEEE double as its eight bits, least significant byte first (Jet's numbers and dates).
template <ByteType Byte>
constexpr double GetLeDouble(const Byte* p) {
  return std::bit_cast<double>(GetLe64(p));
}
template <ByteType Byte>
constexpr void PutLeDouble(Byte* p, double v) {
  PutLe64(p, std::bit_cast<uint64_t>(v));
}

// Big-endian.
template <ByteType Byte>
constexpr uint16_t GetBe16(const Byte* p) {
  return static_cast<uint16_t>(byte_coding_internal::GetBe(p, 2));
}
template <ByteType Byte>
constexpr uint32_t GetBe32(const Byte* p) {
  return static_cast<uint32_t>(byte_coding_internal::GetBe(p, 4));
}
template <ByteType Byte>
constexpr uint64_t GetBe64(const Byte* p) {
  return byte_coding_internal::GetBe(p, 8);
}
template <ByteType Byte>
constexpr void PutBe16(Byte* p, uint16_t v) {
  byte_coding_internal::PutBe(p, 2, v);
}
template <ByteType Byte>
constexpr void PutBe32(Byte* p, uint32_t v) {
  byte_coding_internal::PutBe(p, 4, v);
}
template <ByteType Byte>
constexpr void PutBe64(Byte* p, uint64_t v) {
  byte_coding_internal::PutBe(p, 8, v);
}

// Sortable integers: `bytes` (1..8) big-endian bytes of the two's complement value with the top
// bit flipped. The most negative value of the width is all zeros (a blank field), so fields keep
// their range one short of it. REQUIRES: `value` fits in `bytes` bytes.
template <ByteType Byte>
constexpr void PutSortableInt(Byte* out, int bytes, int64_t value) {
  byte_coding_internal::PutBe(out, bytes, static_cast<uint64_t>(value));
  out[0] = static_cast<Byte>(static_cast<uint8_t>(out[0]) ^ 0x80);
}
template <ByteType Byte>
constexpr int64_t GetSortableInt(const Byte* in, int bytes) {
  const uint64_t v = byte_coding_internal::GetBe(in, bytes) ^ (uint64_t{0x80} << (8 * (bytes - 1)));
  const int shift = 64 - 8 * bytes;
  return static_cast<int64_t>(v << shift) >> shift;  // sign-extend
}

// Sortable doubles: eight big-endian bytes, the sign bit set for a positive value and every bit
// inverted for a negative one. So -0.0 (7F FF ..) sorts just below +0.0 (80 00 ..), and a NaN
// sorts beyond the infinity of its sign; all-zero bytes decode as a NaN, never as a number.
template <ByteType Byte>
constexpr void PutSortableDouble(Byte* out, double value) {
  using byte_coding_internal::kSignBit64;
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  PutBe64(out, (bits & kSignBit64) ? ~bits : bits | kSignBit64);
}
template <ByteType Byte>
constexpr double GetSortableDouble(const Byte* in) {
  using byte_coding_internal::kSignBit64;
  const uint64_t bits = GetBe64(in);
  return std::bit_cast<double>((bits & kSignBit64) ? bits & ~kSignBit64 : ~bits);
}

}  // namespace varnholt

#endif  // VARNHOLT_BASE_BYTE_CODING_H_
