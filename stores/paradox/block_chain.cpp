#include "stores/paradox/block_chain.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "stores/paradox/block.h"
#include "stores/paradox/field_codec.h"

namespace varnholt::paradox {

namespace {

constexpr RowId kNoRow = std::numeric_limits<RowId>::max();

}  // namespace

BlockChain::BlockChain(const std::string& path, BlockStore* blocks, Header* header,
                       std::optional<PrimaryIndex>* index)
    : path_(path), blocks_(blocks), header_(header), index_(index) {}

bool BlockChain::Walk(const Header& h, int key_size, bool writable) {
  record_size_ = h.record_size;
  key_size_ = key_size;
  capacity_ = BlockCapacity(h.block_size, h.record_size);
  index_rebuild_needed_ = false;
  const size_t bs = h.block_size;
  const int rs = h.record_size;
  const size_t physical = blocks_->physical_blocks();
  const uint64_t body = blocks_->body_size();
  // The chain's structure must be sound; counters that lag behind it are repairable.
  bool stale = false;
  chain_.clear();
  block_rows_.assign(physical, {});
  rows_.clear();
  std::vector<bool> in_chain(physical + 1, false);
  uint16_t prev = 0;
  uint32_t total = 0;
  for (uint16_t b = h.first_block; b != 0;) {
    if (b > physical) {
      throw EngineError(path_ + ": the file is truncated (its block chain reaches block " +
                        std::to_string(b) + " but the file holds " + std::to_string(physical) +
                        ")");
    }
    if (in_chain[b]) {
      throw EngineError(path_ + ": damaged block chain (it returns to block " + std::to_string(b) +
                        ")");
    }
    in_chain[b] = true;
    BlockView v(Data(b), rs);
    const int count = v.count();
    if (count < 0 || count > capacity_) {
      throw EngineError(path_ + ": damaged block " + std::to_string(b) +
                        " (impossible record count)");
    }
    if ((b - 1) * bs + kBlockHeaderSize + static_cast<size_t>(count) * rs > body) {
      throw EngineError(path_ + ": the file is truncated (block " + std::to_string(b) +
                        " ends early)");
    }
    if (count == 0 && writable && (b != h.first_block || v.next() != 0)) {
      throw EngineError(path_ + ": damaged (block " + std::to_string(b) +
                        " in the chain holds no records); let Paradox rebuild the table first");
    }
    if (v.prev() != prev) stale = true;
    chain_.push_back(b);
    for (int s = 0; s < count; ++s) {
      block_rows_[b - 1].push_back(static_cast<RowId>(rows_.size()));
      rows_.push_back(Location{b, static_cast<uint16_t>(s)});
    }
    total += static_cast<uint32_t>(count);
    prev = b;
    b = v.next();
  }
  if (writable && chain_.size() == 1 && block_rows_[chain_[0] - 1].empty()) {
    // Every record was deleted and the first block stayed behind empty: an empty chain with that
    // block on the free list says the same, and inserts then start as in a new table.
    chain_.clear();
    stale = true;
  }
  const uint16_t last = chain_.empty() ? 0 : chain_.back();
  const uint16_t highest = chain_.empty() ? 0 : *std::max_element(chain_.begin(), chain_.end());
  if (total != h.num_records || chain_.size() != h.blocks_in_use || last != h.last_block ||
      highest > h.file_blocks || h.file_blocks > physical) {
    stale = true;
  }
  return stale || !FreeListSound(h, in_chain);
}

bool BlockChain::FreeListSound(const Header& h, const std::vector<bool>& in_chain) const {
  // The free list must stay clear of the chain and inside the file.
  const size_t held = blocks_->physical_blocks();
  std::vector<bool> seen(held + 1, false);
  size_t steps = 0;
  for (uint16_t f = h.first_free_block; f != 0; ++steps) {
    if (f > h.file_blocks || f > held || in_chain[f] || seen[f] || steps > held) return false;
    seen[f] = true;
    f = BlockView(Data(f), h.record_size).next();
  }
  return true;
}

void BlockChain::CheckKeyOrder() const {
  // In chain order: RowIds follow it only until the first insert or move.
  const uint8_t* previous = nullptr;
  for (uint16_t b : chain_) {
    for (RowId r : block_rows_[b - 1]) {
      const uint8_t* record = RecordBytes(r);
      if (previous != nullptr && order_.Compare(previous, record, key_size_) >= 0) {
        throw EngineError(path_ + ": damaged (records out of key order or with equal keys in block " +
                          std::to_string(b) + "); let Paradox rebuild the table first");
      }
      previous = record;
    }
  }
}

uint32_t BlockChain::HighestAutoIncrement(int offset) const {
  uint32_t highest = 0;
  for (RowId r = 0; r < rows_.size(); ++r) {
    const uint8_t* p = RecordBytes(r) + offset;
    if (std::any_of(p, p + 4, [](uint8_t x) { return x != 0; })) {
      const int64_t v = GetSortableInt(p, 4);
      if (v > 0) highest = std::max(highest, static_cast<uint32_t>(v));
    }
  }
  return highest;
}

void BlockChain::RepairCounters() {
  Header& h = *header_;
  uint16_t prev = 0;
  for (uint16_t b : chain_) {
    BlockView v(Data(b), record_size_);
    if (v.prev() != prev) v.set_prev(prev);
    prev = b;
  }
  const uint16_t highest = chain_.empty() ? 0 : *std::max_element(chain_.begin(), chain_.end());
  // Blocks past the header's count that the chain does not use are left-overs: not counted.
  h.file_blocks = std::max<uint16_t>(
      highest,
      static_cast<uint16_t>(std::min<size_t>(h.file_blocks, blocks_->physical_blocks())));
  std::vector<bool> in_chain(h.file_blocks + 1, false);
  for (uint16_t b : chain_) in_chain[b] = true;
  uint16_t head = 0;
  for (int b = h.file_blocks; b >= 1; --b) {
    if (in_chain[b]) continue;
    BlockView v(Data(static_cast<uint16_t>(b)), record_size_);
    v.set_next(head);
    v.set_count(0);
    head = static_cast<uint16_t>(b);
  }
  h.first_free_block = head;
  h.num_records = static_cast<uint32_t>(rows_.size());
  h.blocks_in_use = static_cast<uint16_t>(chain_.size());
  h.first_block = chain_.empty() ? 0 : chain_.front();
  h.last_block = chain_.empty() ? 0 : chain_.back();
}

size_t BlockChain::UsedBytes(uint16_t block) const {
  const size_t records = block - 1u < block_rows_.size() ? block_rows_[block - 1].size() : 0;
  return kBlockHeaderSize + records * record_size_;
}

size_t BlockChain::RecordCount() const {
  size_t n = 0;
  for (uint16_t b : chain_) n += block_rows_[b - 1].size();
  return n;
}

const uint8_t* BlockChain::RecordBytes(RowId row) const { return MutableRecordBytes(row); }

uint8_t* BlockChain::MutableRecordBytes(RowId row) const {
  const Location& l = rows_[row];
  return Data(l.block) + kBlockHeaderSize + static_cast<size_t>(l.slot) * record_size_;
}

std::string BlockChain::KeyOf(const uint8_t* record) const {
  return std::string(reinterpret_cast<const char*>(record), key_size_);
}

std::string BlockChain::FirstKey(uint16_t block) const {
  return KeyOf(Data(block) + kBlockHeaderSize);
}

std::vector<IndexLeafEntry> BlockChain::LeafEntries() const {
  std::vector<IndexLeafEntry> leaves;
  leaves.reserve(chain_.size());
  for (uint16_t b : chain_) {
    leaves.push_back(IndexLeafEntry{FirstKey(b), b, static_cast<uint32_t>(BlockCount(b))});
  }
  return leaves;
}

void BlockChain::Locate(const std::string& key, size_t* chain_pos, int* slot,
                        RowId* duplicate) const {
  *duplicate = kNoRow;
  *chain_pos = 0;
  *slot = 0;
  if (chain_.empty()) return;
  auto record = [&](uint16_t b, int s) {
    return Data(b) + kBlockHeaderSize + static_cast<size_t>(s) * record_size_;
  };
  // The block holding the greatest key below the new one; the first block when there is none.
  auto it = std::upper_bound(chain_.begin(), chain_.end(), key, [&](const std::string& k, uint16_t b) {
    return order_.Compare(k.data(), record(b, 0), key_size_) < 0;
  });
  *chain_pos = it == chain_.begin() ? 0 : static_cast<size_t>(it - chain_.begin()) - 1;
  const uint16_t b = chain_[*chain_pos];
  int lo = 0, hi = BlockCount(b);
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (order_.Compare(record(b, mid), key.data(), key_size_) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  *slot = lo;
  if (lo < BlockCount(b) && std::memcmp(record(b, lo), key.data(), key_size_) == 0) {
    *duplicate = block_rows_[b - 1][lo];
  }
}

RowId BlockChain::Insert(size_t pos, int slot, const std::vector<uint8_t>& raw) {
  const auto row = static_cast<RowId>(rows_.size());
  rows_.push_back(Location{});
  return Place(pos, slot, raw, row);
}

void BlockChain::Move(RowId row, size_t pos, int slot, const std::vector<uint8_t>& raw) {
  // The new version first, then the old one goes.
  const auto temp = static_cast<RowId>(rows_.size());
  rows_.push_back(Location{});
  Place(pos, slot, raw, temp);
  Remove(row);
  const Location moved = rows_[temp];
  rows_[row] = moved;
  block_rows_[moved.block - 1][moved.slot] = row;
  rows_.pop_back();
}

bool BlockChain::TakeIndexRebuild() {
  const bool needed = index_rebuild_needed_;
  index_rebuild_needed_ = false;
  return needed;
}

uint16_t BlockChain::AllocateBlock() {
  Header& h = *header_;
  uint16_t b = h.first_free_block;
  if (b != 0) {
    blocks_->Hold(b);
    h.first_free_block = BlockView(Data(b), record_size_).next();
  } else {
    if (h.file_blocks >= kMaxBlocks) {
      throw EngineError(path_ + ": the table is full (no more blocks can be added)");
    }
    b = ++h.file_blocks;
    blocks_->Hold(b);
    if (block_rows_.size() < b) block_rows_.resize(std::max<size_t>(b, block_rows_.size() * 3 / 2));
  }
  std::memset(Data(b), 0, h.block_size);
  block_rows_[b - 1].clear();
  return b;
}

void BlockChain::SetRow(uint16_t block, int slot, RowId row) {
  rows_[row] = Location{block, static_cast<uint16_t>(slot)};
}

RowId BlockChain::Place(size_t pos, int slot, const std::vector<uint8_t>& raw, RowId row) {
  const int rs = record_size_;
  if (chain_.empty()) {
    const uint16_t b = AllocateBlock();
    BlockView v(Data(b), rs);
    v.set_next(0);
    v.set_prev(0);
    v.set_count(1);
    std::memcpy(v.record(0), raw.data(), rs);
    block_rows_[b - 1] = {row};
    SetRow(b, 0, row);
    chain_.push_back(b);
    header_->first_block = header_->last_block = b;
    if (*index_) (*index_)->InsertLeafAfter(0, IndexLeafEntry{FirstKey(b), b, 1});
    return row;
  }
  const uint16_t b = chain_[pos];
  const int n = BlockCount(b);
  if (n >= capacity_) {
    PlaceInFullBlock(pos, slot, raw, row);
    return row;
  }
  BlockView v(Data(b), rs);
  std::memmove(v.record(slot + 1), v.record(slot), static_cast<size_t>(n - slot) * rs);
  std::memcpy(v.record(slot), raw.data(), rs);
  v.set_count(n + 1);
  auto& r = block_rows_[b - 1];
  r.insert(r.begin() + slot, row);
  for (int i = slot; i <= n; ++i) SetRow(b, i, r[i]);
  if (*index_) (*index_)->SetLeaf(b, FirstKey(b), static_cast<uint32_t>(n + 1));
  return row;
}

void BlockChain::PlaceInFullBlock(size_t pos, int slot, const std::vector<uint8_t>& raw,
                                  RowId row) {
  // The tail block gets a new block after it, with the records that sort after the new one (none
  // when appending); any other block splits in half.
  const int rs = record_size_;
  const uint16_t b = chain_[pos];
  const int n = BlockCount(b);
  const bool tail = pos + 1 == chain_.size();
  const int keep = tail ? slot : (n + 1) / 2;
  const bool into_old = tail ? slot < n : slot <= keep;
  const uint16_t fresh = AllocateBlock();
  BlockView old_v(Data(b), rs);
  BlockView new_v(Data(fresh), rs);
  const int moved = n - keep;
  std::memcpy(new_v.record(0), old_v.record(keep), static_cast<size_t>(moved) * rs);
  auto& old_rows = block_rows_[b - 1];
  auto& new_rows = block_rows_[fresh - 1];
  new_rows.assign(old_rows.begin() + keep, old_rows.end());
  old_rows.resize(keep);
  if (into_old) {
    std::memmove(old_v.record(slot + 1), old_v.record(slot), static_cast<size_t>(keep - slot) * rs);
    std::memcpy(old_v.record(slot), raw.data(), rs);
    old_rows.insert(old_rows.begin() + slot, row);
  } else {
    const int s = slot - keep;
    std::memmove(new_v.record(s + 1), new_v.record(s), static_cast<size_t>(moved - s) * rs);
    std::memcpy(new_v.record(s), raw.data(), rs);
    new_rows.insert(new_rows.begin() + s, row);
  }
  const int old_count = static_cast<int>(old_rows.size());
  const int new_count = static_cast<int>(new_rows.size());
  std::memset(old_v.record(old_count), 0, static_cast<size_t>(capacity_ - old_count) * rs);
  old_v.set_count(old_count);
  new_v.set_count(new_count);
  const uint16_t successor = old_v.next();
  new_v.set_next(successor);
  new_v.set_prev(b);
  old_v.set_next(fresh);
  for (int i = 0; i < old_count; ++i) SetRow(b, i, old_rows[i]);
  for (int i = 0; i < new_count; ++i) SetRow(fresh, i, new_rows[i]);
  if (successor != 0) BlockView(Data(successor), rs).set_prev(fresh);
  chain_.insert(chain_.begin() + static_cast<std::ptrdiff_t>(pos) + 1, fresh);
  if (tail) header_->last_block = fresh;
  if (*index_) {
    (*index_)->SetLeaf(b, FirstKey(b), static_cast<uint32_t>(old_count));
    (*index_)->InsertLeafAfter(b, IndexLeafEntry{FirstKey(fresh), fresh,
                                                 static_cast<uint32_t>(new_count)});
  }
}

void BlockChain::Remove(RowId row) {
  const int rs = record_size_;
  const Location loc = rows_[row];
  const uint16_t b = loc.block;
  BlockView v(Data(b), rs);
  const int n = BlockCount(b);
  std::memmove(v.record(loc.slot), v.record(loc.slot + 1),
               static_cast<size_t>(n - loc.slot - 1) * rs);
  std::memset(v.record(n - 1), 0, rs);
  v.set_count(n - 1);
  auto& r = block_rows_[b - 1];
  r.erase(r.begin() + loc.slot);
  for (int i = loc.slot; i < n - 1; ++i) SetRow(b, i, r[i]);
  rows_[row] = Location{};
  if (n - 1 > 0) {
    if (*index_) (*index_)->SetLeaf(b, FirstKey(b), static_cast<uint32_t>(n - 1));
    return;
  }
  FreeEmptiedBlock(b);
  index_rebuild_needed_ = index_->has_value();
}

void BlockChain::FreeEmptiedBlock(uint16_t b) {
  // Takes the block out of the chain and puts it on the free list.
  const int rs = record_size_;
  Header& h = *header_;
  BlockView v(Data(b), rs);
  const size_t pos = static_cast<size_t>(std::find(chain_.begin(), chain_.end(), b) - chain_.begin());
  if (chain_.size() == 1) {
    v.set_next(h.first_free_block);
    h.first_free_block = b;
    chain_.clear();
    h.first_block = h.last_block = 0;
  } else if (pos == 0) {
    // The head stays the head: the next block's records move into it and that block is freed.
    const uint16_t s = chain_[1];
    BlockView sv(Data(s), rs);
    const int m = BlockCount(s);
    std::memcpy(v.record(0), sv.record(0), static_cast<size_t>(m) * rs);
    v.set_count(m);
    v.set_next(sv.next());
    v.set_prev(0);
    block_rows_[b - 1] = block_rows_[s - 1];
    block_rows_[s - 1].clear();
    for (int i = 0; i < m; ++i) SetRow(b, i, block_rows_[b - 1][i]);
    if (sv.next() != 0) BlockView(Data(sv.next()), rs).set_prev(b);
    sv.set_next(h.first_free_block);
    sv.set_count(0);
    h.first_free_block = s;
    chain_.erase(chain_.begin() + 1);
    if (h.last_block == s) h.last_block = b;
  } else {
    const uint16_t p = chain_[pos - 1];
    const uint16_t s = pos + 1 < chain_.size() ? chain_[pos + 1] : 0;
    BlockView(Data(p), rs).set_next(s);  // unlinks the emptied block
    if (s != 0) {
      BlockView(Data(s), rs).set_prev(p);
    } else {
      h.last_block = p;
    }
    v.set_next(h.first_free_block);
    h.first_free_block = b;
    chain_.erase(chain_.begin() + static_cast<std::ptrdiff_t>(pos));
  }
}

void BlockChain::ForEachKey(size_t key_size, RowId skip,
                            const std::function<bool(std::string_view)>& visit) const {
  for (uint16_t b : chain_) {
    for (RowId r : rows_of(b)) {
      if (r == skip) continue;
      if (!visit(std::string_view(reinterpret_cast<const char*>(RecordBytes(r)), key_size))) return;
    }
  }
}

}  // namespace varnholt::paradox
