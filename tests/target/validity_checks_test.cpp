// Validity checks as the tables' own engine applies them on every post: defaults of a new row,
// minimum and maximum, lookups; a .VAL written for another structure or damaged is ignored.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>

#include "stores/paradox/val_layout.h"
#include "stores/paradox/validity_checks.h"
#include "stores/target/target_session.h"
#include "tests/target/target_test_tables.h"
#include "tools/sample_school/validity_file.h"

namespace varnholt {
namespace {

namespace fs = std::filesystem;
using paradox::Date;
using paradox::FieldType;
using paradox::Null;
using paradox::Record;
using paradox::Value;

// CODE A10 (key), COUNT I, NAME A20, BORN D.
std::string MakeTable(const std::string& dir) {
  paradox::TableSchema schema;
  schema.fields = {{"CODE", FieldType::kAlpha, 10},
                   {"COUNT", FieldType::kLong, 4},
                   {"NAME", FieldType::kAlpha, 20},
                   {"BORN", FieldType::kDate, 4}};
  schema.key_field_count = 1;
  const std::string path = dir + "/T.DB";
  paradox::Table::Create(path, schema);
  return path;
}

std::vector<paradox::FieldCheckDefinition> RangeAndDefaults() {
  std::vector<paradox::FieldCheckDefinition> checks(3);
  checks[0].field = 1;  // COUNT
  checks[0].minimum = Value(int64_t{1});
  checks[0].maximum = Value(int64_t{100});
  checks[0].default_value = Value(int64_t{5});
  checks[1].field = 2;  // NAME
  checks[1].required = true;
  checks[1].minimum = Value(std::string("B"));
  checks[1].default_value = Value(std::string("Nobody"));
  checks[1].picture = "*@";
  checks[2].field = 3;  // BORN
  checks[2].maximum = Value(Date{740000});
  return checks;
}

TEST(ValidityChecksTest, NewRowStartsWithTheDefaultsAndRangesAreCheckedAtPost) {
  testing::TempDir dir;
  const std::string path = MakeTable(dir.path());
  paradox::WriteValidityFile(path, RangeAndDefaults());
  TargetSession session;
  SharedTable& table = session.OpenTable(dir.path(), "T.DB");
  Record row = table.NewRecord();
  EXPECT_EQ(row, (Record{Null{}, int64_t{5}, std::string("Nobody"), Null{}}));

  row[0] = std::string("A1");
  row[1] = int64_t{0};
  EXPECT_EQ(testing::ErrorMessage([&] { table.Insert(row); }),
            "Minimum validity check failed.\nField: COUNT\nValue: 0\nTable: " + table.table().path());
  row[1] = int64_t{101};
  EXPECT_EQ(testing::ErrorMessage([&] { table.Insert(row); }),
            "Maximum validity check failed.\nField: COUNT\nValue: 101\nTable: " + table.table().path());
  row[1] = int64_t{100};
  row[2] = std::string("Abel");  // below "B"
  EXPECT_NE(testing::ErrorMessage([&] { table.Insert(row); }).find("Minimum validity check failed.\nField: NAME\nValue: Abel"),
            std::string::npos);
  row[2] = std::string("Bob");
  row[3] = Date{740001};
  EXPECT_NE(testing::ErrorMessage([&] { table.Insert(row); }).find("Maximum validity check failed.\nField: BORN"),
            std::string::npos);
  EXPECT_EQ(table.table().RecordCount(), 0u);

  row[3] = Null{};  // blank fields are not checked
  const paradox::RowId id = table.Insert(row);
  row[1] = int64_t{200};
  EXPECT_NE(testing::ErrorMessage([&] { table.UpdateAll({{id, row}}); }).find("Maximum validity check failed."),
            std::string::npos);
  row[2] = Null{};
  row[1] = int64_t{7};
  EXPECT_EQ(testing::ErrorMessage([&] { table.UpdateAll({{id, row}}); }), "Field 'NAME' must have a value");
  EXPECT_EQ(table.table().Get(id)[1], Value(int64_t{100}));
}

TEST(ValidityChecksTest, OutdatedOrDamagedFilesAreIgnored) {
  testing::TempDir dir;
  const std::string path = MakeTable(dir.path());
  paradox::WriteValidityFile(path, RangeAndDefaults());
  const fs::path val = fs::path(dir.path()) / "T.VAL";
  std::ifstream in(val, std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(paradox::ValidityChecks::Read(path, paradox::Table::Open(path, false)->fields(), 437)
                   .NewRecord()[1] == Value(Null{}));

  std::vector<std::string> bad;
  bad.push_back(good);
  bad.back()[0] = static_cast<char>(good[0] + 1);  // written for another structure
  using namespace paradox;
  bad.push_back(good.substr(0, kValFirstEntry + kEntryFixedSize + 3));  // cut inside the values
  bad.push_back(good);
  bad.back()[kValFirstEntry + kEntryField] = 9;  // a field the table lacks
  bad.push_back(good);
  bad.back()[kValFirstEntry + kEntryPictureLength] = 3;  // a picture length without the picture's mark
  for (const std::string& bytes : bad) {
    SCOPED_TRACE(&bytes - bad.data());
    std::ofstream(val, std::ios::binary | std::ios::trunc) << bytes;
    TargetSession session;
    SharedTable& table = session.OpenTable(dir.path(), "T.DB");
    EXPECT_EQ(table.NewRecord(), Record(4, Null{}));
    table.Insert(Record{std::string("X" + std::to_string(table.table().RecordCount())), int64_t{0}, Null{}, Null{}});
    table.Save();
  }
}

// Hand-made .VAL bytes: an entry for `field` with optional minimum and maximum (4-byte values), a
// picture, required or not; the .DB beside it needs only the structure change counter.
std::string DbHeader(char change_count) {
  std::string header(0x58, '\0');
  header[0x2E] = change_count;
  return header;
}

std::string Entry(int field, bool required, bool with_range, const std::string& picture) {
  std::string entry(0x1C, '\0');
  entry[0] = static_cast<char>(field);
  entry[1] = static_cast<char>(picture.size());
  entry[2] = required ? 1 : 0;
  if (with_range) {
    entry[4 + 4 * 2] = 1;  // minimum present
    entry[4 + 4 * 3] = 1;  // maximum present
    entry += std::string(8, '\x7F');
  }
  if (!picture.empty()) entry[4 + 4 * 5] = 1;
  return entry + picture;
}

std::string Val(char change_count, const std::vector<std::string>& entries) {
  std::string val(0x35, '\0');
  val[0] = change_count;
  val[1] = 12;
  val[2] = static_cast<char>(entries.size());
  for (const std::string& entry : entries) val += entry;
  return val + std::string(16, '\0');  // stands for the footer, which is not read
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

const std::vector<paradox::Field> kRequiredFields = {
    {"CODE", FieldType::kAlpha, 10}, {"COUNT", FieldType::kLong, 4}, {"NAME", FieldType::kAlpha, 20}};

std::vector<bool> RequiredOf(const std::string& db_path) {
  return paradox::ValidityChecks::Read(db_path, kRequiredFields, 437).required();
}

TEST(ValidityChecksTest, RequiredFlagsAreReadPastRangesAndPictures) {
  testing::TempDir dir;
  WriteFile(dir.path() + "/T.DB", DbHeader(7));
  WriteFile(dir.path() + "/t.val",
            Val(7, {Entry(1, false, true, std::string("###\0", 4)), Entry(2, true, false, "")}));
  EXPECT_EQ(RequiredOf(dir.path() + "/T.DB"), (std::vector<bool>{false, false, true}));
}

TEST(ValidityChecksTest, NoFieldIsRequiredByAMissingOutdatedOrDamagedFile) {
  testing::TempDir dir;
  const std::vector<bool> none(3, false);
  const std::string db = dir.path() + "/T.DB";
  WriteFile(db, DbHeader(7));
  EXPECT_EQ(RequiredOf(db), none);
  // Written for another structure of the table.
  WriteFile(dir.path() + "/T.VAL", Val(6, {Entry(0, true, false, "")}));
  EXPECT_EQ(RequiredOf(db), none);
  // Cut short in the middle of an entry, and naming a field the table lacks.
  WriteFile(dir.path() + "/T.VAL", Val(7, {Entry(0, true, false, "")}).substr(0, 0x40));
  EXPECT_EQ(RequiredOf(db), none);
  WriteFile(dir.path() + "/T.VAL", Val(7, {Entry(9, true, false, "")}));
  EXPECT_EQ(RequiredOf(db), none);
}

class GenuineValidityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(Folder())) GTEST_SKIP() << "no sample files";
  }
  static std::string Folder() {
    return std::string(VARNHOLT_SHARED_DIR) + "/testdata/paradox/leonhad-paradoxdriver";
  }
  void Copy(const std::string& sub, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      const fs::path to = fs::path(dir_.path()) / name;
      fs::copy_file(fs::path(Folder()) / sub / name, to);
      fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
    }
  }
  testing::TempDir dir_;
};

TEST_F(GenuineValidityTest, LookupRefusesAValueItsTableLacks) {
  Copy("joins", {"joina.db", "joinb.db", "joinb.val", "origin.db", "origin.val", "destination.db"});
  TargetSession session;
  SharedTable& joina = session.OpenTable(dir_.path(), "joina.db");
  SharedTable& joinb = session.OpenTable(dir_.path(), "joinb.db");
  const Value present = joina.table().Get(joina.table().Rows()[0])[0];
  const auto before = testing::Snapshot(dir_.path());
  EXPECT_EQ(testing::ErrorMessage([&] { joinb.Insert(Record{int64_t{31999}}); }),
            "Field value out of lookup table range.\nField: " + joinb.table().fields()[0].name +
                "\nValue: 31999\nTable: " + joinb.table().path());
  session.SaveAll();
  EXPECT_EQ(testing::Snapshot(dir_.path()), before);
  joinb.Insert(Record{present});

  // A lookup into a table whose first field is an autoincrement.
  SharedTable& origin = session.OpenTable(dir_.path(), "origin.db");
  SharedTable& destination = session.OpenTable(dir_.path(), "destination.db");
  const Value id = destination.table().Get(destination.table().Rows()[0])[0];
  EXPECT_NE(testing::ErrorMessage([&] { origin.Insert(Record{Null{}, int64_t{424242}}); }).find("lookup table range"),
            std::string::npos);
  origin.Insert(Record{Null{}, id});
  session.SaveAll();
  EXPECT_EQ(joinb.table().RecordCount(), 4u);
  EXPECT_EQ(origin.table().RecordCount(), 2u);
}

TEST_F(GenuineValidityTest, DefaultAndRequiredOfALogicalField) {
  Copy("fields", {"logical.db", "logical.val"});
  TargetSession session;
  SharedTable& table = session.OpenTable(dir_.path(), "logical.db");
  EXPECT_EQ(table.NewRecord(), Record{Value(true)});
  EXPECT_EQ(table.required(), std::vector<bool>{true});
}

TEST_F(GenuineValidityTest, PicturesAreReadButNotApplied) {
  Copy("areas", {"ZIPCODES.DB", "ZIPCODES.PX", "ZIPCODES.VAL"});
  const std::string path = dir_.path() + "/ZIPCODES.DB";
  const paradox::ValidityChecks checks =
      paradox::ValidityChecks::Read(path, paradox::Table::Open(path, false)->fields(), 437);
  EXPECT_EQ(checks.fields()[0].picture, "#####");
  EXPECT_EQ(checks.fields()[1].picture, "&&");
  checks.CheckRange(Record{std::string("not digits"), std::string("123"), std::string("x")});
}

TEST(ValidityChecksTest, AGenuineValFileWithPicturesOnlyRequiresNothing) {
  const std::string folder =
      std::string(VARNHOLT_SHARED_DIR) + "/testdata/paradox/teverett-paradoxReader/AREA-PDX";
  if (!fs::exists(folder)) GTEST_SKIP() << "no sample files";
  const std::vector<paradox::Field> fields = {{"Area Code", FieldType::kShort, 2},
                                              {"Country", FieldType::kAlpha, 30},
                                              {"Full State", FieldType::kAlpha, 21},
                                              {"State", FieldType::kAlpha, 2}};
  EXPECT_EQ(paradox::ValidityChecks::Read(folder + "/AREACODE.DB", fields, 437).required(),
            std::vector<bool>(4, false));
}

}  // namespace
}  // namespace varnholt
