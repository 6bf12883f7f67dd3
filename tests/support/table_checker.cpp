#include "tests/support/table_checker.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>

#include "base/byte_coding.h"
#include "stores/paradox/block.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/header.h"
#include "stores/paradox/primary_index.h"
#include "stores/paradox/secondary_index_layout.h"
#include "stores/paradox/table_crypt.h"

namespace varnholt::paradox {

namespace {

std::vector<uint8_t> ReadFile(const std::string& path, bool* found) {
  std::ifstream in(path, std::ios::binary);
  *found = static_cast<bool>(in);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FindSibling(const std::string& db_path, const std::string& ext) {
  namespace fs = std::filesystem;
  const fs::path p(db_path);
  auto upper = [](std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string wanted = upper(p.stem().string() + "." + ext);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(p.has_parent_path() ? p.parent_path() : ".", ec)) {
    if (upper(e.path().filename().string()) == wanted) return e.path().string();
  }
  return {};
}

// Blocks are scrambled in pieces of this many bytes.
constexpr int kCryptUnit = 256;

// The blocks of one file. Genuine writers may leave the last block short on disk (only the part
// that holds records written): it reads as zeros, as long as what a block uses lies in the file.
class Blocks {
 public:
  Blocks(std::vector<uint8_t> file, const Header& h) : file_(std::move(file)), h_(&h) {
    on_disk_ = file_.size();
    const size_t full = BlockOffset(h.header_size, h.block_size, h.file_blocks) + h.block_size;
    if (h.file_blocks > 0 && on_disk_ > full - h.block_size && on_disk_ < full) file_.resize(full, 0);
    // A password-protected file is read unscrambled: its stored checksum is all that takes.
    if (h.password_checksum == 0 || h.block_size % kCryptUnit != 0) return;
    for (uint16_t b = 1; b <= h.file_blocks && Present(b); ++b) {
      DecryptBlock(file_.data() + BlockOffset(h.header_size, h.block_size, b), h.block_size, h.password_checksum, b);
    }
  }
  BlockView View(uint16_t b) const {
    const size_t off = BlockOffset(h_->header_size, h_->block_size, b);
    return BlockView(const_cast<uint8_t*>(file_.data()) + off, h_->record_size);
  }
  bool Present(uint16_t b) const {
    return b >= 1 && BlockOffset(h_->header_size, h_->block_size, b) + h_->block_size <= file_.size();
  }
  // True when the header and `records` entries of block b lie in the file as it is on disk.
  bool UsedPartOnDisk(uint16_t b, int records) const {
    return BlockOffset(h_->header_size, h_->block_size, b) + kBlockHeaderSize +
               static_cast<size_t>(std::max(records, 0)) * h_->record_size <= on_disk_;
  }

 private:
  std::vector<uint8_t> file_;
  const Header* h_;
  size_t on_disk_ = 0;
};

// Byte order of stored keys, with the bytes of each descending field compared the other way.
bool KeyLess(std::string_view a, std::string_view b,
             const std::vector<std::pair<size_t, size_t>>& descending) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    bool down = false;
    for (const auto& [offset, size] : descending) down = down || (i >= offset && i < offset + size);
    const bool less = static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
    return down ? !less : less;
  }
  return a.size() < b.size();
}

class Checker {
 public:
  explicit Checker(const std::string& db_path) : db_path_(db_path) {}
  // An X file checked as a keyed table with its Y file as its primary index.
  Checker(const std::string& x_path, const std::string& y_path)
      : db_path_(x_path), index_path_(y_path), secondary_(true) {}
  CheckResult Run();
  // After Run: every record in chain order.
  const std::vector<std::string>& records() const { return records_; }
  const Header& header() const { return h_; }

 private:
  void Problem(const std::string& p) { r_.problems.push_back(p); }
  bool ReadData();
  void CheckChain();
  void CheckFreeList();
  void CheckKeysAndAutoIncrement();
  bool ReadIndex();
  void CheckIndexHeader();
  void CheckIndexBlockList();
  // Walks the subtree at PX block b; false on a structural fault. Fills its first key and count.
  bool Walk(uint16_t b, int level, std::string* first, uint32_t* sum);
  void CheckLeaves();
  // Each maintained X file beside the .DB: sound as a table with its Y, and holding exactly the
  // records a rebuild from the rows gives, with stamps that follow the .DB's.
  void CheckSecondaryIndexes();
  void CheckSecondaryIndex(const std::string& x_path, const std::string& y_path);

  std::string db_path_;
  std::string index_path_;
  bool secondary_ = false;
  std::vector<std::string> records_;
  std::vector<uint16_t> record_blocks_;
  CheckResult r_;
  Header h_;
  std::unique_ptr<Blocks> blocks_;
  int key_size_ = 0;
  std::vector<uint16_t> chain_;
  std::vector<bool> in_chain_;
  std::vector<std::string> keys_;
  // An X file's fields sorting descending (bit 15 of their field number): stored offset and size.
  std::vector<std::pair<size_t, size_t>> descending_;
  Header ph_;
  std::unique_ptr<Blocks> pblocks_;
  uint32_t entries_ = 0;
  std::vector<IndexLeafEntry> leaves_;
  std::vector<bool> used_;
};

CheckResult Checker::Run() {
  if (!ReadData()) return r_;
  CheckChain();
  CheckFreeList();
  CheckKeysAndAutoIncrement();
  if (h_.key_field_count == 0) return r_;
  if (!ReadIndex()) {
    if (!secondary_) CheckSecondaryIndexes();
    return r_;
  }
  CheckIndexHeader();
  const int n = ph_.file_blocks;
  if (n > 0 && !pblocks_->Present(static_cast<uint16_t>(n))) Problem("PX: file shorter than its blocks");
  r_.index_levels = ph_.index_levels;
  if (n == 0) {
    if (ph_.index_levels != 0 || ph_.num_records != 0 || !chain_.empty()) {
      Problem("PX: empty index for a table with records");
    }
    if (!secondary_) CheckSecondaryIndexes();
    return r_;
  }
  if (!r_.problems.empty() && !pblocks_->Present(static_cast<uint16_t>(n))) return r_;
  CheckIndexBlockList();
  used_.assign(n + 1, false);
  std::string first;
  uint32_t sum = 0;
  if (ph_.index_levels < 1 || !Walk(ph_.index_root, ph_.index_levels, &first, &sum)) {
    if (ph_.index_levels < 1) Problem("PX: no levels");
    return r_;
  }
  if (entries_ != ph_.num_records) Problem("PX: header entry count differs from the tree");
  for (int b = 1; b <= n; ++b) {
    if (!used_[b]) Problem("PX: block " + std::to_string(b) + " is not in the tree");
  }
  CheckLeaves();
  if (!secondary_) CheckSecondaryIndexes();
  return r_;
}

bool Checker::ReadData() {
  bool found = false;
  std::vector<uint8_t> db = ReadFile(db_path_, &found);
  if (!found) {
    Problem(db_path_ + ": missing");
    return false;
  }
  try {
    h_ = ParseHeader(db, db_path_);
  } catch (const std::exception& e) {
    Problem(e.what());
    return false;
  }
  blocks_ = std::make_unique<Blocks>(std::move(db), h_);
  for (int i = 0; i < h_.key_field_count; ++i) key_size_ += StoredSize(h_.fields[i]);
  if (secondary_) {
    const size_t numbers_at = kHeaderExtendedOffsetBase + GetLe16(h_.raw.data() + kHeaderFieldNumbersOffset);
    size_t offset = 0;
    for (size_t i = 0; i < h_.fields.size() && numbers_at + 2 * i + 2 <= h_.raw.size(); ++i) {
      const size_t size = static_cast<size_t>(StoredSize(h_.fields[i]));
      if ((GetLe16(h_.raw.data() + numbers_at + 2 * i) & kFieldNumberDescending) != 0) descending_.emplace_back(offset, size);
      offset += size;
    }
  }
  if (GetLe16(h_.raw.data() + kHeaderMaxBlocks) != h_.file_blocks) Problem("DB: maxBlocks != fileBlocks");
  if (!blocks_->Present(h_.file_blocks) && h_.file_blocks > 0) Problem("DB: file shorter than fileBlocks");
  return true;
}

void Checker::CheckChain() {
  const int capacity = BlockCapacity(h_.block_size, h_.record_size);
  in_chain_.assign(h_.file_blocks + 2, false);
  uint16_t prev = 0;
  for (uint16_t b = h_.first_block; b != 0;) {
    if (b > h_.file_blocks || !blocks_->Present(b)) {
      Problem("DB: chain reaches block " + std::to_string(b) + " outside fileBlocks");
      break;
    }
    if (in_chain_[b]) {
      Problem("DB: chain loops at block " + std::to_string(b));
      break;
    }
    in_chain_[b] = true;
    const BlockView v = blocks_->View(b);
    const int n = v.count();
    if (n < 1 || n > capacity) {
      Problem("DB: block " + std::to_string(b) + " holds " + std::to_string(n) + " records");
      break;
    }
    if (!blocks_->UsedPartOnDisk(b, n)) {
      Problem("DB: the records of block " + std::to_string(b) + " run past the end of the file");
    }
    if (v.prev() != prev) Problem("DB: block " + std::to_string(b) + " has a wrong back link");
    for (int s = 0; s < n; ++s) {
      keys_.emplace_back(reinterpret_cast<const char*>(v.record(s)), key_size_);
      records_.emplace_back(reinterpret_cast<const char*>(v.record(s)), h_.record_size);
      record_blocks_.push_back(b);
    }
    r_.records += static_cast<uint32_t>(n);
    chain_.push_back(b);
    prev = b;
    b = v.next();
  }
  if (r_.records != h_.num_records) {
    Problem("DB: header says " + std::to_string(h_.num_records) + " records, chain holds " +
            std::to_string(r_.records));
  }
  if (chain_.size() != h_.blocks_in_use) Problem("DB: blocks in use differs from the chain");
  if ((chain_.empty() ? 0 : chain_.back()) != h_.last_block) Problem("DB: lastBlock is not the chain's tail");
  if (chain_.empty() && h_.first_block != 0) Problem("DB: empty chain but firstBlock set");
}

void Checker::CheckFreeList() {
  size_t free_blocks = 0;
  std::vector<bool> seen(h_.file_blocks + 2, false);
  for (uint16_t f = h_.first_free_block; f != 0;) {
    if (f > h_.file_blocks || in_chain_[f] || seen[f] || !blocks_->Present(f) ||
        !blocks_->UsedPartOnDisk(f, 0)) {
      Problem("DB: free list is broken at block " + std::to_string(f));
      break;
    }
    seen[f] = true;
    ++free_blocks;
    f = blocks_->View(f).next();
  }
  if (chain_.size() + free_blocks != h_.file_blocks) {
    Problem("DB: " + std::to_string(h_.file_blocks - chain_.size() - free_blocks) +
            " blocks are neither in the chain nor free");
  }
}

void Checker::CheckKeysAndAutoIncrement() {
  if (h_.key_field_count > 0) {
    for (size_t i = 1; i < keys_.size(); ++i) {
      if (!KeyLess(keys_[i - 1], keys_[i], descending_)) {
        Problem("DB: keys out of order at record " + std::to_string(i));
        break;
      }
    }
  }
  // An X file's counter is not the table's (it copies the key, counter field included).
  for (size_t f = 0; f < h_.fields.size() && !secondary_; ++f) {
    if (h_.fields[f].type != FieldType::kAutoIncrement) continue;
    int off = 0;
    for (size_t i = 0; i < f; ++i) off += StoredSize(h_.fields[i]);
    for (uint16_t b : chain_) {
      const BlockView v = blocks_->View(b);
      for (int s = 0; s < v.count(); ++s) {
        const uint8_t* p = v.record(s) + off;
        if ((p[0] | p[1] | p[2] | p[3]) && GetSortableInt(p, 4) > static_cast<int64_t>(h_.auto_inc)) {
          Problem("DB: autoinc below a stored value");
        }
      }
    }
  }
}

bool Checker::ReadIndex() {
  const std::string px_path = secondary_ ? index_path_ : FindSibling(db_path_, "PX");
  bool found = false;
  std::vector<uint8_t> px = px_path.empty() ? std::vector<uint8_t>() : ReadFile(px_path, &found);
  if (px_path.empty() || !found) {
    Problem("PX: missing");
    return false;
  }
  try {
    ph_ = ParseHeader(px, px_path);
  } catch (const std::exception& e) {
    Problem(e.what());
    return false;
  }
  const uint8_t index_type = !secondary_ ? kFileTypePrimaryIndex
                             : h_.file_type == kFileTypeMaintainedSecondary ? kFileTypeSecondaryIndex
                                                                            : kFileTypeCompositeIndex;
  if (ph_.file_type != index_type) Problem("PX: wrong file type");
  if (ph_.fields.size() != static_cast<size_t>(h_.key_field_count)) Problem("PX: wrong key field count");
  if (ph_.record_size != key_size_ + kIndexEntryTrailer) {
    Problem("PX: wrong entry size");
    return false;
  }
  pblocks_ = std::make_unique<Blocks>(std::move(px), ph_);
  return true;
}

void Checker::CheckIndexHeader() {
  if (!secondary_ && ph_.version != h_.version) Problem("PX: version differs from the DB's");
  if (ph_.sort_order_byte != h_.sort_order_byte) Problem("PX: sort order byte differs from the DB's");
  const uint8_t want_stamp =
      IndexStamp(h_.change_count1, StampOffsetForSortOrder(h_.sort_order_byte, h_.sort_order));
  if (ph_.index_stamp != want_stamp) {
    Problem("PX: validity stamp " + std::to_string(ph_.index_stamp) + ", expected " +
            std::to_string(want_stamp));
  }
  const int n = ph_.file_blocks;
  if (ph_.blocks_in_use != n || ph_.last_block != n || GetLe16(ph_.raw.data() + kHeaderMaxBlocks) != n ||
      ph_.first_block != (n > 0 ? 1 : 0)) {
    Problem("PX: block counters disagree");
  }
}

void Checker::CheckIndexBlockList() {
  // Every PX block, of every level, in one doubly linked list.
  const int n = ph_.file_blocks;
  std::vector<bool> seen(n + 1, false);
  uint16_t back = 0;
  int count = 0;
  for (uint16_t b = ph_.first_block; b != 0; b = pblocks_->View(b).next()) {
    if (b > n || seen[b]) {
      Problem("PX: block list broken");
      break;
    }
    seen[b] = true;
    if (pblocks_->View(b).prev() != back) Problem("PX: wrong back link in block " + std::to_string(b));
    back = b;
    ++count;
  }
  if (count != n) Problem("PX: block list does not hold every block");
}

bool Checker::Walk(uint16_t b, int level, std::string* first, uint32_t* sum) {
  const int n = ph_.file_blocks;
  if (b < 1 || b > n || used_[b]) {
    Problem("PX: tree reaches block " + std::to_string(b) + " twice or outside the file");
    return false;
  }
  used_[b] = true;
  const BlockView v = pblocks_->View(b);
  const int c = v.count();
  if (c < 1 || c > BlockCapacity(ph_.block_size, ph_.record_size) - 1) {
    Problem("PX: block " + std::to_string(b) + " holds " + std::to_string(c) + " entries");
    return false;
  }
  if (!pblocks_->UsedPartOnDisk(b, c)) {
    Problem("PX: the entries of block " + std::to_string(b) + " run past the end of the file");
  }
  entries_ += static_cast<uint32_t>(c);
  uint64_t total = 0;
  for (int i = 0; i < c; ++i) {
    const uint8_t* e = v.record(i);
    const std::string key(reinterpret_cast<const char*>(e), key_size_);
    const auto child = static_cast<uint16_t>(GetSortableInt(e + key_size_, 2));
    const auto count = static_cast<uint32_t>(GetSortableInt(e + key_size_ + 2, 2));
    if (e[key_size_ + 4] != 0x80 || e[key_size_ + 5] != 0) Problem("PX: third word not zero");
    if (i == 0) *first = key;
    if (level == 1) {
      leaves_.push_back(IndexLeafEntry{key, child, count});
    } else {
      std::string child_key;
      uint32_t child_sum = 0;
      if (!Walk(child, level - 1, &child_key, &child_sum)) return false;
      if (child_key != key) Problem("PX: key of block " + std::to_string(child) + " differs from its first key");
      if (child_sum != count) Problem("PX: count of block " + std::to_string(child) + " differs from its entries");
    }
    total += count;
  }
  *sum = static_cast<uint32_t>(std::min<uint64_t>(total, kMaxIndexCount));
  return true;
}

void Checker::CheckLeaves() {
  if (leaves_.size() != chain_.size()) {
    Problem("PX: " + std::to_string(leaves_.size()) + " level-1 entries for " +
            std::to_string(chain_.size()) + " data blocks");
    return;
  }
  for (size_t i = 0; i < chain_.size(); ++i) {
    const BlockView v = blocks_->View(chain_[i]);
    const std::string key(reinterpret_cast<const char*>(v.record(0)), key_size_);
    if (leaves_[i].block != chain_[i]) {
      Problem("PX: level-1 entry " + std::to_string(i) + " points to block " +
              std::to_string(leaves_[i].block) + ", chain has " + std::to_string(chain_[i]));
    } else if (leaves_[i].key != key) {
      Problem("PX: entry of block " + std::to_string(chain_[i]) + " has a stale key");
    } else if (leaves_[i].count != static_cast<uint32_t>(v.count())) {
      Problem("PX: entry of block " + std::to_string(chain_[i]) + " has a stale count");
    }
  }
}

void Checker::CheckSecondaryIndexes() {
  namespace fs = std::filesystem;
  const fs::path db(db_path_);
  auto upper = [](std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string stem = upper(db.stem().string());
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(db.has_parent_path() ? db.parent_path() : ".", ec)) {
    const std::string name = upper(e.path().filename().string());
    if (name.size() != stem.size() + 4 || name.compare(0, stem.size() + 2, stem + ".X") != 0) continue;
    bool found = false;
    const std::vector<uint8_t> head = ReadFile(e.path().string(), &found);
    if (!found || head.size() <= kHeaderFileType) continue;
    const uint8_t type = head[kHeaderFileType];
    if (type != kFileTypeMaintainedSecondary && type != kFileTypeMaintainedComposite) continue;
    CheckSecondaryIndex(e.path().string(), FindSibling(db_path_, name.substr(stem.size() + 1).replace(0, 1, "Y")));
  }
}

void Checker::CheckSecondaryIndex(const std::string& x_path, const std::string& y_path) {
  const std::string name = std::filesystem::path(x_path).filename().string() + ": ";
  if (y_path.empty()) {
    Problem(name + "its Y file is missing");
    return;
  }
  Checker x(x_path, y_path);
  const CheckResult xr = x.Run();
  for (const auto& p : xr.problems) Problem(name + p);
  if (!xr.ok()) return;
  const Header& xh = x.header();
  // The X record each row must have: indexed fields (capitals when case-insensitive), the key,
  // the row's block; sorted by all but the block.
  const uint8_t flags = xh.raw[0x55];
  const int n = static_cast<int>(xh.fields.size());
  const int indexed = n - h_.key_field_count - 1;
  const size_t numbers_at = kHeaderExtendedOffsetBase + GetLe16(xh.raw.data() + kHeaderFieldNumbersOffset);
  // A damaged X header must be reported, not followed: its field numbers index the table's fields.
  if (indexed < 1 || numbers_at + 2 * static_cast<size_t>(n) > xh.raw.size()) {
    Problem(name + "its header does not fit the table (indexed fields or field numbers)");
    return;
  }
  for (int i = 0; i < indexed; ++i) {
    const int f = (GetLe16(xh.raw.data() + numbers_at + 2 * i) & ~kFieldNumberDescending) - 1;
    if (f < 0 || static_cast<size_t>(f) >= h_.fields.size() || xh.fields[i].type != h_.fields[f].type ||
        StoredSize(xh.fields[i]) != StoredSize(h_.fields[f])) {
      Problem(name + "its field " + std::to_string(i + 1) + " is not a field of the table");
      return;
    }
  }
  std::vector<int> offsets(h_.fields.size(), 0);
  for (size_t i = 1; i < h_.fields.size(); ++i) offsets[i] = offsets[i - 1] + StoredSize(h_.fields[i - 1]);
  // Only the drivers whose genuine files are in byte order give a rebuild this checker can make:
  // there a case-insensitive entry has a-z in capitals and every byte from 0x80 up unchanged.
  // Under a collating driver such a byte's capital and place are unknown, so the entry is not
  // judged right.
  const std::string& order = h_.sort_order;
  const bool bytewise = order.empty() || order == "ascii" || order == "DBWINUS0";
  std::vector<std::string> expected;
  for (size_t r = 0; r < records_.size(); ++r) {
    std::string entry;
    for (int i = 0; i < indexed; ++i) {
      const int f = (GetLe16(xh.raw.data() + numbers_at + 2 * i) & ~kFieldNumberDescending) - 1;
      std::string part = records_[r].substr(offsets[f], StoredSize(h_.fields[f]));
      if ((flags & 1) != 0 && h_.fields[f].type == FieldType::kAlpha) {
        for (auto& c : part) {
          const auto b = static_cast<unsigned char>(c);
          if (b >= 0x80 && !bytewise) {
            Problem(name + "a case-insensitive entry holds a byte outside ASCII under sort order " +
                    order + ", whose capitals are not known: it cannot be checked");
            return;
          }
          if (b >= 'a' && b <= 'z') c = static_cast<char>(b - 0x20);
        }
      }
      entry += part;
    }
    entry += records_[r].substr(0, key_size_);
    uint8_t hint[2];
    PutSortableInt(hint, 2, record_blocks_[r]);
    entry.append(reinterpret_cast<const char*>(hint), 2);
    expected.push_back(entry);
  }
  std::vector<std::pair<size_t, size_t>> descending;
  size_t indexed_size = 0;
  for (int i = 0; i < indexed; ++i) {
    const size_t size = static_cast<size_t>(StoredSize(xh.fields[i]));
    if ((GetLe16(xh.raw.data() + numbers_at + 2 * i) & kFieldNumberDescending) != 0) descending.emplace_back(indexed_size, size);
    indexed_size += size;
  }
  std::sort(expected.begin(), expected.end(), [&](const std::string& a, const std::string& b) {
    return KeyLess(std::string_view(a).substr(0, a.size() - 2), std::string_view(b).substr(0, b.size() - 2),
                   descending);
  });
  if ((flags & 0x20) != 0) {
    for (size_t i = 1; i < expected.size(); ++i) {
      if (expected[i - 1].compare(0, indexed_size, expected[i], 0, indexed_size) == 0) {
        Problem(name + "two rows share an entry of a unique index");
        break;
      }
    }
  }
  const std::vector<std::string>& stored = x.records();
  if (stored.size() != expected.size()) {
    Problem(name + std::to_string(stored.size()) + " entries for " + std::to_string(expected.size()) + " rows");
    return;
  }
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i].compare(0, stored[i].size() - 2, expected[i], 0, expected[i].size() - 2) != 0) {
      Problem(name + "entry " + std::to_string(i) + " differs from a rebuild from the rows");
      return;
    }
    if (stored[i] != expected[i]) {
      Problem(name + "entry " + std::to_string(i) + " names the wrong block");
      return;
    }
  }
  const int k = StampOffsetForSortOrder(h_.sort_order_byte, h_.sort_order);
  if (xh.raw[kHeaderSecondaryStamp] != IndexStamp(h_.change_count1, k)) {
    Problem(name + "validity stamp does not follow the table's change counter");
  }
}

}  // namespace

std::string CheckResult::Summary() const {
  std::string s;
  for (const auto& p : problems) s += p + "\n";
  return s;
}

CheckResult CheckTable(const std::string& db_path) { return Checker(db_path).Run(); }

}  // namespace varnholt::paradox
