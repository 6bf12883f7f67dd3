#include "stores/paradox/memo_file.h"

#include "base/engine_error.h"
#include "stores/paradox/engine_files.h"

namespace varnholt::paradox {

MemoFile MemoFile::Load(const std::string& path) {
  MemoFile memo;
  // A memo file that cannot be read leaves every memo of the table unreadable, as a missing one.
  try {
    if (FileExists(path)) memo.bytes_ = OsFile::Open(path, false).ReadAll();
  } catch (const EngineError&) {
  }
  return memo;
}

std::optional<std::vector<uint8_t>> MemoFile::Read(uint32_t offset_and_index,
                                                   uint32_t length) const {
  const size_t block = offset_and_index & ~kMbIndexMask;
  const uint8_t index = offset_and_index & kMbIndexMask;
  if (block == 0 || block + kMbEntryTable > bytes_.size()) return std::nullopt;
  const uint8_t* b = bytes_.data() + block;
  size_t start = 0;
  if (index == kMbSingleIndex) {
    if (b[kMbBlockType] != kMbSingleBlob) return std::nullopt;
    start = block + kMbSingleDataOffset;
  } else {
    if (b[kMbBlockType] != kMbSubAllocated || index >= kMbEntries) return std::nullopt;
    const uint8_t* entry = b + kMbEntryTable + kMbEntrySize * index;
    if (entry[kMbEntryChunks] == 0) return std::nullopt;  // deleted entry
    start = block + static_cast<size_t>(entry[kMbEntryFirstChunk]) * kMbChunk;
    if (length > static_cast<size_t>(entry[kMbEntryChunks]) * kMbChunk) return std::nullopt;
  }
  if (start + length > bytes_.size()) return std::nullopt;
  return std::vector<uint8_t>(bytes_.begin() + start, bytes_.begin() + start + length);
}

}  // namespace varnholt::paradox
