// The records of a .DB: its data blocks in chain order, which row sits in which block and slot, and
// placing records in the blocks (in key order for keyed tables) as genuine writers do. Every change
// to a block's first key or count is passed on to the primary index, when the table has one.
//
// RowIds are handed out here and stay with their record for as long as the chain is not walked
// again: inserts and moves never renumber rows.
#ifndef VARNHOLT_STORES_PARADOX_BLOCK_CHAIN_H_
#define VARNHOLT_STORES_PARADOX_BLOCK_CHAIN_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stores/paradox/block_store.h"
#include "stores/paradox/header.h"
#include "stores/paradox/key_order.h"
#include "stores/paradox/primary_index.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

class BlockChain {
 public:
  struct Location {
    uint16_t block = 0;  // 0: not in the table
    uint16_t slot = 0;
  };

  // `header` is the table's header: placement keeps its chain ends, free list and file blocks
  // current. All four outlive the chain.
  BlockChain(const std::string& path, BlockStore* blocks, Header* header,
             std::optional<PrimaryIndex>* index);

  // Walks the chain `h` describes over the blocks held and numbers its rows anew. Throws
  // EngineError when its structure is broken (a block outside the file, a loop, an impossible
  // count, a block cut short; writable: an empty block inside the chain). Returns true when only
  // counters lag behind it (back links, header counts, chain ends, file blocks, free list), which a
  // repair can put right.
  bool Walk(const Header& h, int key_size, bool writable);
  // Records are placed and checked in this order (byte order of the key unless set).
  void SetKeyOrder(KeyOrder order) { order_ = std::move(order); }
  const KeyOrder& key_order() const { return order_; }
  // Throws EngineError naming the block when keys do not strictly ascend in chain order.
  void CheckKeyOrder() const;
  // The highest positive value stored in the 4-byte autoincrement field at `offset` (0: none).
  uint32_t HighestAutoIncrement(int offset) const;
  // Sets back links, file blocks, the free list (every other block, in block order) and the record
  // and block counts to what the chain holds.
  void RepairCounters();

  const std::vector<uint16_t>& blocks() const { return chain_; }
  const std::vector<RowId>& rows_of(uint16_t block) const { return block_rows_[block - 1]; }
  int BlockCount(uint16_t block) const { return static_cast<int>(block_rows_[block - 1].size()); }
  // Bytes of `block` that its header and records take (a block outside the chain: its header).
  size_t UsedBytes(uint16_t block) const;
  size_t RecordCount() const;
  // True when `row` names a record in the table.
  bool Holds(RowId row) const { return row < rows_.size() && rows_[row].block != 0; }
  // RowIds handed out so far (some may no longer name a record).
  size_t row_ids() const { return rows_.size(); }
  Location location(RowId row) const { return rows_[row]; }
  const uint8_t* RecordBytes(RowId row) const;
  uint8_t* MutableRecordBytes(RowId row) const;
  // Calls `visit` with the first `key_size` bytes of every record in chain order, `skip` left out,
  // until it returns false.
  void ForEachKey(size_t key_size, RowId skip, const std::function<bool(std::string_view)>& visit) const;
  // The stored bytes of the key fields of `record`.
  std::string KeyOf(const uint8_t* record) const;
  std::string FirstKey(uint16_t block) const;
  // Level-1 entries of the primary index: one per block in chain order.
  std::vector<IndexLeafEntry> LeafEntries() const;

  // Where a record with `key` belongs: chain position and slot; *duplicate when the key is there.
  void Locate(const std::string& key, size_t* chain_pos, int* slot, RowId* duplicate) const;
  // Puts `raw` at chain position `pos`, slot `slot` under a new RowId, which it returns. Throws
  // EngineError when the table has no room for another block.
  RowId Insert(size_t pos, int slot, const std::vector<uint8_t>& raw);
  // Moves `row` to chain position `pos`, slot `slot` with the bytes `raw`, keeping its RowId.
  void Move(RowId row, size_t pos, int slot, const std::vector<uint8_t>& raw);
  // True when a block left the chain since the last call: the primary index must then be built
  // anew from LeafEntries.
  bool TakeIndexRebuild();

 private:
  uint8_t* Data(uint16_t block) const { return blocks_->Data(block); }
  uint16_t AllocateBlock();
  void SetRow(uint16_t block, int slot, RowId row);
  RowId Place(size_t chain_pos, int slot, const std::vector<uint8_t>& raw, RowId row);
  void PlaceInFullBlock(size_t pos, int slot, const std::vector<uint8_t>& raw, RowId row);
  void Remove(RowId row);
  void FreeEmptiedBlock(uint16_t block);
  bool FreeListSound(const Header& h, const std::vector<bool>& in_chain) const;

  const std::string& path_;
  BlockStore* blocks_;
  Header* header_;
  std::optional<PrimaryIndex>* index_;
  int record_size_ = 0;
  int key_size_ = 0;
  int capacity_ = 0;
  std::vector<uint16_t> chain_;                 // blocks in chain order
  std::vector<std::vector<RowId>> block_rows_;  // per block (n − 1): row of each slot
  std::vector<Location> rows_;
  bool index_rebuild_needed_ = false;
  KeyOrder order_;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_BLOCK_CHAIN_H_
