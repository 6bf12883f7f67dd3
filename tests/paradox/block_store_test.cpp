// The block store on its own, over .DB files the engine wrote: a short last block reads as zeros
// and stays short, bytes another program put past the blocks survive a write, growing never moves
// a block held, and a file with more blocks than a table can have is refused before it is read.
#include "stores/paradox/block_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/os/os_file.h"
#include "paradox_test_util.h"
#include "stores/paradox/block.h"
#include "stores/paradox/header.h"
#include "tests/support/file_bytes.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

using varnholt::testing::FileBytes;
using varnholt::testing::WriteBytes;

// A table of `records` rows written by the engine; its header in *header.
std::string MakeTable(const ScratchDir& dir, int records, Header* header) {
  const std::string path = dir.File("T.DB");
  Table::Create(path, testing::SmallSchema());
  {
    auto table = Table::Open(path, true);
    for (int i = 0; i < records; ++i) table->Insert(testing::SmallRecord("K" + std::to_string(100 + i), "n"));
    table->Save();
  }
  *header = ParseHeader(FileBytes(path), path);
  return path;
}

void Read(BlockStore* store, const std::string& path, const Header& h) {
  const OsFile file = OsFile::Open(path, false);
  store->Read(file, h.header_size, h.block_size, fs::file_size(path), path);
}

TEST(BlockStoreTest, AShortLastBlockReadsAsZerosAndStaysShortWhileOnlyZerosFollowIt) {
  ScratchDir dir;
  Header h;
  const std::string path = MakeTable(dir, 3, &h);
  ASSERT_EQ(h.file_blocks, 1);
  const size_t used = kBlockHeaderSize + 3u * h.record_size;
  auto bytes = FileBytes(path);
  bytes.resize(h.header_size + used);  // cut right after the last record
  WriteBytes(path, bytes);

  BlockStore store;
  Read(&store, path, h);
  EXPECT_EQ(store.physical_blocks(), 1u);
  EXPECT_EQ(store.body_size(), used);
  const uint8_t* block = store.Data(1);
  EXPECT_EQ(std::memcmp(block, bytes.data() + h.header_size, used), 0);
  for (size_t i = used; i < static_cast<size_t>(h.block_size); ++i) ASSERT_EQ(block[i], 0) << i;

  auto used_bytes = [&](uint16_t) { return used; };
  {
    OsFile file = OsFile::Open(path, true);
    store.Write(&file, h.header_size, 1, used_bytes);
  }
  EXPECT_EQ(FileBytes(path), bytes);  // nothing but zeros past the old end: still short

  // A byte set past the old end is written, and the block only as far as it.
  store.Data(1)[used + 10] = 0x5A;
  {
    OsFile file = OsFile::Open(path, true);
    store.Write(&file, h.header_size, 1, used_bytes);
  }
  const auto grown = FileBytes(path);
  ASSERT_EQ(grown.size(), h.header_size + used + 11);
  EXPECT_EQ(grown.back(), 0x5A);
}

TEST(BlockStoreTest, BytesPastTheBlocksTheHeaderCountsSurviveAWrite) {
  ScratchDir dir;
  Header h;
  const std::string path = MakeTable(dir, 2, &h);
  auto bytes = FileBytes(path);
  ASSERT_EQ(h.file_blocks, 1);
  ASSERT_LE(bytes.size(), h.header_size + static_cast<size_t>(h.block_size));
  bytes.resize(h.header_size + static_cast<size_t>(h.block_size));  // block 1 whole
  // Longer than a block header, which a block past the counted ones keeps at the least.
  const std::vector<uint8_t> tail = {'a', 'n', 'o', 't', 'h', 'e', 'r', '!'};
  bytes.insert(bytes.end(), tail.begin(), tail.end());  // another program's bytes after block 1
  WriteBytes(path, bytes);

  BlockStore store;
  Read(&store, path, h);
  EXPECT_EQ(store.physical_blocks(), 2u);
  store.Data(1)[kBlockHeaderSize] = 'X';  // a change inside the counted block
  {
    OsFile file = OsFile::Open(path, true);
    store.Write(&file, h.header_size, h.file_blocks, [](uint16_t) { return kBlockHeaderSize; });
  }
  const auto written = FileBytes(path);
  ASSERT_EQ(written.size(), bytes.size());
  EXPECT_EQ(written[h.header_size + kBlockHeaderSize], 'X');
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), written.end() - static_cast<std::ptrdiff_t>(tail.size())));
}

TEST(BlockStoreTest, GrowingKeepsEveryHeldBlockInPlaceAndWritesTheNewOnes) {
  ScratchDir dir;
  Header h;
  const std::string path = MakeTable(dir, 1, &h);
  BlockStore store;
  Read(&store, path, h);
  uint8_t* first = store.Data(1);
  first[kBlockHeaderSize] = 'Q';
  constexpr uint16_t kGrown = 200;  // past several chunks of blocks
  store.Hold(kGrown);
  EXPECT_EQ(store.Data(1), first);
  EXPECT_EQ(first[kBlockHeaderSize], 'Q');
  for (uint16_t b = 2; b <= kGrown; ++b) {
    std::memset(store.Data(b), 0, h.block_size);
    store.Data(b)[0] = static_cast<uint8_t>(b);
  }
  {
    OsFile file = OsFile::Open(path, true);
    store.Write(&file, h.header_size, kGrown, [&](uint16_t) { return static_cast<size_t>(h.block_size); });
  }
  const auto written = FileBytes(path);
  ASSERT_EQ(written.size(), h.header_size + static_cast<size_t>(kGrown) * h.block_size);
  for (uint16_t b = 2; b <= kGrown; ++b) {
    ASSERT_EQ(written[BlockOffset(h.header_size, h.block_size, b)], static_cast<uint8_t>(b)) << b;
  }
  EXPECT_EQ(store.physical_blocks(), kGrown);
}

TEST(BlockStoreTest, AFileWithMoreBlocksThanATableCanHaveIsRefusedByName) {
  ScratchDir dir;
  Header h;
  const std::string path = MakeTable(dir, 1, &h);
  constexpr size_t kSmallestBlock = 1024;
  // One block more than block numbers reach, the last one partial (sparse where the system can).
  fs::resize_file(path, h.header_size + kMaxBlocks * kSmallestBlock + 1);
  BlockStore store;
  try {
    const OsFile file = OsFile::Open(path, false);
    store.Read(file, h.header_size, kSmallestBlock, fs::file_size(path), path);
    ADD_FAILURE() << "read";
  } catch (const EngineError& e) {
    EXPECT_EQ(std::string(e.what()), path + ": damaged (more blocks than a table can have)");
  }
}

}  // namespace
}  // namespace varnholt::paradox
