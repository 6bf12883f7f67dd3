// The order of a keyed file's records: byte order of their stored key, except that a field kept in
// descending order (a secondary index may ask for that per field) compares the other way round.
// Stored values of every field type already sort as bytes do, so reversing a field's bytes'
// comparison reverses its values' order; ties go on to the next field.
#ifndef VARNHOLT_STORES_PARADOX_KEY_ORDER_H_
#define VARNHOLT_STORES_PARADOX_KEY_ORDER_H_

#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace varnholt::paradox {

class KeyOrder {
 public:
  struct Span {  // a descending field within the key
    size_t offset = 0;
    size_t size = 0;
  };

  KeyOrder() = default;
  // REQUIRES: spans ascend and do not overlap.
  explicit KeyOrder(std::vector<Span> descending) : descending_(std::move(descending)) {}

  bool plain() const { return descending_.empty(); }
  // <0, 0 or >0 as the key at `a` sorts before, with or after the key at `b` (`size` bytes each).
  int Compare(const void* a, const void* b, size_t size) const {
    if (descending_.empty()) return std::memcmp(a, b, size);
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    size_t at = 0;
    for (const Span& s : descending_) {
      if (s.offset >= size) break;
      if (const int c = std::memcmp(x + at, y + at, s.offset - at); c != 0) return c;
      const size_t n = s.offset + s.size <= size ? s.size : size - s.offset;
      if (const int c = std::memcmp(x + s.offset, y + s.offset, n); c != 0) return -c;
      at = s.offset + n;
    }
    return at < size ? std::memcmp(x + at, y + at, size - at) : 0;
  }

 private:
  std::vector<Span> descending_;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_KEY_ORDER_H_
