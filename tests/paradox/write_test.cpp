// Writing: creating tables, inserts through block splits, duplicate keys, updates, NULLs, code
// pages, width cuts, locks, changes by another program, secondary indexes, genuine sample copies.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "paradox_test_util.h"
#include "stores/paradox/header.h"
#include "stores/paradox/table.h"
#include "tests/support/table_checker.h"
#include "stores/paradox/table_file.h"
#include "tools/sample_school/varnholt_schema.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::SmallRecord;
using testing::SmallSchema;

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Text(const Value& v) {
  const auto* s = std::get_if<std::string>(&v);
  return s ? *s : std::string("<not text>");
}

void ExpectConsistent(const std::string& path) {
  const CheckResult r = CheckTable(path);
  EXPECT_TRUE(r.ok()) << r.Summary();
}

// Wide records in 1 KiB blocks: four per block, so a few hundred inserts split many blocks and
// grow the index past one level.
TableSchema WideSchema() {
  TableSchema s;
  s.fields = {{"Code", FieldType::kAlpha, 8}, {"Filler", FieldType::kAlpha, 220}};
  s.key_field_count = 1;
  s.block_size = 1024;
  return s;
}

TEST(ParadoxCreate, VarnholtTablesAreEmptyKeyedParadox7AsGenuineWritersMakeThem) {
  ScratchDir dir;
  CreateVarnholtTables(dir.path());
  for (const auto& [name, schema] : VarnholtSchemas()) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    ExpectConsistent(path);
    const auto raw = FileBytes(path);
    ASSERT_EQ(raw.size(), kDefaultHeaderSize);
    const Header h = ParseHeader(raw, path);
    EXPECT_EQ(h.version, kVersion70);
    EXPECT_EQ(h.file_type, kFileTypeKeyedDb);
    EXPECT_EQ(h.code_page, 437);
    EXPECT_EQ(h.sort_order, "ascii");
    EXPECT_EQ(h.sort_order_byte, 0);
    EXPECT_EQ(h.key_field_count, 1);
    EXPECT_EQ(h.first_block, 0);
    EXPECT_EQ(GetLe16(raw.data() + kHeaderUnknown3E), kDataUnknown3E);
    EXPECT_EQ(GetLe32(raw.data() + kHeaderEncryption1), kEncryptionMarker);
    EXPECT_EQ(GetLe16(raw.data() + kHeaderFileVerId2), 0x010C);
    // realHeaderSize ends at the sort order name, whose offset 0x6E gives.
    EXPECT_EQ(GetLe16(raw.data() + kHeaderRealHeaderSize),
              GetLe16(raw.data() + kHeaderSortNameOffset) + 0x58 + 6);
    auto t = Table::Open(path, false);
    EXPECT_EQ(t->RecordCount(), 0u);
    EXPECT_EQ(t->fields().size(), schema.fields.size());
    EXPECT_EQ(t->fields()[0].name, schema.fields[0].name);
    if (testing::HavePxlib()) {
      std::string error;
      EXPECT_TRUE(testing::ReadWithPxlib(path, &error).empty());
      EXPECT_TRUE(error.empty()) << error;
    }
  }
  EXPECT_THROW(CreateVarnholtTables(dir.path()), EngineError);
  auto ch01 = Table::Open(dir.File("CH01MAST.DB"), false);
  EXPECT_EQ(ch01->FindField("ch01_balance"), 18);
}

TEST(ParadoxInsert, RandomOrderThroughManySplitsKeepsKeyOrderHeaderAndIndex) {
  ScratchDir dir;
  const std::string path = dir.File("WIDE.DB");
  Table::Create(path, WideSchema());
  std::vector<int> keys(1500);
  for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int>(i) * 7 + 1000;
  std::mt19937 rng(7);
  std::shuffle(keys.begin(), keys.end(), rng);
  {
    auto t = Table::Open(path, true);
    for (size_t i = 0; i < keys.size(); ++i) {
      const std::string k = std::to_string(keys[i]);
      t->Insert(Record{k, "filler " + k});
      if (i % 150 == 0 || i < 12) {
        t->Save();
        ExpectConsistent(path);
      }
    }
    const auto rows = t->Rows();
    ASSERT_EQ(rows.size(), keys.size());
    for (size_t i = 1; i < rows.size(); ++i) {
      ASSERT_LT(Text(t->Get(rows[i - 1])[0]), Text(t->Get(rows[i])[0]));
    }
  }
  const CheckResult r = CheckTable(path);
  EXPECT_TRUE(r.ok()) << r.Summary();
  EXPECT_GE(r.index_levels, 2);
  auto again = Table::Open(path, true);
  auto* file = dynamic_cast<TableFile*>(again.get());
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->repaired());  // nothing lagged behind
  EXPECT_EQ(again->RecordCount(), keys.size());
  ASSERT_EQ(again->FindEqual(1, std::string("filler 1007")).size(), 1u);
  if (testing::HavePxlib()) {
    std::string error;
    const auto px = testing::ReadWithPxlib(path, &error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(px.size(), keys.size());
  }
}

// Block numbers run on past 32767 (to 65535) in a large table: the index we write for one must read
// back as valid, not be rebuilt and the table rewritten at every writable open.
TEST(ParadoxInsert, TableOfMoreThan32767BlocksKeepsItsIndexAcrossOpens) {
  ScratchDir dir;
  const std::string path = dir.File("BIG.DB");
  TableSchema schema;
  schema.fields = {{"Code", FieldType::kAlpha, 8}, {"Filler", FieldType::kAlpha, 255},
                   {"More", FieldType::kAlpha, 240}};
  schema.key_field_count = 1;
  schema.block_size = 1024;  // two records a block
  Table::Create(path, schema);
  constexpr int kRecords = 66000;
  {
    auto t = Table::Open(path, true);
    for (int i = 0; i < kRecords; ++i) t->Insert(Record{std::to_string(10000000 + i), "f", "m"});
    t->Save();
  }
  const CheckResult r = CheckTable(path);
  EXPECT_TRUE(r.ok()) << r.Summary();
  const auto px_before = fs::last_write_time(dir.File("BIG.PX"));
  auto again = Table::Open(path, true);
  EXPECT_FALSE(dynamic_cast<TableFile*>(again.get())->repaired());
  EXPECT_FALSE(again->unsaved());
  EXPECT_EQ(fs::last_write_time(dir.File("BIG.PX")), px_before);
  const auto hits = again->FindEqual(0, std::string("10065999"));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(again->Get(hits[0])[1], Value(std::string("f")));
}

TEST(ParadoxInsert, DuplicateKeyIsRefusedAndChangesNothing) {
  ScratchDir dir;
  const std::string path = dir.File("T.DB");
  Table::Create(path, SmallSchema());
  auto t = Table::Open(path, true);
  t->Insert(SmallRecord("A1", "first"));
  t->Insert(SmallRecord("B2", "second"));
  t->Save();
  const auto db = FileBytes(path);
  const auto px = FileBytes(dir.File("T.PX"));
  try {
    t->Insert(SmallRecord("A1", "again"));
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("Key violation"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  EXPECT_EQ(FileBytes(path), db);
  EXPECT_EQ(FileBytes(dir.File("T.PX")), px);
  EXPECT_EQ(t->RecordCount(), 2u);
  EXPECT_EQ(Text(t->Get(t->FindEqual(0, std::string("A1"))[0])[1]), "first");
  // A value the field cannot take is refused before anything is written.
  EXPECT_THROW(t->Insert(Record{std::string("C3"), std::string("x"), std::string("not money"),
                                Null{}, Null{}}),
               EngineError);
  EXPECT_THROW(t->Insert(Record{std::string("C3")}), EngineError);
  EXPECT_EQ(FileBytes(path), db);
}

TEST(ParadoxUpdate, InPlaceAndMovingKeysKeepOrderIndexAndLookups) {
  ScratchDir dir;
  const std::string path = dir.File("W.DB");
  Table::Create(path, WideSchema());
  auto t = Table::Open(path, true);
  std::map<std::string, RowId> ids;
  for (int i = 0; i < 60; ++i) {
    const std::string k = std::to_string(1000 + 10 * i);
    ids[k] = t->Insert(Record{k, "v" + k});
  }
  EXPECT_EQ(t->FindEqual(0, std::string("1100")).size(), 1u);  // builds the index on field 0
  t->Update(ids["1100"], Record{std::string("1100"), std::string("changed")});
  EXPECT_EQ(Text(t->Get(ids["1100"])[1]), "changed");
  t->Save();
  ExpectConsistent(path);
  // Key changes: to the far end, to the front, within its neighbours, into another block.
  const std::vector<std::pair<std::string, std::string>> moves = {
      {"1100", "9999"}, {"1500", "0001"}, {"1200", "1201"}, {"1000", "1455"}, {"1590", "1005"}};
  for (const auto& [from, to] : moves) {
    SCOPED_TRACE(from + " -> " + to);
    const RowId id = ids[from];
    t->Update(id, Record{to, "moved " + from});
    EXPECT_EQ(Text(t->Get(id)[0]), to);
    EXPECT_TRUE(t->FindEqual(0, from).empty());
    ASSERT_EQ(t->FindEqual(0, to), std::vector<RowId>{id});
    t->Save();
    ExpectConsistent(path);
  }
  const auto rows = t->Rows();
  ASSERT_EQ(rows.size(), 60u);
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_LT(Text(t->Get(rows[i - 1])[0]), Text(t->Get(rows[i])[0]));
  }
  // A clash with another key is refused and changes nothing.
  const auto before = FileBytes(path);
  EXPECT_THROW(t->Update(ids["1300"], Record{std::string("9999"), std::string("x")}), EngineError);
  EXPECT_FALSE(t->unsaved());
  t->Save();
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(Text(t->Get(ids["1300"])[0]), "1300");
  // Moving every record of a block away empties it: the block leaves the chain.
  for (int i = 0; i < 60; ++i) {
    const std::string k = std::to_string(1000 + 10 * i);
    if (!t->FindEqual(0, k).empty()) t->Update(t->FindEqual(0, k)[0], Record{"Z" + k, k});
  }
  t->Save();
  ExpectConsistent(path);
  EXPECT_EQ(t->RecordCount(), 60u);
  const auto db = FileBytes(path);
  EXPECT_NE(GetLe16(db.data() + kHeaderFirstFreeBlock), 0);  // emptied blocks went to the free list
  if (testing::HavePxlib()) {
    std::string error;
    EXPECT_EQ(testing::ReadWithPxlib(path, &error).size(), 60u);
    EXPECT_TRUE(error.empty()) << error;
  }
}

TEST(ParadoxValues, NullsZerosAndEmptyTextSurviveAReopen) {
  ScratchDir dir;
  const std::string path = dir.File("N.DB");
  TableSchema s = SmallSchema();
  s.fields.push_back({"Flag", FieldType::kLogical, 1});
  s.fields.push_back({"Seq", FieldType::kAutoIncrement, 4});
  s.fields.push_back({"Dec", FieldType::kBcd, 2});
  Table::Create(path, s);
  {
    auto t = Table::Open(path, true);
    t->Insert(Record{std::string("NULLS"), Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}});
    t->Insert(Record{std::string("ZEROS"), std::string(""), 0.0, Date{1}, int64_t{0}, false,
                     int64_t{50}, 0.0});
    t->Insert(Record{std::string("NEXT"), std::string("n"), -1.25, Null{}, int64_t{-7}, true,
                     Null{}, -3.5});
  }
  auto t = Table::Open(path, false);
  const Record& nulls = t->Get(t->FindEqual(0, std::string("NULLS"))[0]);
  for (size_t f = 1; f < 5; ++f) EXPECT_EQ(nulls[f], Value(Null{})) << f;
  EXPECT_EQ(nulls[6], Value(int64_t{1}));  // autoincrement handed out
  const Record& zeros = t->Get(t->FindEqual(0, std::string("ZEROS"))[0]);
  EXPECT_EQ(zeros[1], Value(Null{}));  // empty alpha is blank on disk
  EXPECT_EQ(zeros[2], Value(0.0));
  EXPECT_EQ(zeros[4], Value(int64_t{0}));
  EXPECT_EQ(zeros[5], Value(false));
  EXPECT_EQ(zeros[7], Value(0.0));
  const Record& next = t->Get(t->FindEqual(0, std::string("NEXT"))[0]);
  EXPECT_EQ(next[6], Value(int64_t{51}));  // after the 50 given explicitly
  EXPECT_EQ(next[7], Value(-3.5));
  EXPECT_EQ(t->FindEqual(2, Null{}).size(), 1u);
  EXPECT_EQ(t->FindEqual(2, 0.0).size(), 1u);
  EXPECT_EQ(t->FindEqual(4, int64_t{-7}).size(), 1u);
  EXPECT_TRUE(t->FindEqual(4, std::string("x")).empty());
  EXPECT_EQ(GetLe32(FileBytes(path).data() + kHeaderAutoInc), 51u);
  ExpectConsistent(path);
}

TEST(ParadoxValues, CodePageRoundTripWidthCutAndPxlibAgree) {
  ScratchDir dir;
  struct Case {
    int code_page;
    std::string name;    // UTF-8 in
    std::string stored;  // UTF-8 read back
  };
  const std::vector<Case> cases = {
      {866, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2",
       "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2"},
      {437, "Zo\xC3\xAB M\xC3\xBCller-\xC3\x86r\xC3\xB8", "Zo\xC3\xAB M\xC3\xBCller-\xC3\x86r?"},
      {437, "\xD0\x96\xD1\x83\xD0\xBA", "ZHuk"},  // iconv spells capital zhe "ZH"
      {1252, "Ren\xC3\xA9\xE2\x82\xAC", "Ren\xC3\xA9\xE2\x82\xAC"},
      {437, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOPQRST"},
      {936, "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE4\xB8\xAD"
            "\xE6\x96\x87",
       "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE4\xB8\xAD"
       "\xE6\x96\x87"},
      {936, std::string(19, 'a') + "\xE4\xB8\xAD", std::string(19, 'a')},  // no half character
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TableSchema s = SmallSchema();
    s.code_page = c.code_page;
    const std::string path = dir.File("CP" + std::to_string(n++) + ".DB");
    Table::Create(path, s);
    {
      auto t = Table::Open(path, true);
      t->Insert(SmallRecord("K", c.name));
    }
    auto t = Table::Open(path, false);
    EXPECT_EQ(Text(t->Get(t->Rows()[0])[1]), c.stored);
    if (testing::HavePxlib()) {
      std::string error;
      const auto px = testing::ReadWithPxlib(path, &error);
      ASSERT_TRUE(error.empty()) << error;
      ASSERT_EQ(px.size(), 1u);
      EXPECT_EQ(px[0], "K|" + c.stored + "|||");
    }
  }
}

TEST(ParadoxLock, SecondWriterGetsInUseReadersStillRead) {
  ScratchDir dir;
  const std::string path = dir.File("L.DB");
  Table::Create(path, SmallSchema());
  auto writer = Table::Open(path, true);
  try {
    Table::Open(path, true);
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
  }
  const pid_t child = fork();
  if (child == 0) {  // another process of ours
    try {
      Table::Open(path, true);
      _exit(1);
    } catch (const EngineError&) {
      _exit(0);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  writer->Insert(SmallRecord("X", "y"));
  EXPECT_EQ(Table::Open(path, false)->RecordCount(), 0u);  // not saved yet
  writer->Save();
  EXPECT_EQ(Table::Open(path, false)->RecordCount(), 1u);
  // The lock passed to the saved file with it.
  EXPECT_THROW(Table::Open(path, true), EngineError);
  EXPECT_THROW(Table::Open(path, false)->Insert(SmallRecord("Z", "z")), EngineError);
  writer.reset();
  EXPECT_NO_THROW(Table::Open(path, true));
}

TEST(ParadoxRefresh, ChangesByAnotherProgramAreReadBeforeTheNextWrite) {
  ScratchDir dir;
  const std::string path = dir.File("R.DB");
  Table::Create(path, SmallSchema());
  auto t = Table::Open(path, true);
  const RowId a = t->Insert(SmallRecord("A", "original"));
  t->Insert(SmallRecord("B", "b"));
  t->Save();
  EXPECT_FALSE(t->RefreshIfChanged());
  // Another program (not using our locks) edits record A in place, as Paradox does: the record's
  // bytes, the change counter and the index stamp.
  const pid_t child = fork();
  if (child == 0) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x800 + 6 + 10);
    f.write("edited", 7);
    f.seekg(kHeaderChangeCount1);
    char cc = 0;
    f.get(cc);
    f.seekp(kHeaderChangeCount1);
    f.put(static_cast<char>(cc + 1));
    f.close();
    std::fstream px(dir.File("R.PX"), std::ios::in | std::ios::out | std::ios::binary);
    px.seekp(kHeaderIndexStamp);
    px.put(static_cast<char>(cc + 1));
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  // The next write reads the files first, so the edit survives it.
  t->Insert(SmallRecord("C", "c"));
  ASSERT_EQ(t->FindEqual(0, std::string("A")).size(), 1u);
  EXPECT_EQ(Text(t->Get(t->FindEqual(0, std::string("A"))[0])[1]), "edited");
  t->Save();
  ExpectConsistent(path);
  auto fresh = Table::Open(path, false);
  EXPECT_EQ(fresh->RecordCount(), 3u);
  EXPECT_EQ(Text(fresh->Get(fresh->FindEqual(0, std::string("A"))[0])[1]), "edited");
  (void)a;
}

TEST(ParadoxSave, AClashWithAnotherProgramKeepsTheirFilesAndSaysSo) {
  ScratchDir dir;
  const std::string path = dir.File("C.DB");
  Table::Create(path, SmallSchema());
  auto t = Table::Open(path, true);
  t->Insert(SmallRecord("A", "ours"));
  t->Save();
  t->Insert(SmallRecord("B", "ours, not saved"));
  // Another program (not using our locks) writes its own version meanwhile.
  {
    ScratchDir other;
    const std::string theirs = other.File("C.DB");
    Table::Create(theirs, SmallSchema());
    {
      auto o = Table::Open(theirs, true);
      o->Insert(SmallRecord("T", "theirs"));
    }
    for (const char* ext : {".DB", ".PX"}) {
      std::filesystem::copy_file(other.File(std::string("C") + ext), dir.File(std::string("C") + ext),
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
  const auto theirs = FileBytes(path);
  try {
    t->Save();
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find(path + ": another program changed the table"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(FileBytes(path), theirs);
  EXPECT_FALSE(t->unsaved());
  ASSERT_EQ(t->RecordCount(), 1u);  // read again: their version
  EXPECT_EQ(Text(t->Get(t->Rows()[0])[1]), "theirs");
  // A failed save leaves no new copy behind.
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_NE(e.path().extension(), ".saving") << e.path();
  }
}

TEST(ParadoxRepair, LaggingHeaderAndIndexArePutRightInMemoryAndSavedWithTheFirstRows) {
  ScratchDir dir;
  const std::string path = dir.File("S.DB");
  Table::Create(path, SmallSchema());
  {
    auto t = Table::Open(path, true);
    for (int i = 0; i < 200; ++i) t->Insert(SmallRecord("K" + std::to_string(i), "n"));
  }
  // What a writer killed before its header writes leaves: counters one post behind.
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(kHeaderNumRecords);
    f.put(static_cast<char>(199 & 0xFF));
    f.seekp(kHeaderFileBlocks);  // and a block count far beyond the file
    f.put(0x60);
    f.put(static_cast<char>(0xEA));
    std::fstream px(dir.File("S.PX"), std::ios::in | std::ios::out | std::ios::binary);
    px.seekp(kHeaderIndexStamp);
    px.put(0x77);
  }
  EXPECT_FALSE(CheckTable(path).ok());
  EXPECT_EQ(Table::Open(path, false)->RecordCount(), 200u);  // read-only: reads, never writes
  EXPECT_FALSE(CheckTable(path).ok());
  const auto db_before = FileBytes(path);
  const auto px_before = FileBytes(dir.File("S.PX"));
  auto t = Table::Open(path, true);
  EXPECT_TRUE(dynamic_cast<TableFile*>(t.get())->repaired());
  EXPECT_EQ(t->RecordCount(), 200u);
  t.reset();  // nothing to write: the files stay as they were
  EXPECT_EQ(FileBytes(path), db_before);
  EXPECT_EQ(FileBytes(dir.File("S.PX")), px_before);
  t = Table::Open(path, true);
  t->Insert(SmallRecord("K200", "n"));
  t->Save();
  ExpectConsistent(path);
  fs::remove(dir.File("S.PX"));  // a lost index is rebuilt too, in the same way
  t.reset();
  t = Table::Open(path, true);
  EXPECT_FALSE(fs::exists(dir.File("S.PX")));
  t->Insert(SmallRecord("K201", "n"));
  t->Save();
  ExpectConsistent(path);
  EXPECT_EQ(t->RecordCount(), 202u);
}

TEST(ParadoxRepair, TableEmptiedByDeletesTakesInsertsAgain) {
  ScratchDir dir;
  const std::string path = dir.File("E.DB");
  Table::Create(path, SmallSchema());
  {
    auto t = Table::Open(path, true);
    t->Insert(SmallRecord("A", "a"));
  }
  // What deleting the last record leaves: block 1 still first, holding no records.
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    const int16_t empty = -static_cast<int16_t>(ParseHeader(FileBytes(path), path).record_size);
    f.seekp(0x800 + 4);
    char stored[2];
    PutLe16(stored, static_cast<uint16_t>(empty));
    f.write(stored, sizeof stored);
    f.seekp(kHeaderNumRecords);
    f.put(0);
  }
  EXPECT_EQ(Table::Open(path, false)->RecordCount(), 0u);
  auto t = Table::Open(path, true);
  t->Insert(SmallRecord("B", "b"));
  t->Insert(SmallRecord("C", "c"));
  EXPECT_EQ(t->RecordCount(), 2u);
  t->Save();
  ExpectConsistent(path);
}

class GenuineCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::SampleDir().empty()) GTEST_SKIP() << "genuine samples not present";
  }
  ScratchDir dir_;
};

TEST_F(GenuineCopyTest, InsertAndUpdateInACopyReadBackByUsAndPxlib) {
  testing::CopySamples("teverett-paradoxReader", {"ORDERS.DB", "ORDERS.PX"}, dir_.path());
  const std::string path = dir_.File("ORDERS.DB");
  const auto original = FileBytes(path);
  {
    auto t = Table::Open(path, true);
    const RowId first = t->Rows()[0];
    Record r = t->Get(first);
    r[0] = 1001.5;  // between the first two orders: a full block splits
    r[4] = std::string("Mail");
    t->Insert(r);
    r[0] = 99999.0;  // after all: a new tail block
    t->Insert(r);
    Record changed = t->Get(first);
    changed[10] = std::string("Jun");
    t->Update(first, changed);
    EXPECT_EQ(t->RecordCount(), 226u);
  }
  ExpectConsistent(path);
  const auto now = FileBytes(path);
  // Only the counters an insert may change moved in the fixed header; the rest is as it was.
  for (size_t i = 0; i < kDefaultHeaderSize; ++i) {
    const bool owned = (i >= kHeaderNumRecords && i < kHeaderNumRecords + 4) ||
                       (i >= kHeaderBlocksInUse && i < kHeaderLastBlock + 2) ||
                       i == kHeaderChangeCount1 || (i >= kHeaderMaxBlocks && i < kHeaderMaxBlocks + 2);
    if (!owned) {
      EXPECT_EQ(now[i], original[i]) << "header byte " << i;
    }
  }
  EXPECT_EQ(now[kHeaderChangeCount1], original[kHeaderChangeCount1] + 3);
  auto t = Table::Open(path, false);
  EXPECT_EQ(t->RecordCount(), 226u);
  EXPECT_EQ(t->Get(t->FindEqual(0, 1001.5)[0])[4], Value(std::string("Mail")));
  EXPECT_EQ(t->Get(t->Rows()[0])[10], Value(std::string("Jun")));
  if (testing::HavePxlib()) {
    std::string error;
    const auto px = testing::ReadWithPxlib(path, &error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(px.size(), 226u);
  }
}

TEST_F(GenuineCopyTest, Paradox4TableKeepsItsValFileAndUnkeyedTableAppends) {
  testing::CopySamples("teverett-paradoxReader",
                       {"AREA-PDX/AREACODE.DB", "AREA-PDX/AREACODE.PX", "AREA-PDX/AREACODE.VAL",
                        "CONTACTS.DB"},
                       dir_.path());
  const auto val = FileBytes(dir_.File("AREACODE.VAL"));
  {
    auto t = Table::Open(dir_.File("AREACODE.DB"), true);
    t->Insert(Record{std::string("000"), std::string("Nowhere"), Null{}, std::string("NW")});
    t->Insert(Record{std::string("555"), std::string("Fiction"), Null{}, std::string("FI")});
  }
  ExpectConsistent(dir_.File("AREACODE.DB"));
  EXPECT_EQ(FileBytes(dir_.File("AREACODE.VAL")), val);
  EXPECT_EQ(Table::Open(dir_.File("AREACODE.DB"), false)->RecordCount(), 137u);

  auto contacts = Table::Open(dir_.File("CONTACTS.DB"), true);
  contacts->Insert(Record{std::string("Zed"), std::string("Last"), Null{}, Null{}});
  const auto rows = contacts->Rows();
  EXPECT_EQ(contacts->Get(rows.back())[0], Value(std::string("Zed")));
  ExpectConsistent(dir_.File("CONTACTS.DB"));
}

TEST_F(GenuineCopyTest, MovingARecordKeepsItsMemoInTheMemoFile) {
  testing::CopySamples("teverett-paradoxReader", {"HERCULES.DB", "HERCULES.PX", "HERCULES.MB"},
                       dir_.path());
  const std::string path = dir_.File("HERCULES.DB");
  const auto mb = FileBytes(dir_.File("HERCULES.MB"));
  auto t = Table::Open(path, true);
  const RowId row = t->FindEqual(0, std::string("FILTERED_MAIL_LIST1"))[0];
  const Value memo = t->Get(row)[1];
  ASSERT_EQ(std::get<std::string>(memo).size(), 106u);
  t->Update(row, Record{std::string("ZZ_MOVED"), memo});  // the key moves it to the end
  EXPECT_EQ(t->Get(row)[1], memo);
  // A memo that needs the memo file cannot be written yet: refused, nothing changed.
  const auto db = FileBytes(path);
  EXPECT_THROW(t->Insert(Record{std::string("AAA"), std::string(300, 'm')}), EngineError);
  EXPECT_EQ(FileBytes(path), db);
  t->Insert(Record{std::string("AAB"), std::string("short memo")});
  t.reset();
  ExpectConsistent(path);
  EXPECT_EQ(FileBytes(dir_.File("HERCULES.MB")), mb);
  auto again = Table::Open(path, false);
  EXPECT_EQ(again->Get(again->FindEqual(0, std::string("ZZ_MOVED"))[0])[1], memo);
  EXPECT_EQ(again->Get(again->FindEqual(0, std::string("AAB"))[0])[1],
            Value(std::string("short memo")));
}

TEST_F(GenuineCopyTest, SecondaryIndexesWeCannotKeepAreNamedAndNothingIsWritten) {
  testing::CopySamples("teverett-paradoxReader",
                       {"CUSTOMER.DB", "CUSTOMER.PX", "CUSTOMER.MB", "CUSTOMER.X06", "CUSTOMER.Y06"},
                       dir_.path());
  const std::string path = dir_.File("CUSTOMER.DB");
  {
    // A descending flag on an index none of whose fields is marked descending: a layout not known.
    std::fstream x(dir_.File("CUSTOMER.X06"), std::ios::in | std::ios::out | std::ios::binary);
    x.seekp(0x55);
    x.put(static_cast<char>(0x11));
  }
  std::map<std::string, std::vector<uint8_t>> before;
  for (const auto& e : fs::directory_iterator(dir_.path())) before[e.path().string()] = FileBytes(e.path().string());
  auto t = Table::Open(path, true);
  Record r = t->Get(t->Rows()[0]);
  r[0] = Null{};
  try {
    t->Insert(r);
    ADD_FAILURE();
  } catch (const EngineError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("CUSTOMER.X06"), std::string::npos) << what;
    EXPECT_NE(what.find("CUSTOMER.Y06"), std::string::npos) << what;
  }
  EXPECT_THROW(t->Update(t->Rows()[0], r), EngineError);
  for (const auto& [p, bytes] : before) {
    EXPECT_EQ(FileBytes(p), bytes) << p;
  }
}

}  // namespace
}  // namespace varnholt::paradox
