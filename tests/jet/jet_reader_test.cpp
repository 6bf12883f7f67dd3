// What the Jet reader does beyond what mdb-export can confirm: deleted and moved rows, the Jet 3
// password, encoded pages, damaged structures, and the text forms no oracle prints.
#include <gtest/gtest.h>

#include <sstream>

#include "base/store_error.h"
#include "stores/jet/jet_database.h"
#include "stores/jet/jet_format.h"
#include "stores/jet/jet_text.h"
#include "stores/jet/value_text.h"
#include "tests/jet/jet_test_files.h"
#include "tests/jet/oracle_compare.h"
#include "tools/jet-dump/jet_dump.h"

namespace varnholt {
namespace {

using jet::Cell;

constexpr size_t kRowCount = 0x0C;
constexpr size_t kRowOffsets = 0x0E;
constexpr uint16_t kDeletedFlags = 0xC000;  // as Access marks a deleted row
constexpr uint16_t kMovedRowFlag = 0x8000;
constexpr uint16_t kStubFlag = 0x4000;

std::string Failure(const std::function<void()>& read) {
  try {
    read();
  } catch (const StoreError& e) {
    return e.what();
  }
  return "(read)";
}

std::vector<int64_t> Ids(const std::string& path, const std::string& password = "") {
  const TableSnapshot t = JetDatabase::Open(path, password)->ReadTable("T");
  std::vector<int64_t> ids;
  for (int r = 0; r < t.RowCount(); ++r) ids.push_back(t.Value(r, 0).integer);
  return ids;
}

// A table T of `rows` rows (Id 0.., a name) on one data page.
std::string SmallTable(const ScratchDir& dir, int rows) {
  std::vector<std::vector<Cell>> cells;
  for (int i = 0; i < rows; ++i) cells.push_back({Cell{int64_t{i}}, Cell{"name " + std::to_string(i)}});
  const std::string path = dir.File("t.mdb");
  jet::WriteDatabase(path, {{"T", {{"Id", jet::ColumnType::kLong}, {"Name", jet::ColumnType::kText, 20}}, cells}});
  return path;
}

size_t OffsetEntry(uint32_t page, unsigned row) { return page * kJet4Page + kRowOffsets + 2 * row; }

TEST(JetReaderTest, DeletedRowsAreLeftOutAsMdbExportLeavesThemOut) {
  ScratchDir dir;
  const std::string path = SmallTable(dir, 8);
  std::string bytes = ReadBytes(path);
  const uint32_t page = DataPagesOf(bytes, kFirstTableDefinition).at(0);
  for (unsigned row : {2u, 5u})
    PutLe16(bytes.data() + OffsetEntry(page, row), GetLe16(bytes.data() + OffsetEntry(page, row)) | kDeletedFlags);
  WriteBytes(path, bytes);
  EXPECT_EQ(Ids(path), (std::vector<int64_t>{0, 1, 3, 4, 6, 7}));
  EXPECT_EQ(ExpectSameAsMdbExport(path, ""), 6);
}

TEST(JetReaderTest, MovedRowIsReadAtItsOwnPlace) {
  // Row 1 moved: its place keeps a stub pointing to row 4, which is marked so scans pass it by.
  // (libmdb drops the stub and reads row 4 where it lies: 0, 2, 3, 4.)
  ScratchDir dir;
  const std::string path = SmallTable(dir, 5);
  std::string bytes = ReadBytes(path);
  const uint32_t page = DataPagesOf(bytes, kFirstTableDefinition).at(0);
  const uint16_t stub = GetLe16(bytes.data() + OffsetEntry(page, 1));
  PutLe16(bytes.data() + OffsetEntry(page, 1), stub | kStubFlag);
  PutLe32(bytes.data() + page * kJet4Page + stub, page << 8 | 4);
  std::string moved = bytes;
  PutLe16(moved.data() + OffsetEntry(page, 4), GetLe16(bytes.data() + OffsetEntry(page, 4)) | kMovedRowFlag);
  WriteBytes(path, moved);
  EXPECT_EQ(Ids(path), (std::vector<int64_t>{0, 4, 2, 3}));

  // A stub pointing to a row not marked as moved, or past the file, is passed by like a deleted
  // row, and the row it names is read where it lies.
  WriteBytes(path, bytes);
  EXPECT_EQ(Ids(path), (std::vector<int64_t>{0, 2, 3, 4}));
  PutLe32(moved.data() + page * kJet4Page + stub, 0x7FFFFF00);
  WriteBytes(path, moved);
  EXPECT_EQ(Ids(path), (std::vector<int64_t>{0, 2, 3}));
}

TEST(JetReaderTest, DataPageListingNoRowsGivesNone) {
  // libmdb tries row 0 of every data page it moves to, even one listing no rows, and reads
  // whatever bytes lie there as a row.
  ScratchDir dir;
  const std::string path = SmallTable(dir, 3);
  std::string bytes = ReadBytes(path);
  PutLe16(bytes.data() + DataPagesOf(bytes, kFirstTableDefinition).at(0) * kJet4Page + kRowCount, 0);
  WriteBytes(path, bytes);
  EXPECT_EQ(Ids(path), std::vector<int64_t>{});
}

TEST(JetReaderTest, Jet3PasswordIsCheckedAndItsTablesReadLikeMdbExport) {
  if (!HaveSharedFiles()) GTEST_SKIP() << "no genuine sample files";
  ScratchDir dir;
  const std::string path = CopyShared(dir, "access97-no-password.mdb");
  // Without a password the field holds the mask itself; a password is XORed onto it.
  std::string bytes = ReadBytes(path);
  const std::string password = "Talvern";
  for (size_t i = 0; i < password.size(); ++i) bytes[jet_format::kJetPasswordOffset + i] ^= password[i];
  WriteBytes(path, bytes);
  EXPECT_EQ(Failure([&] { JetDatabase::Open(path, "talvern"); }), "Not a valid password for '" + path + "'");
  EXPECT_EQ(Failure([&] { JetDatabase::Open(path, ""); }), "Not a valid password for '" + path + "'");
  EXPECT_EQ(ExpectSameAsMdbExport(path, password), 2);
}

// RC4, as Jet encodes pages.
void Rc4(uint32_t key_word, char* data, size_t size) {
  uint8_t key[4];
  PutLe32(key, key_word);
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  for (size_t n = 0, i = 0, j = 0; n < size; ++n) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    data[n] = static_cast<char>(data[n] ^ s[(s[i] + s[j]) & 0xFF]);
  }
}

std::string Dump(const std::string& path, const std::string& password) {
  std::ostringstream out, err;
  EXPECT_EQ(RunJetDump({path, "--password", password}, out, err), 0) << err.str();
  return out.str();
}

TEST(JetReaderTest, EncodedPagesReadLikePlainOnes) {
  ScratchDir dir;
  const std::string path = dir.File("plain.mdb");
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 400; ++i) {
    rows.push_back(
        {Cell{int64_t{i}}, Cell{"Ndlovu " + std::to_string(i)}, Cell{std::string(i % 50 == 0 ? 9000 : 5, 'm')}});
  }
  jet::WriteOptions options;
  options.password = "Talvern";
  jet::WriteDatabase(
      path,
      {{"T",
        {{"Id", jet::ColumnType::kLong}, {"Name", jet::ColumnType::kText, 40}, {"Notes", jet::ColumnType::kMemo}},
        rows}},
      options);
  std::string bytes = ReadBytes(path);
  constexpr uint32_t kKey = 0x5EC0DE42;
  for (uint32_t page = 1; page < bytes.size() / kJet4Page; ++page)
    Rc4(kKey ^ page, &bytes[page * kJet4Page], kJet4Page);
  PutLe32(bytes.data() + jet_format::kJetDatabaseKeyOffset, GetLe32(bytes.data() + jet_format::kJetDatabaseKeyOffset) ^ kKey);
  const std::string encoded = dir.File("encoded.mdb");
  WriteBytes(encoded, bytes);
  const std::string plain_dump = Dump(path, "Talvern");
  EXPECT_EQ(Dump(encoded, "Talvern"), plain_dump);
  EXPECT_NE(plain_dump.find("Ndlovu 399"), std::string::npos);
}

TEST(JetReaderTest, DamagedStructuresAreRefusedAsDamaged) {
  ScratchDir dir;
  const std::string path = SmallTable(dir, 5);
  const std::string good = ReadBytes(path);
  const std::string damaged = "Unrecognized database format '" + path + "': the file is damaged";
  auto read = [&] { JetDatabase::Open(path, "")->ReadTable("T"); };
  const size_t definition = kFirstTableDefinition * kJet4Page;
  const uint32_t map = GetLe32(good.data() + definition + 0x37);
  const size_t map_row =
      (map >> 8) * kJet4Page + (GetLe16(good.data() + (map >> 8) * kJet4Page + kRowOffsets + 2 * (map & 0xFF)) & 0x1FFF);
  const uint32_t data_page = DataPagesOf(good, kFirstTableDefinition).at(0);
  const size_t row0_end = (data_page + 1) * kJet4Page;

  struct Patch {
    const char* what;
    std::function<void(std::string*)> apply;
  };
  const std::vector<Patch> patches = {
      {"usage map of an unknown type", [&](std::string* b) { (*b)[map_row] = 7; }},
      {"usage map naming pages past the end", [&](std::string* b) { PutLe32(b.data() + map_row + 1, 100000); }},
      {"usage map pointer to a missing row", [&](std::string* b) { PutLe32(b.data() + definition + 0x37, map + 40); }},
      {"definition continuing on itself", [&](std::string* b) { PutLe32(b.data() + definition + 4, kFirstTableDefinition); }},
      {"definition continuing on a data page", [&](std::string* b) { PutLe32(b.data() + definition + 4, data_page); }},
      {"more columns than the definition holds", [&](std::string* b) { PutLe16(b.data() + definition + 0x2D, 900); }},
      // Row 0 ends the page: its one-byte null mask, before it the count of variable columns.
      {"row with more variable columns than bytes", [&](std::string* b) { PutLe16(b.data() + row0_end - 3, 300); }},
      {"row with a variable value past its end", [&](std::string* b) { PutLe16(b.data() + row0_end - 5, 4000); }},
      {"page listing more rows than fit", [&](std::string* b) { PutLe16(b.data() + data_page * kJet4Page + kRowCount, 3000); }},
  };
  for (const Patch& patch : patches) {
    std::string bytes = good;
    patch.apply(&bytes);
    WriteBytes(path, bytes);
    EXPECT_EQ(Failure(read), damaged) << patch.what;
  }
  // The catalog must name its columns as every Jet file does.
  std::string bytes = good;
  const size_t flags = bytes.find(std::string("F\0l\0a\0g\0s\0", 10), 2 * kJet4Page);
  ASSERT_LT(flags, 3 * kJet4Page);
  bytes[flags + 8] = 'z';
  WriteBytes(path, bytes);
  EXPECT_EQ(Failure(read), damaged);
}

TEST(JetReaderTest, TextFormsOfJet3TextDecimalsAndGuids) {
  std::string text;
  const uint8_t jet3[] = {'Z', 'o', 0xEB, ' ', 0x80, 0x81, 0x9F};
  AppendJet3Text(jet3, sizeof jet3, &text);
  EXPECT_EQ(text, "Zoë €?Ÿ");

  auto numeric = [](uint8_t sign, uint32_t high, uint32_t low, unsigned scale) {
    uint8_t bytes[kJetNumericSize] = {sign};
    PutLe32(bytes + 1, high);
    PutLe32(bytes + 13, low);
    std::string out;
    AppendNumericText(bytes, scale, &out);
    return out;
  };
  EXPECT_EQ(numeric(0, 0, 5, 2), "0.05");
  EXPECT_EQ(numeric(0x80, 0, 0, 2), "-0.00");
  EXPECT_EQ(numeric(0, 0, 123456, 0), "123456");
  EXPECT_EQ(numeric(0x80, 0, 1, 28), "-0.0000000000000000000000000001");
  EXPECT_EQ(numeric(0, 0xFFFFFFFF, 0, 2), "3402823668417103009491102698382242611.20");

  const uint8_t guid[kJetGuidSize] = {0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0,
                                      0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF};
  std::string guid_text;
  AppendGuidText(guid, &guid_text);
  EXPECT_EQ(guid_text, "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
}

}  // namespace
}  // namespace varnholt
