// The data blocks of a .DB held in memory. Blocks live in fixed chunks, so that growing the table
// never moves the blocks already held; a short last block on disk reads as zeros.
#ifndef VARNHOLT_STORES_PARADOX_BLOCK_STORE_H_
#define VARNHOLT_STORES_PARADOX_BLOCK_STORE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "stores/paradox/engine_files.h"

namespace varnholt::paradox {

class BlockStore {
 public:
  // Reads every whole or partial block after the header of `file` (file_size bytes long). Throws
  // EngineError naming `path` when it holds more blocks than a table can have. A password-protected
  // table (password_checksum not 0) has its blocks unscrambled as they are read and scrambled again
  // as they are written (table_crypt.h); its blocks are always written whole.
  void Read(const OsFile& file, size_t header_size, size_t block_size, uint64_t file_size,
            const std::string& path, uint32_t password_checksum = 0);
  // Writes the blocks after the header: `file_blocks` of them, or as many as the file last read or
  // written held when that is more, and at least that file's bytes, so that saving never drops
  // bytes another program may have put there. A last block that was short on disk stays short
  // while only zeros lie past its old end and past the `used_bytes` of it that hold its header and
  // records.
  void Write(OsFile* file, size_t header_size, size_t file_blocks,
             const std::function<size_t(uint16_t)>& used_bytes);

  // The bytes of block `block` (1-based). REQUIRES: the block is held.
  uint8_t* Data(uint16_t block) const;
  // Makes room for blocks 1..count. New blocks are not zeroed: whoever hands one out clears it.
  void Hold(size_t count);

  size_t block_size() const { return block_size_; }
  // Bytes after the header in the file as last read.
  uint64_t body_size() const { return file_size_ - header_size_; }
  // Whole or partial blocks in the file as last read or written.
  size_t physical_blocks() const { return physical_blocks_; }

 private:
  static constexpr size_t kBlocksPerChunk = 64;

  void WriteScrambled(OsFile* file, size_t header_size, size_t blocks);

  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  size_t header_size_ = 0;
  size_t block_size_ = 0;
  size_t physical_blocks_ = 0;
  uint64_t file_size_ = 0;  // of the .DB as last read or written
  uint32_t password_checksum_ = 0;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_BLOCK_STORE_H_
