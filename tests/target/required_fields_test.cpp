#include "stores/paradox/required_fields.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "stores/paradox/header.h"
#include "stores/paradox/val_layout.h"
#include "tests/target/target_test_tables.h"

namespace varnholt {
namespace {

using paradox::Field;
using paradox::FieldType;

const std::vector<Field> kFields = {{"CODE", FieldType::kAlpha, 10},
                                    {"COUNT", FieldType::kLong, 4},
                                    {"NAME", FieldType::kAlpha, 20}};

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string DbHeader(char change_count) {
  std::string header(paradox::kHeaderFixedSize, '\0');
  header[paradox::kHeaderChangeCount2] = change_count;
  return header;
}

// Entry for `field`: optional minimum and maximum (4-byte values), a picture, required or not.
std::string Entry(int field, bool required, bool with_range, const std::string& picture) {
  using namespace paradox;
  std::string entry(kEntryFixedSize, '\0');
  entry[kEntryField] = static_cast<char>(field);
  entry[kEntryPictureLength] = static_cast<char>(picture.size());
  entry[kEntryRequired] = required ? kRequired : 0;
  if (with_range) {
    entry[kEntryPointers + kEntryPointerSize * kEntryMinPointer] = 1;
    entry[kEntryPointers + kEntryPointerSize * kEntryMaxPointer] = 1;
    entry += std::string(8, '\x7F');
  }
  if (!picture.empty()) entry[kEntryPointers + kEntryPointerSize * kEntryPicturePointer] = 1;
  return entry + picture;
}

std::string Val(char change_count, const std::vector<std::string>& entries) {
  std::string val(paradox::kValFirstEntry, '\0');
  val[paradox::kValChangeCount] = change_count;
  val[paradox::kValVersion] = 12;
  val[paradox::kValEntryCount] = static_cast<char>(entries.size());
  for (const std::string& entry : entries) val += entry;
  return val + std::string(16, '\0');  // stands for the footer, which is not read
}

TEST(RequiredFieldsTest, ReadsFlagsPastRangesAndPictures) {
  testing::TempDir dir;
  WriteFile(dir.path() + "/T.DB", DbHeader(7));
  WriteFile(dir.path() + "/t.val",
            Val(7, {Entry(1, false, true, std::string("###\0", 4)), Entry(2, true, false, "")}));
  EXPECT_EQ(ReadRequiredFields(dir.path() + "/T.DB", kFields),
            (std::vector<bool>{false, false, true}));
}

TEST(RequiredFieldsTest, IgnoresMissingOutdatedAndDamagedFiles) {
  testing::TempDir dir;
  const std::vector<bool> none(3, false);
  WriteFile(dir.path() + "/T.DB", DbHeader(7));
  EXPECT_EQ(ReadRequiredFields(dir.path() + "/T.DB", kFields), none);
  // Written for another structure of the table.
  WriteFile(dir.path() + "/T.VAL", Val(6, {Entry(0, true, false, "")}));
  EXPECT_EQ(ReadRequiredFields(dir.path() + "/T.DB", kFields), none);
  // Cut short in the middle of an entry, and naming a field the table lacks.
  WriteFile(dir.path() + "/T.VAL", Val(7, {Entry(0, true, false, "")}).substr(0, 0x40));
  EXPECT_EQ(ReadRequiredFields(dir.path() + "/T.DB", kFields), none);
  WriteFile(dir.path() + "/T.VAL", Val(7, {Entry(9, true, false, "")}));
  EXPECT_EQ(ReadRequiredFields(dir.path() + "/T.DB", kFields), none);
}

TEST(RequiredFieldsTest, GenuineValFileWithPicturesOnly) {
  std::string folder = std::string(VARNHOLT_SHARED_DIR) + "/testdata/paradox/teverett-paradoxReader/AREA-PDX";
  if (!std::filesystem::exists(folder)) GTEST_SKIP() << "no sample files";
  std::vector<Field> fields = {{"Area Code", FieldType::kShort, 2},
                               {"Country", FieldType::kAlpha, 30},
                               {"Full State", FieldType::kAlpha, 21},
                               {"State", FieldType::kAlpha, 2}};
  EXPECT_EQ(ReadRequiredFields(folder + "/AREACODE.DB", fields), std::vector<bool>(4, false));
}

}  // namespace
}  // namespace varnholt
