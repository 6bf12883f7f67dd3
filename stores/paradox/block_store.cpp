#include "stores/paradox/block_store.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "stores/paradox/engine_files.h"
#include "stores/paradox/block.h"
#include "stores/paradox/table.h"
#include "stores/paradox/table_crypt.h"

namespace varnholt::paradox {

void BlockStore::Read(const OsFile& file, size_t header_size, size_t block_size,
                      uint64_t file_size, const std::string& path, uint32_t password_checksum) {
  const size_t body = file_size - header_size;
  const size_t physical = (body + block_size - 1) / block_size;  // a short last block reads as zeros
  // Only what the file holds is read; blocks the header claims beyond it make the header stale.
  if (physical > kMaxBlocks) throw EngineError(path + ": damaged (more blocks than a table can have)");
  chunks_.clear();
  header_size_ = header_size;
  block_size_ = block_size;
  physical_blocks_ = physical;
  file_size_ = file_size;
  // Read straight into the chunks: no second copy of the file, no zeroing what is read anyway.
  const size_t chunk_bytes = kBlocksPerChunk * block_size;
  for (size_t at = 0; at < physical * block_size; at += chunk_bytes) {
    chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(chunk_bytes));
    uint8_t* chunk = chunks_.back().get();
    size_t got = 0;
    if (at < body) got = file.ReadInto(header_size + at, chunk, std::min(chunk_bytes, body - at));
    std::memset(chunk + got, 0, chunk_bytes - got);  // a short last block reads as zeros
  }
  password_checksum_ = password_checksum;
  if (password_checksum_ == 0) return;
  for (size_t block = 1; block <= physical; ++block) {
    DecryptBlock(Data(static_cast<uint16_t>(block)), block_size, password_checksum_,
                 static_cast<uint16_t>(block));
  }
}

void BlockStore::Write(OsFile* file, size_t header_size, size_t file_blocks,
                       const std::function<size_t(uint16_t)>& used_bytes) {
  const size_t blocks = std::max(file_blocks, physical_blocks_);
  uint64_t size = std::max<uint64_t>(header_size + blocks * block_size_, file_size_);
  if (password_checksum_ != 0) {
    WriteScrambled(file, header_size, blocks);
    return;
  }
  if (blocks == physical_blocks_ && file_size_ < size) {
    // The last block was short on disk and is still the last: it stays short as long as nothing
    // but zeros lies past the old end, which is how a reader fills the missing tail.
    const auto last_block = static_cast<uint16_t>(blocks);
    const uint8_t* last = Data(last_block);
    size_t used = block_size_;
    while (used > used_bytes(last_block) && last[used - 1] == 0) --used;
    size = std::max<uint64_t>(file_size_, header_size + (blocks - 1) * block_size_ + used);
  }
  const size_t chunk_bytes = kBlocksPerChunk * block_size_;
  uint64_t at = header_size;
  for (size_t c = 0; c < chunks_.size() && at < size; ++c) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(chunk_bytes, size - at));
    file->WriteAt(at, chunks_[c].get(), length);
    at += length;
  }
  file_size_ = at;
  physical_blocks_ = (at - header_size + block_size_ - 1) / block_size_;
}

void BlockStore::WriteScrambled(OsFile* file, size_t header_size, size_t blocks) {
  // Scrambled bytes cannot be cut short: every block goes out whole, and bytes past the blocks
  // that another program may have put there are kept.
  std::vector<uint8_t> scrambled(block_size_);
  uint64_t at = header_size;
  for (size_t block = 1; block <= blocks; ++block, at += block_size_) {
    std::memcpy(scrambled.data(), Data(static_cast<uint16_t>(block)), block_size_);
    EncryptBlock(scrambled.data(), block_size_, password_checksum_, static_cast<uint16_t>(block));
    file->WriteAt(at, scrambled.data(), block_size_);
  }
  file_size_ = at;
  physical_blocks_ = blocks;
}

uint8_t* BlockStore::Data(uint16_t block) const {
  const size_t i = static_cast<size_t>(block) - 1;
  return chunks_[i / kBlocksPerChunk].get() + (i % kBlocksPerChunk) * block_size_;
}

void BlockStore::Hold(size_t count) {
  while (chunks_.size() * kBlocksPerChunk < count) {
    chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlocksPerChunk * block_size_));
  }
}

}  // namespace varnholt::paradox
