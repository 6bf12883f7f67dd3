#include "stores/paradox/primary_index.h"

#include <algorithm>
#include <cstring>

#include "stores/paradox/block.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/table_crypt.h"
#include "stores/paradox/engine_files.h"

namespace varnholt::paradox {

namespace {

constexpr int kWordSize = 2;

uint32_t StoredCount(uint64_t count) {
  return static_cast<uint32_t>(std::min<uint64_t>(count, kMaxIndexCount));
}

}  // namespace

PrimaryIndex::PrimaryIndex(Header header) : header_(std::move(header)) {
  key_size_ = header_.record_size - kIndexEntryTrailer;
  max_entries_ = std::max(2, BlockCapacity(header_.block_size, header_.record_size) - 1);
}

std::optional<PrimaryIndex> PrimaryIndex::Parse(const std::vector<uint8_t>& file, Header header) {
  PrimaryIndex index(std::move(header));
  const Header& h = index.header_;
  const size_t bs = h.block_size;
  const int rs = h.record_size;
  const int n = h.file_blocks;
  if (n == 0) {
    if (h.index_levels != 0 || h.num_records != 0) return std::nullopt;
    return index;
  }
  if (file.size() <= h.header_size ||
      (static_cast<size_t>(n) - 1) * bs >= file.size() - h.header_size) {
    return std::nullopt;  // the header claims blocks the file does not hold
  }
  std::vector<uint8_t> blocks(static_cast<size_t>(n) * bs, 0);
  if (file.size() > h.header_size) {
    const size_t avail = std::min(blocks.size(), file.size() - h.header_size);
    if (avail < (static_cast<size_t>(n) - 1) * bs + kBlockHeaderSize) return std::nullopt;
    std::memcpy(blocks.data(), file.data() + h.header_size, avail);  // a short last block reads as zeros
    if (h.password_checksum != 0) {
      for (int b = 1; b <= n; ++b) {
        DecryptBlock(blocks.data() + (b - 1) * bs, bs, h.password_checksum, static_cast<uint16_t>(b));
      }
    }
  } else {
    return std::nullopt;
  }
  index.nodes_.resize(n);
  for (int b = 1; b <= n; ++b) {
    BlockView v(blocks.data() + (b - 1) * bs, rs);
    Node& node = index.nodes_[b - 1];
    node.next = v.next();
    node.prev = v.prev();
    node.dirty = false;
  }
  index.tail_ = h.last_block;
  if (h.index_levels < 1 || h.index_root < 1 || h.index_root > n) return std::nullopt;
  // Walk from the root, level by level, reading each block once.
  std::vector<bool> seen(n + 1, false);
  std::vector<uint16_t> level_blocks{h.index_root};
  seen[h.index_root] = true;
  index.nodes_[h.index_root - 1].parent = 0;
  for (int level = h.index_levels; level >= 1; --level) {
    std::vector<uint16_t> below;
    for (uint16_t blk : level_blocks) {
      BlockView v(blocks.data() + (blk - 1) * bs, rs);
      const int count = v.count();
      if (count < 1 || count > BlockCapacity(static_cast<int>(bs), rs)) return std::nullopt;
      Node& node = index.nodes_[blk - 1];
      node.level = level;
      for (int i = 0; i < count; ++i) {
        const uint8_t* e = v.record(i);
        Entry entry;
        entry.key.assign(reinterpret_cast<const char*>(e), index.key_size_);
        // A block number is an unsigned word: tables of more than 32767 blocks number them on to
        // 65535, which the signed reading of the word would turn negative.
        const auto child = static_cast<uint16_t>(GetSortableInt(e + index.key_size_, kWordSize));
        const int64_t c = GetSortableInt(e + index.key_size_ + kWordSize, kWordSize);
        if (child < 1 || c < 0) return std::nullopt;
        entry.child = child;
        entry.count = static_cast<uint32_t>(c);
        if (level > 1) {
          if (entry.child > n || seen[entry.child]) return std::nullopt;
          seen[entry.child] = true;
          index.nodes_[entry.child - 1].parent = blk;
          below.push_back(entry.child);
        } else {
          if (index.leaf_of_.count(entry.child)) return std::nullopt;
          index.leaf_of_[entry.child] = blk;
        }
        node.entries.push_back(std::move(entry));
      }
    }
    level_blocks = std::move(below);
  }
  for (int b = 1; b <= n; ++b) {
    if (!seen[b]) return std::nullopt;  // a block outside the tree
  }
  index.image_ = std::move(blocks);
  return index;
}

PrimaryIndex PrimaryIndex::Build(Header header, const std::vector<IndexLeafEntry>& leaves) {
  PrimaryIndex index(std::move(header));
  if (leaves.empty()) return index;
  // Group the entries level by level until one block holds them all.
  std::vector<std::vector<std::vector<Entry>>> levels;
  std::vector<Entry> current;
  for (const auto& l : leaves) current.push_back(Entry{l.key, l.block, l.count});
  while (true) {
    std::vector<std::vector<Entry>> groups;
    for (size_t i = 0; i < current.size(); i += index.max_entries_) {
      const size_t end = std::min(current.size(), i + index.max_entries_);
      groups.emplace_back(current.begin() + i, current.begin() + end);
    }
    levels.push_back(groups);
    if (groups.size() == 1) break;
    current.clear();
    for (auto& g : groups) {
      uint64_t sum = 0;
      for (auto& e : g) sum += e.count;
      current.push_back(Entry{g.front().key, 0, StoredCount(sum)});  // child set below
    }
  }
  // Number the blocks: root first, then each level below it in key order.
  const int height = static_cast<int>(levels.size());
  std::vector<std::vector<uint16_t>> numbers(height);
  uint16_t next = 1;
  for (int l = height - 1; l >= 0; --l) {
    for (size_t g = 0; g < levels[l].size(); ++g) numbers[l].push_back(next++);
  }
  index.nodes_.resize(next - 1);
  for (int l = 0; l < height; ++l) {
    size_t child = 0;
    for (size_t g = 0; g < levels[l].size(); ++g) {
      Node& node = index.nodes_[numbers[l][g] - 1];
      node.level = l + 1;
      node.entries = levels[l][g];
      for (auto& e : node.entries) {
        if (l == 0) {
          index.leaf_of_[e.child] = numbers[l][g];
        } else {
          e.child = numbers[l - 1][child++];
          index.nodes_[e.child - 1].parent = numbers[l][g];
        }
      }
    }
  }
  const auto count = static_cast<uint16_t>(index.nodes_.size());
  for (uint16_t b = 1; b <= count; ++b) {
    index.node(b).prev = static_cast<uint16_t>(b - 1);
    index.node(b).next = b == count ? 0 : static_cast<uint16_t>(b + 1);
  }
  index.tail_ = count;
  index.header_.index_root = 1;
  index.header_.index_levels = static_cast<uint8_t>(height);
  return index;
}

uint32_t PrimaryIndex::Sum(const Node& n) {
  uint64_t sum = 0;
  for (const auto& e : n.entries) sum += e.count;
  return StoredCount(sum);
}

int PrimaryIndex::IndexOfChild(const Node& n, uint16_t child) const {
  // From the back: rows added in key order (an import) always land in the last block.
  for (size_t i = n.entries.size(); i-- > 0;) {
    if (n.entries[i].child == child) return static_cast<int>(i);
  }
  return -1;
}

bool PrimaryIndex::CheckSubtree(uint16_t block, int level, std::vector<IndexLeafEntry>* leaves,
                                std::string* first_key, uint32_t* sum, int* entries) const {
  const Node& n = node(block);
  if (n.level != level || n.entries.empty() ||
      static_cast<int>(n.entries.size()) > max_entries_ + 1) {
    return false;
  }
  *entries += static_cast<int>(n.entries.size());
  uint64_t total = 0;
  for (const auto& e : n.entries) {
    if (level == 1) {
      leaves->push_back(IndexLeafEntry{e.key, e.child, e.count});
    } else {
      std::string child_key;
      uint32_t child_sum = 0;
      if (!CheckSubtree(e.child, level - 1, leaves, &child_key, &child_sum, entries)) return false;
      if (child_key != e.key || child_sum != e.count) return false;
    }
    total += e.count;
  }
  *first_key = n.entries.front().key;
  *sum = StoredCount(total);
  return true;
}

bool PrimaryIndex::Matches(const std::vector<IndexLeafEntry>& leaves) const {
  const int n = static_cast<int>(nodes_.size());
  if (n == 0) {
    return leaves.empty() && header_.index_levels == 0 && header_.num_records == 0 &&
           header_.blocks_in_use == 0;
  }
  if (!LinksSound() || header_.blocks_in_use != n || header_.file_blocks != n ||
      header_.last_block != n || header_.first_block != 1) {
    return false;
  }
  std::vector<IndexLeafEntry> found;
  std::string key;
  uint32_t sum = 0;
  int entries = 0;
  if (!CheckSubtree(header_.index_root, header_.index_levels, &found, &key, &sum, &entries)) {
    return false;
  }
  if (static_cast<uint32_t>(entries) != header_.num_records) return false;
  if (found.size() != leaves.size()) return false;
  for (size_t i = 0; i < found.size(); ++i) {
    if (found[i].key != leaves[i].key || found[i].block != leaves[i].block ||
        found[i].count != StoredCount(leaves[i].count)) {
      return false;
    }
  }
  return true;
}

bool PrimaryIndex::LinksSound() const {
  // Every block once on one list from block 1 to the last, each linked back to the one before.
  const size_t n = nodes_.size();
  std::vector<bool> seen(n + 1, false);
  size_t count = 0;
  uint16_t back = 0;
  for (uint16_t b = header_.first_block; b != 0; b = node(b).next) {
    if (b > n || seen[b] || node(b).prev != back) return false;
    seen[b] = true;
    back = b;
    ++count;
  }
  return count == n && back == tail_;
}

uint16_t PrimaryIndex::AppendNode(int level) {
  nodes_.push_back(Node{});
  nodes_.back().level = level;
  const auto b = static_cast<uint16_t>(nodes_.size());
  // A new block goes at the end of the list; the blocks before keep their links.
  if (tail_ != 0) {
    node(tail_).next = b;
    node(tail_).dirty = true;
    node(b).prev = tail_;
  }
  tail_ = b;
  return b;
}

void PrimaryIndex::AddToAncestors(uint16_t block, int64_t delta, bool first_key_changed) {
  uint16_t child = block;
  while (uint16_t parent = node(child).parent) {
    Node& p = node(parent);
    const int i = IndexOfChild(p, child);
    if (i < 0) break;
    p.dirty = true;
    Entry& e = p.entries[i];
    if (delta != 0) {
      if (e.count < kMaxIndexCount && static_cast<int64_t>(e.count) + delta >= 0) {
        // Below the cap a count is exact, so the change carries over without a recount; one that
        // crosses the cap is capped, as the recount would be.
        e.count = StoredCount(static_cast<uint64_t>(static_cast<int64_t>(e.count) + delta));
      } else {
        // A count at the cap may stand for more: count the child's entries again.
        uint64_t sum = 0;
        for (const auto& c : node(child).entries) sum += c.count;
        e.count = StoredCount(sum);
      }
    }
    if (first_key_changed) e.key = node(child).entries.front().key;
    first_key_changed = first_key_changed && i == 0;
    child = parent;
  }
}

void PrimaryIndex::SetLeaf(uint16_t data_block, const std::string& first_key, uint32_t count) {
  auto it = leaf_of_.find(data_block);
  if (it == leaf_of_.end()) return;
  Node& leaf = node(it->second);
  const int i = IndexOfChild(leaf, data_block);
  if (i < 0) return;
  Entry& e = leaf.entries[i];
  const int64_t delta = static_cast<int64_t>(count) - e.count;
  const bool key_changed = e.key != first_key;
  if (delta == 0 && !key_changed) return;
  leaf.dirty = true;
  e.count = count;
  e.key = first_key;
  AddToAncestors(it->second, delta, key_changed && i == 0);
}

void PrimaryIndex::InsertLeafAfter(uint16_t after_block, const IndexLeafEntry& entry) {
  if (nodes_.empty()) {
    const uint16_t root = AppendNode(1);
    node(root).entries.push_back(Entry{entry.key, entry.block, entry.count});
    leaf_of_[entry.block] = root;
    header_.index_root = root;
    header_.index_levels = 1;
    return;
  }
  const uint16_t leaf_block = leaf_of_.at(after_block);
  Node& leaf = node(leaf_block);
  const int i = IndexOfChild(leaf, after_block);
  leaf.entries.insert(leaf.entries.begin() + i + 1, Entry{entry.key, entry.block, entry.count});
  leaf.dirty = true;
  leaf_of_[entry.block] = leaf_block;
  AddToAncestors(leaf_block, entry.count, false);
  SplitIfFull(leaf_block);
}

void PrimaryIndex::SplitIfFull(uint16_t block) {
  if (static_cast<int>(node(block).entries.size()) <= max_entries_) return;
  const int level = node(block).level;
  const uint16_t fresh = AppendNode(level);  // may reallocate nodes_: no references held
  {
    Node& old_node = node(block);
    old_node.dirty = true;
    const size_t keep = (old_node.entries.size() + 1) / 2;
    Node& new_node = node(fresh);
    new_node.entries.assign(old_node.entries.begin() + keep, old_node.entries.end());
    old_node.entries.resize(keep);
    for (const auto& e : new_node.entries) {
      if (level == 1) {
        leaf_of_[e.child] = fresh;
      } else {
        node(e.child).parent = fresh;
      }
    }
  }
  const uint16_t parent = node(block).parent;
  if (parent == 0) {  // the root split: a new root above both halves
    const uint16_t root = AppendNode(level + 1);
    node(root).entries = {Entry{node(block).entries.front().key, block, Sum(node(block))},
                          Entry{node(fresh).entries.front().key, fresh, Sum(node(fresh))}};
    node(block).parent = root;
    node(fresh).parent = root;
    header_.index_root = root;
    header_.index_levels = static_cast<uint8_t>(level + 1);
    return;
  }
  node(fresh).parent = parent;
  Node& p = node(parent);
  p.dirty = true;
  const int i = IndexOfChild(p, block);
  p.entries[i].count = Sum(node(block));
  p.entries.insert(p.entries.begin() + i + 1,
                   Entry{node(fresh).entries.front().key, fresh, Sum(node(fresh))});
  SplitIfFull(parent);
}

void PrimaryIndex::EncodeNode(uint16_t b, uint8_t* out) const {
  const Node& nd = node(b);
  std::memset(out, 0, header_.block_size);
  BlockView v(out, header_.record_size);
  v.set_next(nd.next);
  v.set_prev(nd.prev);
  v.set_count(static_cast<int>(nd.entries.size()));
  for (size_t i = 0; i < nd.entries.size(); ++i) {
    uint8_t* e = v.record(static_cast<int>(i));
    std::memcpy(e, nd.entries[i].key.data(), key_size_);
    PutSortableInt(e + key_size_, kWordSize, nd.entries[i].child);
    PutSortableInt(e + key_size_ + kWordSize, kWordSize, StoredCount(nd.entries[i].count));
    PutSortableInt(e + key_size_ + 2 * kWordSize, kWordSize, 0);
  }
}

void PrimaryIndex::Flush(OsFile* file, uint8_t stamp) {
  const int n = static_cast<int>(nodes_.size());
  const size_t bs = header_.block_size;
  // Blocks no post touched go out as they were read, stale bytes and all; the others are encoded
  // anew, and the image keeps what was written for the next save.
  image_.resize(static_cast<size_t>(n) * bs);
  int entries = 0;
  std::vector<uint8_t> scrambled;  // a protected table's block as it goes to disk
  for (int b = 1; b <= n; ++b) {
    Node& nd = node(static_cast<uint16_t>(b));
    entries += static_cast<int>(nd.entries.size());
    uint8_t* block = image_.data() + (static_cast<size_t>(b) - 1) * bs;
    if (nd.dirty) EncodeNode(static_cast<uint16_t>(b), block);
    nd.dirty = false;
    const uint8_t* out = block;
    if (header_.password_checksum != 0) {
      scrambled.assign(block, block + bs);
      EncryptBlock(scrambled.data(), bs, header_.password_checksum, static_cast<uint16_t>(b));
      out = scrambled.data();
    }
    file->WriteAt(BlockOffset(header_.header_size, bs, static_cast<uint16_t>(b)), out, bs);
  }
  header_.num_records = static_cast<uint32_t>(entries);
  header_.blocks_in_use = static_cast<uint16_t>(n);
  header_.file_blocks = static_cast<uint16_t>(n);
  header_.first_block = n > 0 ? 1 : 0;
  header_.last_block = tail_;
  if (n == 0) {
    header_.index_root = 1;
    header_.index_levels = 0;
  }
  header_.index_stamp = stamp;
  StoreCounters(&header_);
  file->WriteAt(0, header_.raw.data(), header_.raw.size());
  file->Truncate(BlockOffset(header_.header_size, bs, static_cast<uint16_t>(n + 1)));
}

}  // namespace varnholt::paradox
