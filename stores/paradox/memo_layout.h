// Layout of memo and blob values: the tail a record keeps after a memo field's leader, and the
// .MB file's blocks the tail points into. Numbers are little-endian.
#ifndef VARNHOLT_STORES_PARADOX_MEMO_LAYOUT_H_
#define VARNHOLT_STORES_PARADOX_MEMO_LAYOUT_H_

#include <cstddef>
#include <cstdint>

namespace varnholt::paradox {

// The record's tail, the last bytes of a memo or blob field.
inline constexpr int kBlobTailSize = 10;
inline constexpr size_t kBlobTailLocation = 0;  // u32 .MB block offset | index, 0 = all in the leader
inline constexpr size_t kBlobTailLength = 4;    // u32 bytes of the value
inline constexpr size_t kBlobTailModified = 8;  // u16 modification number

// The location's low byte picks the blob within its block; the rest is the block's file offset.
inline constexpr uint32_t kMbIndexMask = 0xFF;
inline constexpr uint8_t kMbSingleIndex = 0xFF;  // the index of a single-blob block's blob

// A block starts with its type.
inline constexpr size_t kMbBlockType = 0;
inline constexpr uint8_t kMbSingleBlob = 2;     // one blob
inline constexpr uint8_t kMbSubAllocated = 3;   // up to kMbEntries small blobs
inline constexpr size_t kMbSingleDataOffset = 9;  // a single blob's bytes start here

// A sub-allocated block's entry table: per blob, the chunk it starts at and its chunks (0: deleted).
inline constexpr size_t kMbEntryTable = 12;
inline constexpr size_t kMbEntrySize = 5;
inline constexpr size_t kMbEntryFirstChunk = 0;  // u8 in kMbChunk units from the block's start
inline constexpr size_t kMbEntryChunks = 1;      // u8 chunks the blob may fill
inline constexpr int kMbEntries = 64;
inline constexpr size_t kMbChunk = 16;

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_MEMO_LAYOUT_H_
