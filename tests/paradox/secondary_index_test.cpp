// Maintained secondary indexes of genuine families: read and checked against a rebuild from the
// rows, kept current through inserts and updates (splits of the .DB and of the X file included),
// saved with the table, and refused, with nothing written, where this engine cannot keep them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "base/byte_coding.h"
#include "paradox_test_util.h"
#include "stores/paradox/block.h"
#include "stores/paradox/header.h"
#include "stores/paradox/index_creator.h"
#include "stores/paradox/table.h"
#include "stores/paradox/table_file.h"
#include "stores/paradox/update_all.h"
#include "tests/support/format_audit.h"
#include "tests/support/table_checker.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::FormatAuditComplaints;
using testing::ScratchDir;

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PatchFile(const std::string& path, size_t offset, uint8_t value) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.put(static_cast<char>(value));
}

std::map<std::string, std::vector<uint8_t>> FolderBytes(const std::string& dir) {
  std::map<std::string, std::vector<uint8_t>> out;
  for (const auto& e : fs::directory_iterator(dir)) out[e.path().filename().string()] = FileBytes(e.path());
  return out;
}

struct Family {
  std::string subdir;
  std::vector<std::string> files;  // the .DB first
};

// Every genuine family whose indexes the product keeps current.
const std::vector<Family>& IndexedFamilies() {
  static const std::vector<Family> families = {
      {"leonhad-paradoxdriver/db",
       {"CUSTOMER.DB", "CUSTOMER.PX", "CUSTOMER.MB", "CUSTOMER.X06", "CUSTOMER.Y06"}},
      {"leonhad-paradoxdriver/joins", {"C.DB", "C.PX", "C.X02", "C.Y02", "C.X03", "C.Y03"}},
      {"leonhad-paradoxdriver/joins", {"fk4.db", "fk4.px", "fk4.XG0", "fk4.YG0"}},
      {"leonhad-paradoxdriver/joins", {"fk1.db", "fk1.px", "fk1.x02", "fk1.y02"}},
      {"leonhad-paradoxdriver/joins", {"fk3.db", "fk3.px", "fk3.x03", "fk3.y03"}},
      {"leonhad-paradoxdriver/joins",
       {"multiple.db", "multiple.PX", "multiple.X02", "multiple.Y02", "multiple.X04", "multiple.Y04"}},
  };
  return families;
}

// A value for `field` in the i'th new row: unique in the first key field, repeating every few rows
// elsewhere (so that index entries tie and the primary key orders them). Alpha values are
// capitalised words, which the genuine tables' sort orders place as bytes do.
Value MakeValue(const Field& field, bool unique, int i) {
  const int v = unique ? 50000 + i : i % 7;
  switch (field.type) {
    case FieldType::kAlpha: {
      static const char* const kWords[] = {"Apple", "Berg", "Clay", "Dune", "Echo", "Fjord", "Gale"};
      std::string text = unique ? "N" + std::to_string(v) : kWords[v];
      return text.substr(0, static_cast<size_t>(field.size));
    }
    case FieldType::kShort:
      return int64_t{unique ? 20000 + i : v};
    case FieldType::kLong:
      return int64_t{v};
    case FieldType::kNumber: case FieldType::kMoney: case FieldType::kBcd:
      return v + 0.5;
    case FieldType::kDate:
      return Date{730000 + v};
    case FieldType::kLogical:
      return v % 2 == 0;
    default:
      return Null{};
  }
}

Record MakeRow(Table* table, int i) {
  Record r;
  for (size_t f = 0; f < table->fields().size(); ++f) {
    r.push_back(MakeValue(table->fields()[f], f == 0 && table->key_field_count() > 0, i));
  }
  return r;
}

class SecondaryIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::SampleDir().empty()) GTEST_SKIP() << "genuine samples not present";
  }
  std::string Copy(const Family& family) {
    testing::CopySamples(family.subdir, family.files, dir_.path());
    return dir_.File(family.files[0]);
  }
  std::vector<std::string> Paths(const Family& family) {
    std::vector<std::string> out;
    for (const auto& f : family.files) out.push_back(dir_.File(f));
    return out;
  }
  ScratchDir dir_;
};

TEST_F(SecondaryIndexTest, GenuineIndexesEqualARebuildFromTheRowsAndAreKept) {
  for (const Family& family : IndexedFamilies()) {
    SCOPED_TRACE(family.files[0]);
    ScratchDir dir;
    testing::CopySamples(family.subdir, family.files, dir.path());
    const std::string path = dir.File(family.files[0]);
    const CheckResult check = CheckTable(path);
    EXPECT_TRUE(check.ok()) << check.Summary();
    auto table = Table::Open(path, true);
    auto* file = dynamic_cast<TableFile*>(table.get());
    EXPECT_FALSE(file->maintained_indexes().empty());
    EXPECT_EQ(file->index_refusal(), "");
  }
}

TEST_F(SecondaryIndexTest, InsertsAndUpdatesKeepEveryIndexAsARebuildWouldMakeIt) {
  for (const Family& family : IndexedFamilies()) {
    SCOPED_TRACE(family.files[0]);
    ScratchDir dir;
    testing::CopySamples(family.subdir, family.files, dir.path());
    const std::string path = dir.File(family.files[0]);
    auto table = Table::Open(path, true);
    const size_t had = table->RecordCount();
    // Enough rows to split blocks of the .DB and of the X files, inserted out of order.
    constexpr int kRows = 400;
    for (int i = 0; i < kRows; ++i) table->Insert(MakeRow(table.get(), (i * 37) % kRows));
    table->Save();
    // Updates: an indexed value changed, and a key changed (the row moves, its entry too).
    const std::vector<RowId> rows = table->Rows();
    for (size_t k = 0; k < rows.size(); k += 9) {
      Record r = table->Get(rows[k]);
      for (size_t f = 1; f < r.size(); ++f) r[f] = MakeValue(table->fields()[f], false, static_cast<int>(k + 3));
      if (k % 2 == 0 && table->fields()[0].type == FieldType::kLong) r[0] = int64_t{90000 + static_cast<int64_t>(k)};
      table->Update(rows[k], r);
    }
    table->Save();
    table.reset();
    const CheckResult check = CheckTable(path);
    EXPECT_TRUE(check.ok()) << check.Summary();
    EXPECT_EQ(check.records, had + kRows);
    std::vector<std::string> files = {path};
    for (const auto& f : family.files) {
      if (f.find(".MB") == std::string::npos && f != family.files[0]) files.push_back(dir.File(f));
    }
    EXPECT_EQ(FormatAuditComplaints(files), "");
    if (testing::HavePxlib()) {
      std::string error;
      EXPECT_EQ(testing::ReadWithPxlib(path, &error).size(), had + kRows);
      EXPECT_EQ(error, "");
    }
    // Our own engine takes the files again for writing: every index still describes every row.
    auto again = Table::Open(path, true);
    EXPECT_EQ(dynamic_cast<TableFile*>(again.get())->index_refusal(), "");
  }
}

TEST_F(SecondaryIndexTest, CaseInsensitiveIndexStoresCapitalsAndRefusesUnknownOnes) {
  const Family& customer = IndexedFamilies()[0];
  const std::string path = Copy(customer);
  // Made case-insensitive as the product would have built it: flag set, stored cities in capitals
  // (their order stays as it was). The Y file's keys are left as they were: the engine rebuilds it.
  const std::string x06 = dir_.File("CUSTOMER.X06");
  std::vector<uint8_t> x = FileBytes(x06);
  const size_t header = GetLe16(x.data() + kHeaderHeaderSize);
  const size_t block = x[5] * 1024u;
  const size_t record = GetLe16(x.data() + kHeaderRecordSize);
  const size_t city = record - 4 - 2;  // the key CustNo (+) and the block number follow
  for (size_t b = header; b + block <= x.size(); b += block) {
    const int last = static_cast<int16_t>(GetLe16(x.data() + b + kBlockLastOffset));
    for (size_t r = 0; last >= 0 && r <= static_cast<size_t>(last) / record; ++r) {
      for (size_t i = 0; i < city; ++i) {
        uint8_t& c = x[b + 6 + r * record + i];
        if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
      }
    }
  }
  x[0x55] = 0x01;
  std::ofstream(x06, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(x.data()),
                                                                static_cast<std::streamsize>(x.size()));
  auto table = Table::Open(path, true);
  ASSERT_EQ(dynamic_cast<TableFile*>(table.get())->index_refusal(), "");
  Record row = table->Get(table->Rows()[0]);
  row[0] = int64_t{7001};
  row[5] = std::string("lower case town");
  table->Insert(row);
  table->Save();
  EXPECT_TRUE(CheckTable(path).ok()) << CheckTable(path).Summary();
  // A letter outside ASCII: its capital under the sort order is not known, so nothing is written.
  const auto before = FolderBytes(dir_.path());
  row[0] = int64_t{7002};
  row[5] = std::string("Zürich");
  try {
    table->Insert(row);
    ADD_FAILURE() << "inserted";
  } catch (const EngineError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("Zürich"), std::string::npos) << what;
    EXPECT_NE(what.find("CUSTOMER.X06"), std::string::npos) << what;
    EXPECT_NE(what.find("sort order"), std::string::npos) << what;
  }
  EXPECT_FALSE(table->unsaved());
  table.reset();
  EXPECT_EQ(FolderBytes(dir_.path()), before);
}

TEST_F(SecondaryIndexTest, IndexesThisEngineCannotKeepStopEveryWriteAndNothingIsWritten) {
  // A flag not known, a descending flag without descending fields, an X file that lost an entry, a
  // missing Y file.
  struct Damage {
    const char* what;
    size_t offset;
    uint8_t value;
  };
  const Family& c = IndexedFamilies()[1];
  for (const Damage& d : {Damage{"descending flag without a descending field", 0x55, 0x11},
                          Damage{"unknown flag", 0x55, 0x40},
                          Damage{"an entry missing", 0x804, 10}, Damage{"missing Y", 0, 0}}) {
    SCOPED_TRACE(d.what);
    ScratchDir dir;
    testing::CopySamples(c.subdir, c.files, dir.path());
    const std::string path = dir.File("C.DB");
    if (d.offset == 0) {
      fs::remove(dir.File("C.Y03"));
    } else {
      PatchFile(dir.File("C.X03"), d.offset, d.value);
    }
    const auto before = FolderBytes(dir.path());
    auto table = Table::Open(path, true);
    EXPECT_NE(dynamic_cast<TableFile*>(table.get())->index_refusal(), "");
    Record r = table->Get(table->Rows()[0]);
    try {
      table->Insert(MakeRow(table.get(), 1));
      ADD_FAILURE() << "inserted";
    } catch (const EngineError& e) {
      EXPECT_NE(std::string(e.what()).find("C.X03"), std::string::npos) << e.what();
    }
    EXPECT_THROW(table->Update(table->Rows()[0], r), EngineError);
    table.reset();
    EXPECT_EQ(FolderBytes(dir.path()), before);
  }
}

TEST_F(SecondaryIndexTest, KeysWhoseSortOrderPlaceIsUnknownAreRefusedBeforeAnythingIsWritten) {
  // CUSTOMER is in sort order ANSII850, and its X06 indexes the city.
  const std::string path = Copy(IndexedFamilies()[0]);
  auto table = Table::Open(path, true);
  Record row = table->Get(table->Rows()[0]);
  row[0] = int64_t{9001};
  row[5] = std::string("lOWER Town");  // 'l' against 'L' of "Los Gatos": the collation decides
  const auto before = FolderBytes(dir_.path());
  try {
    table->Insert(row);
    ADD_FAILURE() << "inserted";
  } catch (const EngineError& e) {
    const std::string what = e.what();
    for (const char* part : {"CUSTOMER.X06", "lOWER Town", "ANSII850"}) {
      EXPECT_NE(what.find(part), std::string::npos) << what;
    }
  }
  EXPECT_THROW(table->Update(table->Rows()[2], row), EngineError);
  EXPECT_FALSE(table->unsaved());
  // Letters against letters of the same case, or a whole alphabet apart, are placed as before.
  row[5] = std::string("zz top");
  table->Insert(row);
  table->Save();
  table.reset();
  EXPECT_NE(FolderBytes(dir_.path()), before);
  EXPECT_TRUE(CheckTable(path).ok()) << CheckTable(path).Summary();
}

TEST_F(SecondaryIndexTest, PrimaryKeysOfANonAsciiSortOrderArePlacedOnlyWhereTheOrderIsCertain) {
  for (const char* sort_order : {"ascii", "ANSIINTL"}) {
    SCOPED_TRACE(sort_order);
    ScratchDir dir;
    TableSchema schema = testing::SmallSchema();
    schema.sort_order = sort_order;
    const std::string path = dir.File("KEYS.DB");
    Table::Create(path, schema);
    auto table = Table::Open(path, true);
    for (const char* key : {"ABC", "123", "A-1", "XYZ", "Zebra"}) {
      table->Insert(testing::SmallRecord(key, "n"));
    }
    const bool ascii = std::string(sort_order) == "ascii";
    // Same letter in another case, letters whose alphabetical and byte orders differ, and
    // letters outside ASCII: refused in every sort order but "ascii".
    for (const char* key : {"abc", "Abd", "aBC", "xyz", "Zürich"}) {
      SCOPED_TRACE(key);
      if (ascii) {
        EXPECT_NO_THROW(table->Insert(testing::SmallRecord(key, "n")));
        continue;
      }
      try {
        table->Insert(testing::SmallRecord(key, "n"));
        ADD_FAILURE() << "inserted";
      } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find(sort_order), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(key), std::string::npos) << e.what();
      }
    }
    table->Save();
    table.reset();
    EXPECT_TRUE(CheckTable(path).ok()) << CheckTable(path).Summary();
    EXPECT_EQ(Table::Open(path, false)->RecordCount(), ascii ? 10u : 5u);
  }
}

TEST(SecondaryIndexCreateTest, NewIndexesOfAnEmptyTableAreKeptAsRowsArrive) {
  ScratchDir dir;
  const std::string path = dir.File("PEOPLE.DB");
  Table::Create(path, testing::SmallSchema());  // Code (key), Name, Amount, Born, Count
  CreateSecondaryIndex(path, IndexDefinition{{"Name"}, false, ""});
  CreateSecondaryIndex(path, IndexDefinition{{"Name", "Count"}, false, "ByNameCount"});
  CreateSecondaryIndex(path, IndexDefinition{{"Name"}, true, "NameNoCase"});
  for (const char* f : {"PEOPLE.X02", "PEOPLE.Y02", "PEOPLE.XG0", "PEOPLE.YG0", "PEOPLE.XG1", "PEOPLE.YG1"}) {
    EXPECT_TRUE(fs::exists(dir.File(f))) << f;
  }
  EXPECT_TRUE(CheckTable(path).ok()) << CheckTable(path).Summary();
  EXPECT_EQ(FormatAuditComplaints({path, dir.File("PEOPLE.XG1"), dir.File("PEOPLE.YG1")}), "");
  {
    auto table = Table::Open(path, true);
    for (int i = 0; i < 600; ++i) {
      const int n = (i * 113) % 600;
      static const char* const kNames[] = {"smith", "Smith", "SMITH", "de Wet", "O'Neill", "Nkosi"};
      table->Insert(testing::SmallRecord("C" + std::to_string(10000 + n), kNames[n % 6], n));
    }
    table->Save();
  }
  EXPECT_TRUE(CheckTable(path).ok()) << CheckTable(path).Summary();
  EXPECT_EQ(FormatAuditComplaints({path, dir.File("PEOPLE.PX"), dir.File("PEOPLE.X02"), dir.File("PEOPLE.Y02"),
                       dir.File("PEOPLE.XG0"), dir.File("PEOPLE.YG0"), dir.File("PEOPLE.XG1"),
                       dir.File("PEOPLE.YG1")}),
            "");
  auto again = Table::Open(path, true);
  EXPECT_EQ(dynamic_cast<TableFile*>(again.get())->index_refusal(), "");
  EXPECT_EQ(dynamic_cast<TableFile*>(again.get())->maintained_indexes().size(), 6u);
  // Only an empty table gets a new index; a name is needed where the product needs one.
  EXPECT_THROW(CreateSecondaryIndex(path, IndexDefinition{{"Amount"}, false, ""}), EngineError);
  ScratchDir other;
  const std::string empty = other.File("E.DB");
  Table::Create(empty, testing::SmallSchema());
  EXPECT_THROW(CreateSecondaryIndex(empty, IndexDefinition{{"Name", "Count"}, false, ""}), EngineError);
  EXPECT_THROW(CreateSecondaryIndex(empty, IndexDefinition{{"Nope"}, false, ""}), EngineError);
}

// The folder's bytes are as they were, and the table holds no posts.
void ExpectRefusedUnwritten(Table* table, const std::string& dir,
                            const std::map<std::string, std::vector<uint8_t>>& before) {
  EXPECT_FALSE(table->unsaved());
  table->Save();
  EXPECT_EQ(FolderBytes(dir), before);
}

TEST(SecondaryIndexOptionsTest, DescendingFieldsSortTheOtherWayThroughInsertsUpdatesAndMovedKeys) {
  ScratchDir dir;
  const std::string path = dir.File("PEOPLE.DB");
  Table::Create(path, testing::SmallSchema());  // Code (key), Name, Amount, Born, Count
  // Count descending, then Name ascending, ties by the code; and a single field descending.
  CreateSecondaryIndex(path, IndexDefinition{{"Count", "Name"}, false, "CountDown", {"Count"}});
  CreateSecondaryIndex(path, IndexDefinition{{"Name"}, true, "NameDown", {"Name"}});
  const std::vector<uint8_t> x = FileBytes(dir.File("PEOPLE.XG0"));
  EXPECT_EQ(x[0x55], 0x10);
  EXPECT_EQ(FileBytes(dir.File("PEOPLE.XG1"))[0x55], 0x11);
  {
    auto table = Table::Open(path, true);
    static const char* const kNames[] = {"smith", "Smith", "de Wet", "O'Neill", "Nkosi", ""};
    for (int i = 0; i < 700; ++i) {
      const int n = (i * 113) % 700;
      Record r = testing::SmallRecord("C" + std::to_string(10000 + n), kNames[n % 6], n);
      r[4] = n % 3 == 0 ? Value(Null{}) : Value(int64_t{(n % 40) - 20});  // negatives, blanks, ties
      table->Insert(r);
    }
    table->Save();
    // Indexed values changed, and keys changed so that rows move in the .DB and in every index.
    const std::vector<RowId> rows = table->Rows();
    for (size_t k = 0; k < rows.size(); k += 7) {
      Record r = table->Get(rows[k]);
      r[4] = int64_t{static_cast<int64_t>(k % 50)};
      r[1] = std::string(kNames[k % 5]);
      if (k % 2 == 0) r[0] = "D" + std::to_string(20000 - k);
      table->Update(rows[k], r);
    }
    table->Save();
  }
  const CheckResult check = CheckTable(path);
  EXPECT_TRUE(check.ok()) << check.Summary();
  EXPECT_EQ(check.records, 700u);
  EXPECT_EQ(FormatAuditComplaints({path, dir.File("PEOPLE.PX"), dir.File("PEOPLE.XG0"), dir.File("PEOPLE.YG0"),
                       dir.File("PEOPLE.XG1"), dir.File("PEOPLE.YG1")}),
            "");
  if (testing::HavePxlib()) {
    std::string error;
    EXPECT_EQ(testing::ReadWithPxlib(path, &error).size(), 700u);
    EXPECT_EQ(error, "");
  }
  auto again = Table::Open(path, true);
  EXPECT_EQ(dynamic_cast<TableFile*>(again.get())->index_refusal(), "");
  // A descending mark whose flag is missing is not a layout we know: every write is refused.
  again.reset();
  PatchFile(dir.File("PEOPLE.XG0"), 0x55, 0x00);
  const auto before = FolderBytes(dir.path());
  auto refused = Table::Open(path, true);
  EXPECT_NE(dynamic_cast<TableFile*>(refused.get())->index_refusal().find("descending"), std::string::npos);
  EXPECT_THROW(refused->Insert(testing::SmallRecord("Z1", "n")), EngineError);
  ExpectRefusedUnwritten(refused.get(), dir.path(), before);
}

TEST(SecondaryIndexOptionsTest, AUniqueIndexRefusesASecondRowUnderOneEntryBeforeAnythingIsWritten) {
  ScratchDir dir;
  const std::string path = dir.File("PEOPLE.DB");
  Table::Create(path, testing::SmallSchema());
  CreateSecondaryIndex(path, IndexDefinition{{"Name"}, true, "OneName", {}, true});
  EXPECT_EQ(FileBytes(dir.File("PEOPLE.XG0"))[0x55], 0x21);
  auto table = Table::Open(path, true);
  for (const char* name : {"Smith", "Jones", "Brown", "Nkosi"}) {
    table->Insert(testing::SmallRecord(std::string("K") + name, name));
  }
  table->Save();
  const std::vector<RowId> rows = table->Rows();  // Brown, Jones, Nkosi, Smith by code
  const auto before = FolderBytes(dir.path());
  auto expect_violation = [&](const std::function<void()>& post, const std::string& value) {
    try {
      post();
      ADD_FAILURE() << "written";
    } catch (const EngineError& e) {
      const std::string what = e.what();
      for (const std::string& part : {std::string("Key violation."), path, dir.File("PEOPLE.XG0"),
                                      std::string("Fields: Name"), "'" + value + "'"}) {
        EXPECT_NE(what.find(part), std::string::npos) << part << " in " << what;
      }
    }
  };
  // Capitals decide in a case-insensitive index: "SMITH" is Smith's entry.
  expect_violation([&] { table->Insert(testing::SmallRecord("K9", "SMITH")); }, "SMITH");
  Record jones = table->Get(rows[1]);
  jones[1] = std::string("smith");
  expect_violation([&] { table->Update(rows[1], jones); }, "smith");
  ExpectRefusedUnwritten(table.get(), dir.path(), before);
  // Several rows as one step: two of them given one name, or one given a name a row outside the
  // step holds, are refused before the first write.
  Record brown = table->Get(rows[0]);
  Record nkosi = table->Get(rows[2]);
  brown[1] = std::string("Adams");
  nkosi[1] = std::string("ADAMS");
  const std::vector<std::pair<RowId, Record>> clash = {{rows[0], brown}, {rows[2], nkosi}};
  expect_violation([&] { CheckedChanges(*table, clash, {}); }, "ADAMS");
  nkosi[1] = std::string("jones");
  const std::vector<std::pair<RowId, Record>> taken = {{rows[0], brown}, {rows[2], nkosi}};
  expect_violation([&] { CheckedChanges(*table, taken, {}); }, "jones");
  ExpectRefusedUnwritten(table.get(), dir.path(), before);
  // The row's own entry is no clash; a name freed in the same step may be taken.
  Record smith = table->Get(rows[3]);
  smith[2] = 12.5;
  table->Update(rows[3], smith);
  jones[1] = std::string("Jonas");
  nkosi[1] = std::string("JONES");
  const std::vector<std::pair<RowId, Record>> freed = {{rows[1], jones}, {rows[2], nkosi}};
  WriteChanges(*table, CheckedChanges(*table, freed, {}));
  table->Save();
  table.reset();
  const CheckResult check = CheckTable(path);
  EXPECT_TRUE(check.ok()) << check.Summary();
  EXPECT_EQ(FormatAuditComplaints({path, dir.File("PEOPLE.XG0"), dir.File("PEOPLE.YG0")}), "");
  // A unique index whose file holds two rows under one entry is not trusted.
  ScratchDir other;
  const std::string twice = other.File("TWICE.DB");
  Table::Create(twice, testing::SmallSchema());
  CreateSecondaryIndex(twice, IndexDefinition{{"Name"}, false, "Names"});
  {
    auto t = Table::Open(twice, true);
    t->Insert(testing::SmallRecord("A", "Same"));
    t->Insert(testing::SmallRecord("B", "Same"));
    t->Save();
  }
  PatchFile(other.File("TWICE.XG0"), 0x55, 0x20);
  EXPECT_NE(dynamic_cast<TableFile*>(Table::Open(twice, true).get())->index_refusal().find("unique"),
            std::string::npos);
}

}  // namespace
}  // namespace varnholt::paradox
