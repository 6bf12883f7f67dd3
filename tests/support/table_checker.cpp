#include "tests/support/table_checker.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "stores/paradox/block.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/header.h"
#include "stores/paradox/primary_index.h"

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

struct Blocks {
  const std::vector<uint8_t>* file;
  const Header* h;
  BlockView View(uint16_t b) const {
    const size_t off = BlockOffset(h->header_size, h->block_size, b);
    return BlockView(const_cast<uint8_t*>(file->data()) + off, h->record_size);
  }
  bool Present(uint16_t b) const {
    return b >= 1 && BlockOffset(h->header_size, h->block_size, b) + h->block_size <= file->size();
  }
};

}  // namespace

std::string CheckResult::Summary() const {
  std::string s;
  for (const auto& p : problems) s += p + "\n";
  return s;
}

CheckResult CheckTable(const std::string& db_path) {
  CheckResult r;
  auto problem = [&](const std::string& p) { r.problems.push_back(p); };
  bool found = false;
  const std::vector<uint8_t> db = ReadFile(db_path, &found);
  if (!found) {
    problem(db_path + ": missing");
    return r;
  }
  Header h;
  try {
    h = ParseHeader(db, db_path);
  } catch (const std::exception& e) {
    problem(e.what());
    return r;
  }
  const int rs = h.record_size;
  const int capacity = BlockCapacity(h.block_size, rs);
  Blocks blocks{&db, &h};
  if (GetU16(h.raw.data() + kHeaderMaxBlocks) != h.file_blocks) problem("DB: maxBlocks != fileBlocks");
  if (!blocks.Present(h.file_blocks) && h.file_blocks > 0) problem("DB: file shorter than fileBlocks");
  std::vector<uint16_t> chain;
  std::vector<bool> in_chain(h.file_blocks + 2, false);
  std::vector<std::string> keys;
  int key_size = 0;
  for (int i = 0; i < h.key_field_count; ++i) key_size += StoredSize(h.fields[i]);
  uint16_t prev = 0;
  for (uint16_t b = h.first_block; b != 0;) {
    if (b > h.file_blocks || !blocks.Present(b)) {
      problem("DB: chain reaches block " + std::to_string(b) + " outside fileBlocks");
      break;
    }
    if (in_chain[b]) {
      problem("DB: chain loops at block " + std::to_string(b));
      break;
    }
    in_chain[b] = true;
    const BlockView v = blocks.View(b);
    const int n = v.count();
    if (n < 1 || n > capacity) {
      problem("DB: block " + std::to_string(b) + " holds " + std::to_string(n) + " records");
      break;
    }
    if (v.prev() != prev) problem("DB: block " + std::to_string(b) + " has a wrong back link");
    for (int s = 0; s < n; ++s) {
      keys.emplace_back(reinterpret_cast<const char*>(v.record(s)), key_size);
    }
    r.records += static_cast<uint32_t>(n);
    chain.push_back(b);
    prev = b;
    b = v.next();
  }
  if (r.records != h.num_records) {
    problem("DB: header says " + std::to_string(h.num_records) + " records, chain holds " +
            std::to_string(r.records));
  }
  if (chain.size() != h.blocks_in_use) problem("DB: blocks in use differs from the chain");
  if ((chain.empty() ? 0 : chain.back()) != h.last_block) problem("DB: lastBlock is not the chain's tail");
  if (chain.empty() && h.first_block != 0) problem("DB: empty chain but firstBlock set");
  size_t free_blocks = 0;
  {
    std::vector<bool> seen(h.file_blocks + 2, false);
    for (uint16_t f = h.first_free_block; f != 0;) {
      if (f > h.file_blocks || in_chain[f] || seen[f] || !blocks.Present(f)) {
        problem("DB: free list is broken at block " + std::to_string(f));
        break;
      }
      seen[f] = true;
      ++free_blocks;
      f = blocks.View(f).next();
    }
  }
  if (chain.size() + free_blocks != h.file_blocks) {
    problem("DB: " + std::to_string(h.file_blocks - chain.size() - free_blocks) +
            " blocks are neither in the chain nor free");
  }
  if (h.key_field_count > 0) {
    for (size_t i = 1; i < keys.size(); ++i) {
      if (keys[i - 1] >= keys[i]) {
        problem("DB: keys out of order at record " + std::to_string(i));
        break;
      }
    }
  }
  for (size_t f = 0; f < h.fields.size(); ++f) {
    if (h.fields[f].type != FieldType::kAutoIncrement) continue;
    int off = 0;
    for (size_t i = 0; i < f; ++i) off += StoredSize(h.fields[i]);
    for (uint16_t b : chain) {
      const BlockView v = blocks.View(b);
      for (int s = 0; s < v.count(); ++s) {
        const uint8_t* p = v.record(s) + off;
        if ((p[0] | p[1] | p[2] | p[3]) && DecodeInt(p, 4) > static_cast<int64_t>(h.auto_inc)) {
          problem("DB: autoinc below a stored value");
        }
      }
    }
  }
  if (h.key_field_count == 0) return r;

  // The primary index.
  const std::string px_path = FindSibling(db_path, "PX");
  const std::vector<uint8_t> px = px_path.empty() ? std::vector<uint8_t>() : ReadFile(px_path, &found);
  if (px_path.empty() || !found) {
    problem("PX: missing");
    return r;
  }
  Header ph;
  try {
    ph = ParseHeader(px, px_path);
  } catch (const std::exception& e) {
    problem(e.what());
    return r;
  }
  if (ph.file_type != kFileTypePrimaryIndex) problem("PX: wrong file type");
  if (ph.fields.size() != static_cast<size_t>(h.key_field_count)) problem("PX: wrong key field count");
  if (ph.record_size != key_size + kIndexEntryTrailer) {
    problem("PX: wrong entry size");
    return r;
  }
  if (ph.version != h.version) problem("PX: version differs from the DB's");
  if (ph.sort_order_byte != h.sort_order_byte) problem("PX: sort order byte differs from the DB's");
  const uint8_t want_stamp =
      IndexStamp(h.change_count1, StampOffsetForSortOrder(h.sort_order_byte, h.sort_order));
  if (ph.index_stamp != want_stamp) {
    problem("PX: validity stamp " + std::to_string(ph.index_stamp) + ", expected " +
            std::to_string(want_stamp));
  }
  const int n = ph.file_blocks;
  if (ph.blocks_in_use != n || ph.last_block != n || GetU16(ph.raw.data() + kHeaderMaxBlocks) != n ||
      ph.first_block != (n > 0 ? 1 : 0)) {
    problem("PX: block counters disagree");
  }
  Blocks pblocks{&px, &ph};
  if (n > 0 && !pblocks.Present(static_cast<uint16_t>(n))) problem("PX: file shorter than its blocks");
  r.index_levels = ph.index_levels;
  if (n == 0) {
    if (ph.index_levels != 0 || ph.num_records != 0 || !chain.empty()) {
      problem("PX: empty index for a table with records");
    }
    return r;
  }
  if (!r.problems.empty() && !pblocks.Present(static_cast<uint16_t>(n))) return r;
  {  // the list of all PX blocks
    std::vector<bool> seen(n + 1, false);
    uint16_t back = 0;
    int count = 0;
    for (uint16_t b = ph.first_block; b != 0; b = pblocks.View(b).next()) {
      if (b > n || seen[b]) {
        problem("PX: block list broken");
        break;
      }
      seen[b] = true;
      if (pblocks.View(b).prev() != back) problem("PX: wrong back link in block " + std::to_string(b));
      back = b;
      ++count;
    }
    if (count != n) problem("PX: block list does not hold every block");
  }
  const int pcap = BlockCapacity(ph.block_size, ph.record_size);
  uint32_t entries = 0;
  std::vector<IndexLeafEntry> leaves;
  std::vector<bool> used(n + 1, false);
  // Returns false on a structural fault; fills first key and count.
  std::function<bool(uint16_t, int, std::string*, uint32_t*)> walk =
      [&](uint16_t b, int level, std::string* first, uint32_t* sum) -> bool {
    if (b < 1 || b > n || used[b]) {
      problem("PX: tree reaches block " + std::to_string(b) + " twice or outside the file");
      return false;
    }
    used[b] = true;
    const BlockView v = pblocks.View(b);
    const int c = v.count();
    if (c < 1 || c > pcap - 1) {
      problem("PX: block " + std::to_string(b) + " holds " + std::to_string(c) + " entries");
      return false;
    }
    entries += static_cast<uint32_t>(c);
    uint64_t total = 0;
    for (int i = 0; i < c; ++i) {
      const uint8_t* e = v.record(i);
      const std::string key(reinterpret_cast<const char*>(e), key_size);
      const auto child = static_cast<uint16_t>(DecodeInt(e + key_size, 2));
      const auto count = static_cast<uint32_t>(DecodeInt(e + key_size + 2, 2));
      if (e[key_size + 4] != 0x80 || e[key_size + 5] != 0) problem("PX: third word not zero");
      if (i == 0) *first = key;
      if (level == 1) {
        leaves.push_back(IndexLeafEntry{key, child, count});
      } else {
        std::string child_key;
        uint32_t child_sum = 0;
        if (!walk(child, level - 1, &child_key, &child_sum)) return false;
        if (child_key != key) problem("PX: key of block " + std::to_string(child) + " differs from its first key");
        if (child_sum != count) problem("PX: count of block " + std::to_string(child) + " differs from its entries");
      }
      total += count;
    }
    *sum = static_cast<uint32_t>(std::min<uint64_t>(total, kMaxIndexCount));
    return true;
  };
  std::string first;
  uint32_t sum = 0;
  if (ph.index_levels < 1 || !walk(ph.index_root, ph.index_levels, &first, &sum)) {
    if (ph.index_levels < 1) problem("PX: no levels");
    return r;
  }
  if (entries != ph.num_records) problem("PX: header entry count differs from the tree");
  for (int b = 1; b <= n; ++b) {
    if (!used[b]) problem("PX: block " + std::to_string(b) + " is not in the tree");
  }
  if (leaves.size() != chain.size()) {
    problem("PX: " + std::to_string(leaves.size()) + " level-1 entries for " +
            std::to_string(chain.size()) + " data blocks");
    return r;
  }
  for (size_t i = 0; i < chain.size(); ++i) {
    const BlockView v = blocks.View(chain[i]);
    const std::string key(reinterpret_cast<const char*>(v.record(0)), key_size);
    if (leaves[i].block != chain[i]) {
      problem("PX: level-1 entry " + std::to_string(i) + " points to block " +
              std::to_string(leaves[i].block) + ", chain has " + std::to_string(chain[i]));
    } else if (leaves[i].key != key) {
      problem("PX: entry of block " + std::to_string(chain[i]) + " has a stale key");
    } else if (leaves[i].count != static_cast<uint32_t>(v.count())) {
      problem("PX: entry of block " + std::to_string(chain[i]) + " has a stale count");
    }
  }
  return r;
}

}  // namespace varnholt::paradox
