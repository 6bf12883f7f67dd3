// Case-insensitive indexes under the byte-order sort orders ("ascii", DBWINUS0): a-z in capitals,
// every byte from 0x80 up kept, byte order. Checked against the engine's own DBWINUS0 files, which
// our engine must rebuild to the same bytes, and on tables of our own in "ascii" and code page 437.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/byte_coding.h"
#include "paradox_test_util.h"
#include "stores/paradox/index_creator.h"
#include "stores/paradox/table.h"
#include "stores/paradox/table_file.h"
#include "tests/support/format_audit.h"
#include "tests/support/table_checker.h"

namespace varnholt::paradox {
namespace {

using testing::ScratchDir;

constexpr char kArchive[] = "delphi-pascal-archive/database-samples";

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The used part (block header and records) of every block of a keyed file, in file order: what
// two writers of the same rows must agree on, whatever stale bytes follow the records.
std::vector<std::string> UsedBlocks(const std::string& path) {
  const std::string b = FileBytes(path);
  if (b.size() < 6) return {};
  auto u16 = [&](size_t at) { return static_cast<size_t>(GetLe16(b.data() + at)); };
  const size_t record = u16(0);
  const size_t header = u16(2);
  const size_t block = static_cast<uint8_t>(b[5]) * 1024u;
  std::vector<std::string> blocks;
  for (size_t at = header; block > 0 && at + 6 <= b.size(); at += block) {
    const auto add = static_cast<int16_t>(u16(at + 4));
    const size_t used = 6 + (add >= 0 ? static_cast<size_t>(add) + record : 0);
    blocks.push_back(b.substr(at, std::min(used, b.size() - at)));
  }
  return blocks;
}

struct GenuineIndex {
  std::string x;  // the genuine X file, its Y beside it
  IndexDefinition definition;
};

struct GenuineFamily {
  std::string db;
  std::string px;
  std::vector<GenuineIndex> indexes;
};

// The engine's own DBWINUS0 families with maintained case-insensitive unique indexes (0x55 = 0x21).
std::vector<GenuineFamily> Families() {
  return {
      {"TelephNum.DB", "TelephNum.PX", {{"TelephNum.XG0", {{"Name"}, true, "iN", {}, true}}}},
      {"CalculN.db", "CalculN.PX",
       {{"CalculN.XG0", {{"Name"}, true, "iN", {}, true}},
        {"CalculN.XG1", {{"Price"}, true, "iP", {}, true}},
        {"CalculN.XG2", {{"Number"}, true, "iNU", {}, true}}}},
  };
}

// The file `name` in `dir` whatever the case of its letters ("" when there is none): our engine
// names index files after the case of the table's extension, the genuine ones vary.
std::string InDir(const std::string& dir, const std::string& name) {
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (upper(e.path().filename().string()) == upper(name)) return e.path().string();
  }
  return {};
}

std::string YOf(std::string x) {
  x[x.size() - 3] = 'Y';
  return x;
}

std::vector<std::string> FilesOf(const GenuineFamily& f) {
  std::vector<std::string> files = {f.db, f.px};
  for (const GenuineIndex& i : f.indexes) {
    files.push_back(i.x);
    files.push_back(YOf(i.x));
  }
  return files;
}

class ByteOrderIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::SampleDir().empty()) GTEST_SKIP() << "genuine samples not present";
  }
};

TEST_F(ByteOrderIndexTest, GenuineDbwinus0IndexesAreKeptAndRebuiltToTheirOwnBytes) {
  for (const GenuineFamily& family : Families()) {
    SCOPED_TRACE(family.db);
    ScratchDir genuine;
    testing::CopySamples(kArchive, FilesOf(family), genuine.path());
    const std::string path = genuine.File(family.db);
    EXPECT_TRUE(CheckTable(path).ok()) << CheckTable(path).Summary();
    auto table = Table::Open(path, true);
    // Taking the genuine index for writing means every entry was found where our capitals put it.
    EXPECT_EQ(dynamic_cast<TableFile*>(table.get())->index_refusal(), "");
    EXPECT_FALSE(dynamic_cast<TableFile*>(table.get())->maintained_indexes().empty());

    // The same rows, posted one by one through our engine into a new table with the same indexes.
    ScratchDir ours;
    TableSchema schema;
    schema.fields = table->fields();
    schema.key_field_count = table->key_field_count();
    schema.code_page = 1252;
    schema.sort_order = "DBWINUS0";
    schema.block_size = 2048;
    const std::string copy = ours.File(family.db);
    Table::Create(copy, schema);
    for (const GenuineIndex& i : family.indexes) CreateSecondaryIndex(copy, i.definition);
    {
      auto rebuilt = Table::Open(copy, true);
      for (RowId r : table->Rows()) rebuilt->Insert(table->Get(r));
      rebuilt->Save();
    }
    EXPECT_EQ(UsedBlocks(copy), UsedBlocks(path));
    for (const GenuineIndex& i : family.indexes) {
      SCOPED_TRACE(i.x);
      const std::vector<std::string> theirs = UsedBlocks(genuine.File(i.x));
      ASSERT_FALSE(theirs.empty());
      EXPECT_EQ(UsedBlocks(InDir(ours.path(), i.x)), theirs);
      EXPECT_EQ(UsedBlocks(InDir(ours.path(), YOf(i.x))), UsedBlocks(genuine.File(YOf(i.x))));
    }
    EXPECT_TRUE(CheckTable(copy).ok()) << CheckTable(copy).Summary();
  }
}

TEST_F(ByteOrderIndexTest, AccentedNamesInAGenuineDbwinus0TableGetCapitalsForAToZOnly) {
  const GenuineFamily family = Families()[0];
  ScratchDir dir;
  testing::CopySamples(kArchive, FilesOf(family), dir.path());
  const std::string path = dir.File(family.db);
  auto table = Table::Open(path, true);
  const size_t had = table->RecordCount();
  auto row = [](const std::string& name) { return Record{name, Null{}, std::string("021 555 0100")}; };
  table->Insert(row("Zo\xC3\xAB M\xC3\xBCller"));
  // ë and ü keep their byte, so the capitals are another entry of the unique index...
  table->Insert(row("ZO\xC3\x8B M\xC3\x9CLLER"));
  table->Insert(row("Concei\xC3\xA7\xC3\xA3o"));
  // ...while a-z alone are folded: the same entry as the first row, refused, nothing changed.
  EXPECT_THROW(table->Insert(row("zo\xC3\xAB m\xC3\xBCller")), EngineError);
  const RowId andre = table->Insert(row("andr\xC3\xA9"));
  table->Update(andre, row("Andr\xC3\xA9 du Pr\xC3\xA9"));
  table->Save();
  table.reset();

  const std::string x = FileBytes(dir.File("TelephNum.XG0"));
  for (const char* entry : {"ZO\xEB M\xFCLLER", "ZO\xCB M\xDCLLER", "CONCEI\xE7\xE3O", "ANDR\xE9 DU PR\xE9"}) {
    EXPECT_NE(x.find(entry), std::string::npos) << entry;
  }
  const CheckResult check = CheckTable(path);
  EXPECT_TRUE(check.ok()) << check.Summary();
  EXPECT_EQ(check.records, had + 4);
  std::vector<std::string> files;
  for (const std::string& f : FilesOf(family)) files.push_back(dir.File(f));
  EXPECT_EQ(testing::FormatAuditComplaints(files), "");
  if (testing::HavePxlib()) {
    std::string error;
    EXPECT_EQ(testing::ReadWithPxlib(path, &error).size(), had + 4);
    EXPECT_EQ(error, "");
  }
  EXPECT_EQ(dynamic_cast<TableFile*>(Table::Open(path, true).get())->index_refusal(), "");
}

TEST(ByteOrderIndexAsciiTest, AnAsciiTableKeepsCode437LettersAsTheyAreThroughSplitsAndMoves) {
  ScratchDir dir;
  const std::string path = dir.File("NAMES.DB");
  Table::Create(path, testing::SmallSchema());  // Code (key), Name, ...: "ascii", code page 437
  CreateSecondaryIndex(path, IndexDefinition{{"Name"}, true, "NameNoCase"});
  static const char* const kNames[] = {"Andr\xC3\xA9", "ANDR\xC3\x89", "andre", "Zo\xC3\xAB", "M\xC3\xBCller",
                                       "Gon\xC3\xA7" "alves", "Concei\xC3\xA7\xC3\xA3o", "\xC3\x89mile"};
  {
    auto table = Table::Open(path, true);
    // Enough rows to split blocks of the .DB and of the X file, out of order.
    for (int i = 0; i < 400; ++i) {
      const int n = (i * 37) % 400;
      table->Insert(testing::SmallRecord("C" + std::to_string(1000 + n), kNames[n % 8]));
    }
    table->Save();
    const std::vector<RowId> rows = table->Rows();
    for (size_t k = 0; k < rows.size(); k += 7) {
      Record r = table->Get(rows[k]);
      r[1] = std::string(kNames[(k + 3) % 8]);
      if (k % 2 == 0) r[0] = std::string("D" + std::to_string(k));  // the row moves, its entry too
      table->Update(rows[k], r);
    }
    table->Save();
  }
  const std::string x = FileBytes(dir.File("NAMES.XG0"));
  // Code page 437: é 0x82, É 0x90, ü 0x81, ë 0x89, ç 0x87 (ã has no place there: a stand-in follows).
  for (const char* entry : {"ANDR\x82", "ANDR\x90", "ANDRE", "M\x81LLER", "ZO\x89", "CONCEI\x87", "\x90MILE"}) {
    EXPECT_NE(x.find(entry), std::string::npos) << entry;
  }
  const CheckResult check = CheckTable(path);
  EXPECT_TRUE(check.ok()) << check.Summary();
  EXPECT_EQ(check.records, 400u);
  EXPECT_EQ(testing::FormatAuditComplaints({path, dir.File("NAMES.PX"), dir.File("NAMES.XG0"), dir.File("NAMES.YG0")}),
            "");
  EXPECT_EQ(dynamic_cast<TableFile*>(Table::Open(path, true).get())->index_refusal(), "");
}

TEST_F(ByteOrderIndexTest, TheCheckerDoesNotJudgeAccentedEntriesOfACollatingSortOrder) {
  // Categorias: ANSII850, a case-insensitive XG0 holding accented capitals, whose collation is not
  // known; TelephNum: DBWINUS0, checked in full.
  ScratchDir dir;
  testing::CopySamples("delphi-pascal-archive/electro_store_system",
                       {"Categorias.DB", "Categorias.PX", "Categorias.XG0", "Categorias.YG0"}, dir.path());
  const CheckResult collating = CheckTable(dir.File("Categorias.DB"));
  ASSERT_FALSE(collating.ok());
  EXPECT_NE(collating.Summary().find("ANSII850"), std::string::npos) << collating.Summary();
  EXPECT_NE(collating.Summary().find("cannot be checked"), std::string::npos) << collating.Summary();
  // And our engine refuses to keep it, naming the table, the sort order and the value.
  auto table = Table::Open(dir.File("Categorias.DB"), true);
  const std::string refusal = dynamic_cast<TableFile*>(table.get())->index_refusal();
  EXPECT_NE(refusal.find("Categorias.DB"), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("ANSII850"), std::string::npos) << refusal;
}

}  // namespace
}  // namespace varnholt::paradox
