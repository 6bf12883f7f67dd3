#include "tools/jetwriter/long_value.h"

#include <stdexcept>
#include <vector>

namespace varnholt::jet {

using namespace jet_format;

namespace {

LongValueRef MakeRef(uint32_t length_and_kind, uint32_t pointer) {
  LongValueRef ref{};
  PutLe32(&ref[0], length_and_kind);
  PutLe32(&ref[4], pointer);
  return ref;
}

}  // namespace

LongValueRef InlineLongValueRef(size_t length) {
  return MakeRef(static_cast<uint32_t>(length) | kLongValueInline, 0);
}

LongValueWriter::LongValueWriter(PageFile& file) : rows_(file, 0, /*lval=*/true) {}

LongValueRef LongValueWriter::Store(std::span<const uint8_t> data) {
  if (data.size() > kLongValueMaxLength) throw std::invalid_argument("long value too long");
  const auto length = static_cast<uint32_t>(data.size());
  if (data.size() <= kMaxRowOnPage) {
    return MakeRef(length | kLongValueSingle, rows_.Add(data));
  }
  // A chain: each row starts with the pointer to the next one, so the rows are stored last first.
  constexpr size_t kChunk = kMaxRowOnPage - kLongValueLinkSize;
  const size_t chunks = (data.size() + kChunk - 1) / kChunk;
  uint32_t next = 0;
  std::vector<uint8_t> row;
  for (size_t k = chunks; k-- > 0;) {
    const size_t begin = k * kChunk;
    const size_t end = std::min(data.size(), begin + kChunk);
    row.assign(kLongValueLinkSize, 0);
    PutLe32(row.data(), next);
    row.insert(row.end(), data.begin() + begin, data.begin() + end);
    next = rows_.Add(row);
  }
  return MakeRef(length, next);
}

}  // namespace varnholt::jet
