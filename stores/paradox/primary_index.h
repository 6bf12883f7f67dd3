// The .PX file of a keyed table: a B-tree over the data blocks.
//
// Level 1 holds one entry per data block in chain order: the key of the block's first record, the
// block number and its record count. Each upper level holds one entry per child block: the child's
// first key, its PX block number and the sum of its counts. Entries end in three modified
// big-endian words (block, count, 0). No genuine index block holds more than capacity − 1 entries.
//
// The index is kept in memory and patched after every post; a save writes the file whole, then the
// PX header (counts, root, levels and the validity stamp that ties it to the .DB's change counter).
// Blocks no post changed are written as they were read, so a genuine tree keeps its layout: its
// root, its blocks and the order of their list (which need not be block-number order; the tree is
// walked from the root). New PX blocks are appended at the end of the file and of the list.
#ifndef VARNHOLT_STORES_PARADOX_PRIMARY_INDEX_H_
#define VARNHOLT_STORES_PARADOX_PRIMARY_INDEX_H_

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "stores/paradox/header.h"
#include "stores/paradox/engine_files.h"

namespace varnholt::paradox {

// One level-1 entry: a data block, the key of its first record and its record count.
struct IndexLeafEntry {
  std::string key;  // stored bytes of the key fields
  uint16_t block = 0;
  uint32_t count = 0;
  bool operator==(const IndexLeafEntry&) const = default;
};

// Largest count an entry can hold; bigger subtrees store this value (their encoding is unknown).
inline constexpr uint32_t kMaxIndexCount = 32767;

class PrimaryIndex {
 public:
  // Reads a .PX; nullopt when its tree cannot be walked (cycles, blocks outside the file, wrong
  // levels). Does not compare it with the data: see Matches.
  static std::optional<PrimaryIndex> Parse(const std::vector<uint8_t>& file, Header header);
  // A new tree in the layout genuine writers build (root in block 1, then the levels below it in
  // key order), keeping every header byte of `header` but the counters.
  static PrimaryIndex Build(Header header, const std::vector<IndexLeafEntry>& leaves);

  // True when the tree describes exactly `leaves` (in order), its upper levels agree with their
  // children, its header counts agree with the tree and its blocks form one list from block 1 to
  // the last block, each linked back to the one before (in any order).
  bool Matches(const std::vector<IndexLeafEntry>& leaves) const;

  // The entry of `data_block` now has this first key and count. REQUIRES: the block is indexed.
  void SetLeaf(uint16_t data_block, const std::string& first_key, uint32_t count);
  // A new data block linked right after `after_block` (0: the first block of an empty table).
  void InsertLeafAfter(uint16_t after_block, const IndexLeafEntry& entry);

  Header& header() { return header_; }
  int block_count() const { return static_cast<int>(nodes_.size()); }

  // Writes every block (changed ones encoded anew, the others as read), then the header with
  // `stamp`, and cuts the file to its blocks. Blocks of an index whose header carries a password
  // checksum are read and written scrambled with it (table_crypt.h).
  void Flush(OsFile* file, uint8_t stamp);

 private:
  struct Entry {
    std::string key;
    uint16_t child = 0;
    uint32_t count = 0;
  };
  struct Node {
    int level = 1;
    uint16_t parent = 0;
    uint16_t next = 0;  // links of the list of all PX blocks
    uint16_t prev = 0;
    bool dirty = true;  // its entries or links differ from its bytes in image_
    std::vector<Entry> entries;
  };

  explicit PrimaryIndex(Header header);
  Node& node(uint16_t block) { return nodes_[block - 1]; }
  const Node& node(uint16_t block) const { return nodes_[block - 1]; }
  uint16_t AppendNode(int level);
  bool LinksSound() const;
  void EncodeNode(uint16_t block, uint8_t* out) const;
  static uint32_t Sum(const Node& n);
  int IndexOfChild(const Node& n, uint16_t child) const;
  void AddToAncestors(uint16_t block, int64_t delta, bool first_key_changed);
  void SplitIfFull(uint16_t block);
  bool CheckSubtree(uint16_t block, int level, std::vector<IndexLeafEntry>* leaves,
                    std::string* first_key, uint32_t* sum, int* entries) const;

  Header header_;
  int key_size_ = 0;
  int max_entries_ = 0;  // capacity − 1
  std::vector<Node> nodes_;  // PX block n at n − 1
  std::unordered_map<uint16_t, uint16_t> leaf_of_;  // data block -> leaf PX block
  uint16_t tail_ = 0;            // last block of the list
  std::vector<uint8_t> image_;   // the blocks as last read or written, block n at (n − 1) × size
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_PRIMARY_INDEX_H_
