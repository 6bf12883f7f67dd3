// A block of a data or index file: a 6-byte header (next, previous, offset of the last record),
// then records packed from offset 6. Blocks are numbered from 1; block n starts at
// headerSize + (n - 1) * blockSize.
#ifndef VARNHOLT_STORES_PARADOX_BLOCK_H_
#define VARNHOLT_STORES_PARADOX_BLOCK_H_

#include <cstddef>
#include <cstdint>

#include "base/byte_coding.h"

namespace varnholt::paradox {

inline constexpr size_t kBlockNext = 0;          // u16 next block in the chain, 0 = last
inline constexpr size_t kBlockPrev = 2;          // u16 previous block, 0 = first
inline constexpr size_t kBlockLastOffset = 4;    // s16 (records - 1) * recordSize
inline constexpr size_t kBlockHeaderSize = 6;
inline constexpr size_t kMaxBlocks = 0xFFFF;      // block numbers are 16-bit

// Index entries end in three modified big-endian words: block, count, and an always-zero word.
inline constexpr int kIndexEntryTrailer = 6;

inline size_t BlockOffset(size_t header_size, size_t block_size, uint16_t block) {
  return header_size + (static_cast<size_t>(block) - 1) * block_size;
}

inline int BlockCapacity(int block_size, int record_size) {
  return (block_size - static_cast<int>(kBlockHeaderSize)) / record_size;
}

// View of one block's bytes.
class BlockView {
 public:
  BlockView(uint8_t* bytes, int record_size) : b_(bytes), record_size_(record_size) {}

  uint16_t next() const { return GetLe16(b_ + kBlockNext); }
  uint16_t prev() const { return GetLe16(b_ + kBlockPrev); }
  int16_t last_offset() const { return static_cast<int16_t>(GetLe16(b_ + kBlockLastOffset)); }
  // Records in the block; negative when last_offset is not a whole number of records.
  int count() const {
    const int off = last_offset();
    if (off < -record_size_ || (off + record_size_) % record_size_ != 0) return -1;
    return off / record_size_ + 1;
  }

  void set_next(uint16_t v) { Put(kBlockNext, v); }
  void set_prev(uint16_t v) { Put(kBlockPrev, v); }
  void set_count(int records) {
    Put(kBlockLastOffset, static_cast<uint16_t>((records - 1) * record_size_));
  }

  uint8_t* record(int slot) { return b_ + kBlockHeaderSize + static_cast<size_t>(slot) * record_size_; }
  const uint8_t* record(int slot) const {
    return b_ + kBlockHeaderSize + static_cast<size_t>(slot) * record_size_;
  }
  uint8_t* data() { return b_; }

 private:
  void Put(size_t at, uint16_t v) { PutLe16(b_ + at, v); }

  uint8_t* b_;
  int record_size_;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_BLOCK_H_
