// The block chain on its own, over the blocks of tables our engine wrote: a block exactly full and
// one record over, chains that loop or leave the file, counters that lag behind a sound chain, and
// records placed into full blocks.
#include "base/byte_coding.h"
#include "stores/paradox/block_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "base/os/os_file.h"
#include "paradox_test_util.h"
#include "stores/paradox/block.h"
#include "stores/paradox/block_store.h"
#include "stores/paradox/header.h"
#include "tests/support/file_bytes.h"

namespace varnholt::paradox {
namespace {

using testing::ScratchDir;
using testing::SmallRecord;
using testing::SmallSchema;

constexpr int kKeySize = 10;  // SmallSchema's key: Code A10

using varnholt::testing::FileBytes;
using varnholt::testing::WriteBytes;

std::string Code(int i) { return "K" + std::to_string(10000 + i); }

// A keyed table of `records` rows (codes in ascending order), written by the engine.
std::string MakeTable(const ScratchDir& dir, const std::string& name, int records) {
  const std::string path = dir.File(name);
  Table::Create(path, SmallSchema());
  auto table = Table::Open(path, true);
  for (int i = 0; i < records; ++i) table->Insert(SmallRecord(Code(i), "n"));
  table->Save();
  return path;
}

// The chain of one .DB as the engine loads it: its header, its blocks, the chain over them.
struct LoadedChain {
  explicit LoadedChain(const std::string& db) : path(db) {
    const std::vector<uint8_t> bytes = FileBytes(path);
    header = ParseHeader(bytes, path);
    const OsFile file = OsFile::Open(path, false);
    store.Read(file, header.header_size, header.block_size, bytes.size(), path);
  }
  bool Walk(bool writable) { return chain.Walk(header, kKeySize, writable); }
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    chain.ForEachKey(kKeySize, static_cast<RowId>(-1), [&](std::string_view key) {
      keys.emplace_back(key.substr(0, key.find('\0')));
      return true;
    });
    return keys;
  }

  std::string path;
  Header header;
  BlockStore store;
  std::optional<PrimaryIndex> index;
  BlockChain chain{path, &store, &header, &index};
};

// The offset of block `block` in the file.
size_t At(const Header& h, uint16_t block) { return BlockOffset(h.header_size, h.block_size, block); }

void PutU16At(std::vector<uint8_t>* bytes, size_t at, uint16_t value) { PutLe16(bytes->data() + at, value); }

// The EngineError text of opening the chain of `path` (empty when it opens).
std::string WalkError(const std::string& path, bool writable) {
  try {
    LoadedChain loaded(path);
    loaded.Walk(writable);
    return "";
  } catch (const EngineError& e) {
    return e.what();
  }
}

// Writes what `loaded` holds in memory (header counters and blocks) back to its .DB.
void WriteBack(LoadedChain* loaded) {
  loaded->chain.RepairCounters();
  StoreCounters(&loaded->header);
  OsFile file = OsFile::Open(loaded->path, true);
  file.WriteAt(0, loaded->header.raw.data(), loaded->header.raw.size());
  loaded->store.Write(&file, loaded->header.header_size, loaded->header.file_blocks,
                      [&](uint16_t block) { return loaded->chain.UsedBytes(block); });
}

int Capacity(const std::string& path) {
  const Header h = ParseHeader(FileBytes(path), path);
  return BlockCapacity(h.block_size, h.record_size);
}

TEST(BlockChainTest, ABlockExactlyFullIsOneBlockAndOneRecordOverStartsTheNext) {
  ScratchDir dir;
  const int capacity = Capacity(MakeTable(dir, "PROBE.DB", 0));
  ASSERT_GT(capacity, 2);

  LoadedChain full(MakeTable(dir, "FULL.DB", capacity));
  EXPECT_FALSE(full.Walk(true));  // the engine's own counters agree with its chain
  ASSERT_EQ(full.chain.blocks().size(), 1u);
  EXPECT_EQ(full.chain.BlockCount(full.chain.blocks()[0]), capacity);
  EXPECT_EQ(full.chain.UsedBytes(full.chain.blocks()[0]), static_cast<size_t>(full.header.block_size) -
                                                             (full.header.block_size - kBlockHeaderSize) %
                                                                 full.header.record_size);

  LoadedChain over(MakeTable(dir, "OVER.DB", capacity + 1));
  EXPECT_FALSE(over.Walk(true));
  ASSERT_EQ(over.chain.blocks().size(), 2u);
  EXPECT_EQ(over.chain.BlockCount(over.chain.blocks()[0]), capacity);
  EXPECT_EQ(over.chain.BlockCount(over.chain.blocks()[1]), 1);
  EXPECT_EQ(over.Keys().back(), Code(capacity));
  EXPECT_EQ(over.chain.RecordCount(), static_cast<size_t>(capacity + 1));

  // A count of one record more than a block holds is no count at all.
  const std::string path = dir.File("FULL.DB");
  auto bytes = FileBytes(path);
  const Header h = ParseHeader(bytes, path);
  PutU16At(&bytes, At(h, 1) + kBlockLastOffset, static_cast<uint16_t>(capacity * h.record_size));
  WriteBytes(path, bytes);
  EXPECT_NE(WalkError(path, false).find("block 1 (impossible record count)"), std::string::npos);
}

TEST(BlockChainTest, AFileCutAtTheLastRecordOpensAndOneByteShorterDoesNot) {
  ScratchDir dir;
  const int capacity = Capacity(MakeTable(dir, "PROBE.DB", 0));
  const std::string path = MakeTable(dir, "T.DB", capacity + 3);  // block 2 holds three records
  auto bytes = FileBytes(path);
  const Header h = ParseHeader(bytes, path);
  const size_t records_end = At(h, 2) + kBlockHeaderSize + 3u * h.record_size;
  ASSERT_GE(bytes.size(), records_end);
  bytes.resize(records_end);
  WriteBytes(path, bytes);
  LoadedChain cut(path);
  cut.Walk(false);
  EXPECT_EQ(cut.Keys().size(), static_cast<size_t>(capacity + 3));
  EXPECT_EQ(cut.Keys().back(), Code(capacity + 2));

  bytes.pop_back();
  WriteBytes(path, bytes);
  const std::string error = WalkError(path, false);
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_NE(error.find("block 2 ends early"), std::string::npos) << error;
}

TEST(BlockChainTest, AChainThatLoopsOrLeavesTheFileIsRefusedByName) {
  ScratchDir dir;
  const int capacity = Capacity(MakeTable(dir, "PROBE.DB", 0));
  const std::string sound_path = MakeTable(dir, "SOUND.DB", capacity * 3);
  const auto sound = FileBytes(sound_path);
  const Header h = ParseHeader(sound, sound_path);
  ASSERT_EQ(h.file_blocks, 3);
  struct Case {
    const char* name;
    uint16_t block;  // whose next pointer is damaged
    uint16_t next;
    const char* expect;
  };
  const Case cases[] = {
      {"SELF.DB", 2, 2, "returns to block 2"},
      {"BACK.DB", 3, 1, "returns to block 1"},
      {"PAST.DB", 3, 4, "reaches block 4 but the file holds 3"},
      {"FAR.DB", 1, 0xFFFF, "reaches block 65535"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = sound;
    PutU16At(&bytes, At(h, c.block) + kBlockNext, c.next);
    const std::string path = dir.File(c.name);
    WriteBytes(path, bytes);
    for (bool writable : {false, true}) {
      const std::string error = WalkError(path, writable);
      EXPECT_NE(error.find(path), std::string::npos) << error;
      EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    }
  }
  // The header's own head of the chain past the file.
  auto bytes = sound;
  PutU16At(&bytes, kHeaderFirstBlock, 9);
  WriteBytes(dir.File("HEAD.DB"), bytes);
  EXPECT_NE(WalkError(dir.File("HEAD.DB"), false).find("reaches block 9"), std::string::npos);
}

TEST(BlockChainTest, LaggingCountersAreStaleNotBrokenAndRepairPutsThemRight) {
  ScratchDir dir;
  const int capacity = Capacity(MakeTable(dir, "PROBE.DB", 0));
  const std::string path = MakeTable(dir, "T.DB", capacity * 3);
  auto bytes = FileBytes(path);
  const Header h = ParseHeader(bytes, path);
  PutU16At(&bytes, At(h, 3) + kBlockPrev, 1);    // back link skips block 2
  PutLe32(bytes.data() + kHeaderNumRecords, 5);     // record count behind
  PutU16At(&bytes, kHeaderFirstFreeBlock, 2);    // free list into the chain
  WriteBytes(path, bytes);

  LoadedChain loaded(path);
  EXPECT_TRUE(loaded.Walk(true));
  EXPECT_EQ(loaded.chain.RecordCount(), static_cast<size_t>(capacity * 3));
  loaded.chain.RepairCounters();
  EXPECT_EQ(loaded.header.num_records, static_cast<uint32_t>(capacity * 3));
  EXPECT_EQ(loaded.header.first_free_block, 0);
  EXPECT_EQ(BlockView(loaded.store.Data(3), h.record_size).prev(), 2);
  EXPECT_FALSE(loaded.chain.Walk(loaded.header, kKeySize, true));

  // A free list that loops back on itself is stale too, and walking it ends.
  const std::string empty_path = MakeTable(dir, "FREE.DB", capacity * 2);
  {
    auto table = Table::Open(empty_path, true);
    std::vector<RowId> rows = table->Rows();
    // Emptying the second block frees it.
    for (int i = capacity; i < capacity * 2; ++i) {
      Record r = table->Get(rows[i]);
      r[0] = std::string("A") + std::to_string(i);  // moves it before the first block's keys
      table->Update(rows[i], r);
    }
    table->Save();
  }
  bytes = FileBytes(empty_path);
  const Header fh = ParseHeader(bytes, empty_path);
  ASSERT_NE(fh.first_free_block, 0);
  PutU16At(&bytes, At(fh, fh.first_free_block) + kBlockNext, fh.first_free_block);
  WriteBytes(empty_path, bytes);
  LoadedChain looped(empty_path);
  EXPECT_TRUE(looped.Walk(true));
}

TEST(BlockChainTest, AnEmptyBlockInsideTheChainIsReadButNotWritten) {
  ScratchDir dir;
  const int capacity = Capacity(MakeTable(dir, "PROBE.DB", 0));
  const std::string path = MakeTable(dir, "T.DB", capacity * 3);
  auto bytes = FileBytes(path);
  const Header h = ParseHeader(bytes, path);
  PutU16At(&bytes, At(h, 2) + kBlockLastOffset, static_cast<uint16_t>(-h.record_size));  // no records
  WriteBytes(path, bytes);
  LoadedChain reading(path);
  EXPECT_TRUE(reading.Walk(false));
  EXPECT_EQ(reading.chain.RecordCount(), static_cast<size_t>(capacity * 2));
  EXPECT_NE(WalkError(path, true).find("block 2 in the chain holds no records"), std::string::npos);
}

TEST(BlockChainTest, RecordsPlacedIntoFullBlocksKeepKeyOrderAndSurviveAWalk) {
  ScratchDir dir;
  const int capacity = Capacity(MakeTable(dir, "PROBE.DB", 0));
  // Three full blocks with every other code, so new codes fall between them.
  const std::string path = dir.File("T.DB");
  Table::Create(path, SmallSchema());
  std::set<std::string> expected;
  {
    auto table = Table::Open(path, true);
    for (int i = 0; i < capacity * 3; ++i) {
      table->Insert(SmallRecord(Code(2 * i), "n"));
      expected.insert(Code(2 * i));
    }
    table->Save();
  }
  LoadedChain loaded(path);
  loaded.Walk(true);
  ASSERT_EQ(loaded.chain.blocks().size(), 3u);
  const Header& h = loaded.header;
  auto place = [&](const std::string& code) {
    std::vector<uint8_t> raw(h.record_size, 0);
    std::copy(code.begin(), code.end(), raw.begin());
    size_t pos = 0;
    int slot = 0;
    RowId duplicate = 0;
    loaded.chain.Locate(loaded.chain.KeyOf(raw.data()), &pos, &slot, &duplicate);
    ASSERT_EQ(duplicate, static_cast<RowId>(-1)) << code;
    const RowId row = loaded.chain.Insert(pos, slot, raw);
    EXPECT_EQ(loaded.chain.KeyOf(loaded.chain.RecordBytes(row)).substr(0, code.size()), code);
    expected.insert(code);
  };
  // Into the middle block at its first slot, its middle and its end; then before every key and
  // after every key (the tail block).
  place(Code(2 * capacity + 1));
  place(Code(3 * capacity + 1));
  place(Code(4 * capacity - 1));
  place("A");
  place("Z");
  for (int i = 0; i < capacity; ++i) place(Code(2 * i + 1));
  EXPECT_NO_THROW(loaded.chain.CheckKeyOrder());
  EXPECT_EQ(loaded.Keys(), std::vector<std::string>(expected.begin(), expected.end()));
  for (uint16_t b : loaded.chain.blocks()) {
    EXPECT_GE(loaded.chain.BlockCount(b), 1);
    EXPECT_LE(loaded.chain.BlockCount(b), capacity);
  }
  // A duplicate is found where it stands.
  std::vector<uint8_t> raw(h.record_size, 0);
  const std::string again = Code(2 * capacity + 1);
  std::copy(again.begin(), again.end(), raw.begin());
  size_t pos = 0;
  int slot = 0;
  RowId duplicate = static_cast<RowId>(-1);
  loaded.chain.Locate(loaded.chain.KeyOf(raw.data()), &pos, &slot, &duplicate);
  ASSERT_NE(duplicate, static_cast<RowId>(-1));
  EXPECT_EQ(loaded.chain.KeyOf(loaded.chain.RecordBytes(duplicate)).substr(0, again.size()), again);

  // The blocks as placed read back as the same chain.
  WriteBack(&loaded);
  LoadedChain again_loaded(path);
  EXPECT_FALSE(again_loaded.Walk(true));
  EXPECT_NO_THROW(again_loaded.chain.CheckKeyOrder());
  EXPECT_EQ(again_loaded.Keys(), std::vector<std::string>(expected.begin(), expected.end()));
}

TEST(BlockChainTest, MovingEveryRecordOfABlockAwayFreesItAndKeepsTheChainWhole) {
  ScratchDir dir;
  const int capacity = Capacity(MakeTable(dir, "PROBE.DB", 0));
  LoadedChain loaded(MakeTable(dir, "T.DB", capacity * 3));
  loaded.Walk(true);
  EXPECT_NO_THROW(loaded.chain.CheckKeyOrder());
  const std::vector<uint16_t> before = loaded.chain.blocks();
  ASSERT_EQ(before.size(), 3u);
  // Move each record of the first block to the end of the table, under a new key.
  const std::vector<RowId> first_rows = loaded.chain.rows_of(before[0]);
  for (RowId row : first_rows) {
    std::vector<uint8_t> raw(loaded.chain.RecordBytes(row), loaded.chain.RecordBytes(row) + loaded.header.record_size);
    raw[0] = 'Z';
    size_t pos = 0;
    int slot = 0;
    RowId duplicate = 0;
    loaded.chain.Locate(loaded.chain.KeyOf(raw.data()), &pos, &slot, &duplicate);
    loaded.chain.Move(row, pos, slot, raw);
    EXPECT_EQ(loaded.chain.RecordBytes(row)[0], 'Z');
  }
  EXPECT_EQ(loaded.chain.RecordCount(), static_cast<size_t>(capacity * 3));
  EXPECT_NO_THROW(loaded.chain.CheckKeyOrder());
  // The head stays the head; a block went to the free list.
  EXPECT_EQ(loaded.chain.blocks().front(), before[0]);
  EXPECT_NE(loaded.header.first_free_block, 0);
  WriteBack(&loaded);
  LoadedChain reloaded(loaded.path);
  EXPECT_FALSE(reloaded.Walk(true));
  EXPECT_EQ(reloaded.chain.RecordCount(), static_cast<size_t>(capacity * 3));
  EXPECT_EQ(reloaded.Keys(), loaded.Keys());
}

}  // namespace
}  // namespace varnholt::paradox
