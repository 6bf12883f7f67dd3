// The .MB file: memo and blob values too long for their record's leader. Read only.
#ifndef VARNHOLT_STORES_PARADOX_MEMO_FILE_H_
#define VARNHOLT_STORES_PARADOX_MEMO_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnholt::paradox {

inline constexpr int kBlobTailSize = 10;        // u32 offset|index, u32 length, u16 modification
inline constexpr uint8_t kMbSingleBlob = 2;     // block type: one blob
inline constexpr uint8_t kMbSubAllocated = 3;   // block type: up to 64 small blobs
inline constexpr uint8_t kMbSingleIndex = 0xFF; // low byte of the offset for a single-blob block
inline constexpr size_t kMbSingleDataOffset = 9;
inline constexpr size_t kMbEntryTable = 12;     // first of 64 five-byte entries
inline constexpr size_t kMbEntrySize = 5;
inline constexpr size_t kMbChunk = 16;
inline constexpr int kMbEntries = 64;

class MemoFile {
 public:
  // Reads the whole .MB; a missing file gives an empty MemoFile (reads then fail softly).
  static MemoFile Load(const std::string& path);

  // The blob that a record tail (offset|index, length) points at; nullopt when the file does not
  // hold it where the tail says.
  std::optional<std::vector<uint8_t>> Read(uint32_t offset_and_index, uint32_t length) const;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_MEMO_FILE_H_
