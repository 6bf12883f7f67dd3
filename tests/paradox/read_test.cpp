// Reading: genuine sample tables of several Paradox versions, value encodings, code pages, and
// files that are not (or no longer) sound tables.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/byte_coding.h"
#include "paradox_test_util.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/table.h"
#include "tests/support/table_checker.h"
#include "tests/support/file_bytes.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

constexpr char kTeverett[] = "teverett-paradoxReader";

using varnholt::testing::FileBytes;
using varnholt::testing::WriteBytes;

int32_t Day(int y, int m, int d) {  // Paradox day count (0001-01-01 = 1)
  int32_t days = 0;
  for (int year = 1; year < y; ++year) {
    days += (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 366 : 365;
  }
  static const int kMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month < m; ++month) {
    days += kMonth[month - 1] + (month == 2 && (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)));
  }
  return days + d;
}

class SampleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::SampleDir().empty()) GTEST_SKIP() << "genuine samples not present";
  }
  std::string Sample(const std::string& name) const {
    return testing::SampleDir() + "/" + kTeverett + "/" + name;
  }
};

TEST_F(SampleTest, ReadsEveryGenuineTableLikePxlibAndLeavesItUntouched) {
  int tables = 0;
  for (const auto& e : fs::recursive_directory_iterator(testing::SampleDir())) {
    if (e.path().extension() != ".DB") continue;
    SCOPED_TRACE(e.path().string());
    ++tables;
    const auto before = FileBytes(e.path().string());
    auto table = Table::Open(e.path().string(), false);
    const auto rows = table->Rows();
    ASSERT_EQ(rows.size(), table->RecordCount());
    for (RowId r : rows) ASSERT_EQ(table->Get(r).size(), table->fields().size());
    EXPECT_EQ(FileBytes(e.path().string()), before);
    const CheckResult check = CheckTable(e.path().string());
    EXPECT_EQ(check.records, rows.size());

    if (!testing::HavePxlib()) continue;
    std::string error;
    const auto px_rows = testing::ReadWithPxlib(e.path().string(), &error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_EQ(px_rows.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      std::string ours;
      const Record& rec = table->Get(rows[i]);
      for (size_t f = 0; f < rec.size(); ++f) {
        if (f) ours += "|";
        if (table->fields()[f].type == FieldType::kAlpha) {
          if (const auto* s = std::get_if<std::string>(&rec[f])) ours += *s;
        }
      }
      EXPECT_EQ(ours, px_rows[i]) << "record " << i;
    }
  }
  EXPECT_GE(tables, 6);
}

TEST_F(SampleTest, DecodesEachFieldKindAndTheMemoFile) {
  auto customer = Table::Open(Sample("CUSTOMER.DB"), false);
  ASSERT_EQ(customer->RecordCount(), 20u);
  EXPECT_EQ(customer->key_field_count(), 1);
  EXPECT_EQ(customer->FindField("firstname"), 1);
  EXPECT_EQ(customer->FindField("nothing"), -1);
  const Record& luke = customer->Get(customer->Rows()[0]);
  EXPECT_EQ(luke[0], Value(int64_t{1}));
  EXPECT_EQ(luke[1], Value(std::string("Luke")));
  EXPECT_EQ(luke[8], Value(Null{}));  // empty memo
  EXPECT_EQ(luke[9], Value(Date{Day(1996, 2, 2)}));

  auto orders = Table::Open(Sample("ORDERS.DB"), false);
  const Record& first = orders->Get(orders->Rows()[0]);
  EXPECT_EQ(first[0], Value(1001.0));   // number
  EXPECT_EQ(first[5], Value(7320.0));   // money
  EXPECT_EQ(first[7], Value(0.0));      // zero, not blank
  EXPECT_EQ(first[2], Value(Date{Day(1988, 4, 3)}));

  auto hercules = Table::Open(Sample("HERCULES.DB"), false);
  const auto rows = hercules->Rows();
  const auto* in_leader = std::get_if<std::string>(&hercules->Get(rows[0])[1]);
  const auto* in_mb = std::get_if<std::string>(&hercules->Get(rows[1])[1]);
  ASSERT_TRUE(in_leader && in_mb);
  EXPECT_EQ(in_leader->size(), 62u);
  EXPECT_EQ(in_mb->size(), 106u);  // longer than the 100-byte leader: read from the .MB
  EXPECT_EQ(in_mb->substr(0, 7), "<TABLE>");
}

// A field read alone is the field of the whole record, for every kind of field, a memo held in the
// .MB file included.
TEST_F(SampleTest, FieldReadAloneEqualsTheRecordsField) {
  for (const char* name : {"ORDERS.DB", "HERCULES.DB", "AREA-PDX/AREACODE.DB"}) {
    auto table = Table::Open(Sample(name), false);
    for (RowId row : table->Rows()) {
      const Value first = table->GetField(row, 1);  // before the record is decoded whole
      const Record& record = table->Get(row);
      EXPECT_EQ(first, record[1]) << name << " row " << row;
      for (size_t f = 0; f < record.size(); ++f) {
        ASSERT_EQ(table->GetField(row, static_cast<int>(f)), record[f]) << name << " row " << row << " field " << f;
      }
    }
  }
}

TEST_F(SampleTest, ReadsParadox4TableWithShortIndexBlock) {
  auto area = Table::Open(Sample("AREA-PDX/AREACODE.DB"), false);
  EXPECT_EQ(area->RecordCount(), 135u);
  const auto hits = area->FindEqual(0, std::string("212"));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(area->Get(hits[0])[3], Value(std::string("NY")));
}

// A Paradox 3.0 table as that version writes it: no extended header part, a header of exactly the
// bytes it needs, a 79-byte name area, no field numbers and no sort order name.
TEST(ParadoxVersions, ReadsParadox30Table) {
  ScratchDir dir;
  std::vector<uint8_t> h(0x58, 0);
  const std::vector<std::pair<std::string, std::pair<uint8_t, uint8_t>>> fields = {
      {"Name", {0x01, 6}}, {"Qty", {0x03, 2}}};
  const uint16_t record_size = 8;
  for (const auto& f : fields) {
    h.push_back(f.second.first);
    h.push_back(f.second.second);
  }
  h.insert(h.end(), 4 + 4 * fields.size(), 0);  // run-time pointers
  std::string name = "OLD.DB";
  name.resize(79, '\0');
  h.insert(h.end(), name.begin(), name.end());
  for (const auto& f : fields) {
    h.insert(h.end(), f.first.begin(), f.first.end());
    h.push_back(0);
  }
  const uint16_t header_size = static_cast<uint16_t>(h.size());
  auto put16 = [&](size_t at, uint16_t v) { PutLe16(h.data() + at, v); };
  put16(0x00, record_size);
  put16(0x02, header_size);
  h[0x04] = 2;  // unkeyed
  h[0x05] = 1;  // 1 KiB blocks
  h[0x06] = 2;  // two records
  put16(0x0A, 1);
  put16(0x0C, 1);
  put16(0x0E, 1);
  put16(0x10, 1);
  put16(0x3A, 1);
  put16(0x21, 2);
  h[0x39] = 3;  // Paradox 3.0
  std::vector<uint8_t> block(1024, 0);
  block[4] = record_size;  // last record at offset 8: two records
  const uint8_t recs[] = {'B', 'o', 'l', 't', 0, 0, 0x80, 0x05, 'N', 'u', 't', 0, 0, 0, 0x7F, 0xFE};
  std::memcpy(block.data() + 6, recs, sizeof recs);
  h.insert(h.end(), block.begin(), block.end());
  const std::string path = dir.File("OLD.DB");
  WriteBytes(path, h);
  auto t = Table::Open(path, false);
  ASSERT_EQ(t->RecordCount(), 2u);
  EXPECT_EQ(t->fields()[1].name, "Qty");
  const auto rows = t->Rows();
  EXPECT_EQ(t->Get(rows[0]), (Record{std::string("Bolt"), int64_t{5}}));
  EXPECT_EQ(t->Get(rows[1]), (Record{std::string("Nut"), int64_t{-2}}));
  EXPECT_TRUE(CheckTable(path).ok()) << CheckTable(path).Summary();
}

TEST_F(SampleTest, ReadsTheSameTableMarkedParadox5) {
  ScratchDir dir;
  testing::CopySamples(kTeverett, {"AREA-PDX/AREACODE.DB"}, dir.path());
  const std::string path = dir.File("AREACODE.DB");
  auto bytes = FileBytes(path);
  bytes[0x39] = 11;
  bytes[0x58] = bytes[0x5A] = 11;
  WriteBytes(path, bytes);
  auto t = Table::Open(path, false);
  EXPECT_EQ(t->RecordCount(), 135u);
  EXPECT_EQ(t->Get(t->Rows()[0])[1], Value(std::string("United States")));
}

TEST(ParadoxBadInput, ClearErrorsNamingTheFileAndNoWrites) {
  ScratchDir dir;
  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string expect;
  };
  std::vector<Case> cases;
  cases.push_back({"EMPTY.DB", {}, "too short"});
  cases.push_back({"TEXT.DB", std::vector<uint8_t>(300, 'x'), "not a Paradox table"});
  // A header that promises more bytes than the file has.
  std::vector<uint8_t> cut(0x60, 0);
  cut[0] = 10; cut[2] = 0x00; cut[3] = 0x08; cut[5] = 2; cut[0x39] = 12; cut[0x21] = 1;
  cases.push_back({"CUT.DB", cut, "truncated"});
  // Our own table, then damaged in three ways.
  const std::string good = dir.File("GOOD.DB");
  Table::Create(good, testing::SmallSchema());
  {
    auto t = Table::Open(good, true);
    for (int i = 0; i < 100; ++i) t->Insert(testing::SmallRecord("K" + std::to_string(1000 + i), "n"));
  }
  const auto sound = FileBytes(good);
  auto damaged = sound;
  damaged.resize(sound.size() - 3000);  // chain runs past the end
  cases.push_back({"SHORT.DB", damaged, "truncated"});
  damaged = sound;
  damaged[0x800 + 2048 * 1] = 1;  // block 2 points back to block 1
  damaged[0x800 + 2048 * 1 + 1] = 0;
  cases.push_back({"LOOP.DB", damaged, "returns to block"});
  damaged = sound;
  damaged[0x800 + 4] = 0x07;  // last-record offset no multiple of the record size
  cases.push_back({"COUNT.DB", damaged, "impossible record count"});
  damaged = sound;
  damaged[0x78] = 0x33;  // unknown field type
  cases.push_back({"TYPE.DB", damaged, "unknown type"});

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    WriteBytes(path, c.bytes);
    for (bool writable : {false, true}) {
      try {
        Table::Open(path, writable);
        ADD_FAILURE() << "opened";
      } catch (const EngineError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(path), std::string::npos) << what;
        EXPECT_NE(what.find(c.expect), std::string::npos) << what;
      }
      EXPECT_EQ(FileBytes(path), c.bytes);
    }
  }
  try {
    Table::Open(dir.File("MISSING.DB"), false);
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("MISSING.DB"), std::string::npos);
  }
}

TEST(ParadoxCodec, StoredBytesOfEachTypeAndBlankVersusZero) {
  CodePage cp(437);
  const std::vector<Field> fields = {
      {"S", FieldType::kShort, 2},     {"I", FieldType::kLong, 4},
      {"D", FieldType::kDate, 4},      {"N", FieldType::kNumber, 8},
      {"B", FieldType::kBcd, 2},       {"L", FieldType::kLogical, 1},
      {"T", FieldType::kTime, 4},      {"TS", FieldType::kTimestamp, 8},
      {"A", FieldType::kAlpha, 5},     {"Y", FieldType::kBytes, 3},
      {"M", FieldType::kMemo, 20},     {"P", FieldType::kAutoIncrement, 4}};
  FieldCodec codec(fields, cp, "T.DB");
  std::vector<uint8_t> rec(codec.record_size(), 0);
  auto bytes = [&](int f) {
    return std::vector<uint8_t>(rec.begin() + codec.offset(f),
                                rec.begin() + codec.offset(f) + codec.size(f));
  };
  codec.Encode(0, int64_t{1}, rec.data());
  EXPECT_EQ(bytes(0), (std::vector<uint8_t>{0x80, 0x01}));
  codec.Encode(0, int64_t{-1}, rec.data());
  EXPECT_EQ(bytes(0), (std::vector<uint8_t>{0x7F, 0xFF}));
  codec.Encode(2, Date{Day(2018, 1, 1)}, rec.data());
  EXPECT_EQ(bytes(2), (std::vector<uint8_t>{0x80, 0x0B, 0x3D, 0xB7}));
  codec.Encode(3, 1.0, rec.data());
  EXPECT_EQ(bytes(3), (std::vector<uint8_t>{0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
  codec.Encode(3, -1.0, rec.data());
  EXPECT_EQ(bytes(3), (std::vector<uint8_t>{0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  codec.Encode(4, 1.23, rec.data());
  std::vector<uint8_t> bcd(17, 0);
  bcd[0] = 0xC2; bcd[15] = 0x01; bcd[16] = 0x23;
  EXPECT_EQ(bytes(4), bcd);
  EXPECT_EQ(codec.Decode(4, rec.data(), nullptr), Value(1.23));
  codec.Encode(4, -1.23, rec.data());
  EXPECT_EQ(rec[codec.offset(4)], 0x42);
  EXPECT_EQ(codec.Decode(4, rec.data(), nullptr), Value(-1.23));

  // Every kind round-trips; blank (all zero) reads as Null, zero as zero.
  const Record values = {int64_t{-300}, int64_t{2000000}, Date{5}, -2.5,  0.0,
                         false,         Time{3723000},    Timestamp{1e11}, std::string("abc"),
                         Bytes{{1, 2}}, std::string("memo"), int64_t{7}};
  for (size_t f = 0; f < fields.size(); ++f) {
    SCOPED_TRACE(fields[f].name);
    codec.Encode(static_cast<int>(f), values[f], rec.data());
    Value back = codec.Decode(static_cast<int>(f), rec.data(), nullptr);
    if (fields[f].type == FieldType::kBytes) {
      EXPECT_EQ(back, Value(Bytes{{1, 2, 0}}));
    } else {
      EXPECT_EQ(back, values[f]);
    }
    codec.Encode(static_cast<int>(f), Null{}, rec.data());
    EXPECT_EQ(codec.Decode(static_cast<int>(f), rec.data(), nullptr), Value(Null{}));
  }
  codec.Encode(1, int64_t{0}, rec.data());
  EXPECT_EQ(codec.Decode(1, rec.data(), nullptr), Value(int64_t{0}));
  codec.Encode(8, std::string(), rec.data());  // alpha: empty text and blank are the same bytes
  EXPECT_EQ(codec.Decode(8, rec.data(), nullptr), Value(Null{}));
  EXPECT_THROW(codec.Encode(0, int64_t{40000}, rec.data()), EngineError);
  EXPECT_THROW(codec.Encode(2, std::string("x"), rec.data()), EngineError);
  EXPECT_THROW(codec.Encode(10, std::string(30, 'm'), rec.data()), EngineError);  // beyond leader
}

}  // namespace
}  // namespace varnholt::paradox
