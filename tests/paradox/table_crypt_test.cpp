// Password-protected tables: pxlib writes a protected table that the engine opens only with its
// password, and what the engine writes to it pxlib reads back; the genuine protected samples
// unscramble to the records pxlib reads from them.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>

#include "paradox_test_util.h"
#include "stores/paradox/engine_message.h"
#include "stores/paradox/header.h"
#include "stores/paradox/table_crypt.h"
#include "stores/paradox/table_file.h"
#include "tests/support/pxlib_writer.h"
#include "tools/sample_school/protect_table.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

constexpr char kPassword[] = "Kestrel7";

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Code(int i) {
  std::string s = std::to_string(i);
  return std::string(6 - s.size(), '0') + s;
}

// A pxlib-made protected table of `count` rows "000000|Name 0" ...
std::string PxlibTable(const ScratchDir& dir, int key_fields, int count) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < count; ++i) rows.push_back({Code(i * 2), "Name " + std::to_string(i)});
  const std::string path = dir.File("SECRET.DB");
  const std::string error = testing::WriteWithPxlib(path, {"Code", "Name"}, 20, key_fields, rows, kPassword);
  if (!error.empty()) ADD_FAILURE() << error;
  return path;
}

std::string Message(const std::function<void()>& run) {
  try {
    run();
  } catch (const EngineError& e) {
    return e.what();
  }
  return "";
}

TEST(TableCrypt, ChecksumIsWhatPxlibStores) {
  if (!testing::HavePxlib()) GTEST_SKIP() << "pxlib not available";
  ScratchDir dir;
  for (const std::string password : {"a", "Kestrel7", "kestrel7", "a much longer pass phrase!"}) {
    SCOPED_TRACE(password);
    const std::string path = dir.File(password.substr(0, 1) + std::to_string(password.size()) + ".DB");
    ASSERT_EQ(testing::WriteWithPxlib(path, {"A"}, 10, 0, {{"x"}}, password), "");
    EXPECT_EQ(StoredPasswordChecksum(path), PasswordChecksum(password));
  }
  EXPECT_EQ(PasswordChecksum(""), 0u);
  EXPECT_NE(PasswordChecksum("Kestrel7"), PasswordChecksum("kestrel7"));  // case matters
}

TEST(TableCrypt, BlocksRoundTripAndDifferByBlockNumber) {
  std::vector<uint8_t> plain(2048);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + 3);
  std::vector<uint8_t> one = plain;
  std::vector<uint8_t> two = plain;
  EncryptBlock(one.data(), one.size(), 0x12345678, 1);
  EncryptBlock(two.data(), two.size(), 0x12345678, 2);
  EXPECT_NE(one, plain);
  EXPECT_NE(one, two);
  DecryptBlock(one.data(), one.size(), 0x12345678, 1);
  DecryptBlock(two.data(), two.size(), 0x12345678, 2);
  EXPECT_EQ(one, plain);
  EXPECT_EQ(two, plain);
}

TEST(TableCrypt, OpensOnlyWithItsPasswordAndARefusalWritesNothing) {
  if (!testing::HavePxlib()) GTEST_SKIP() << "pxlib not available";
  ScratchDir dir;
  const std::string path = PxlibTable(dir, 1, 40);
  const std::vector<uint8_t> before = FileBytes(path);
  EXPECT_EQ(Message([&] { Table::Open(path, true); }),
            "Insufficient table rights for operation. Password required.\nTable: " + path);
  EXPECT_EQ(Message([&] { Table::Open(path, true, "kestrel7"); }),
            "Invalid password given.\nTable: " + path);
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_FALSE(fs::exists(dir.File("SECRET.PX")));

  auto table = Table::Open(path, false, kPassword);
  ASSERT_EQ(table->RecordCount(), 40u);
  const std::vector<RowId> rows = table->Rows();
  EXPECT_EQ(table->Get(rows[0]), (Record{Code(0), std::string("Name 0")}));
  EXPECT_EQ(table->Get(rows[39]), (Record{Code(78), std::string("Name 39")}));
}

TEST(TableCrypt, RowsWrittenStayProtectedAndPxlibReadsThem) {
  if (!testing::HavePxlib()) GTEST_SKIP() << "pxlib not available";
  for (int key_fields : {0, 1}) {
    SCOPED_TRACE(key_fields);
    ScratchDir dir;
    const std::string path = PxlibTable(dir, key_fields, 300);
    {
      auto table = Table::Open(path, true, kPassword);
      // Odd codes fall between the even ones: blocks split and the index grows.
      for (int i = 0; i < 300; ++i) table->Insert(Record{Code(i * 2 + 1), "New " + std::to_string(i)});
      table->Update(table->Rows()[0], Record{Code(0), std::string("Changed")});
      table->Save();
    }
    EXPECT_EQ(StoredPasswordChecksum(path), PasswordChecksum(kPassword));
    // No record text lies in the file in the clear.
    const std::vector<uint8_t> bytes = FileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("Changed"), std::string::npos);
    EXPECT_EQ(text.find("New 1"), std::string::npos);

    std::string error;
    const std::vector<std::string> read = testing::ReadWithPxlib(path, &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(read.size(), 600u);
    EXPECT_NE(std::find(read.begin(), read.end(), Code(0) + "|Changed"), read.end());
    EXPECT_NE(std::find(read.begin(), read.end(), Code(599) + "|New 299"), read.end());

    auto again = Table::Open(path, true, kPassword);
    EXPECT_EQ(again->RecordCount(), 600u);
    // The scrambled .PX written with the rows is read back as it is, not rebuilt.
    EXPECT_FALSE(dynamic_cast<TableFile*>(again.get())->repaired());
    if (key_fields > 0) {
      EXPECT_EQ(ParseHeader(FileBytes(dir.File("SECRET.PX")), "px").password_checksum,
                PasswordChecksum(kPassword));
      const std::vector<RowId> rows = again->Rows();
      for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(std::get<std::string>(again->Get(rows[i])[0]), Code(static_cast<int>(i)));
      }
    }
  }
}

TEST(TableCrypt, ProtectedByOurToolReadsAsBeforeThroughPxlibAndTheEngine) {
  ScratchDir dir;
  const std::string path = dir.File("CLASSES.DB");
  Table::Create(path, testing::SmallSchema());
  {
    auto table = Table::Open(path, true);
    for (int i = 0; i < 200; ++i) table->Insert(testing::SmallRecord(Code(i), "Class " + std::to_string(i)));
    table->Save();
  }
  ProtectTable(path, kPassword);
  EXPECT_NE(Message([&] { Table::Open(path, true); }), "");
  auto table = Table::Open(path, true, kPassword);
  EXPECT_FALSE(dynamic_cast<TableFile*>(table.get())->repaired());
  ASSERT_EQ(table->RecordCount(), 200u);
  EXPECT_EQ(table->Get(table->Rows()[123]), testing::SmallRecord(Code(123), "Class 123"));
  if (testing::HavePxlib()) {
    std::string error;
    EXPECT_EQ(testing::ReadWithPxlib(path, &error).size(), 200u);
    EXPECT_EQ(error, "");
  }
}

TEST(TableCrypt, GenuineProtectedSamplesUnscrambleToWhatPxlibReads) {
  if (testing::SampleDir().empty()) GTEST_SKIP() << "genuine samples not present";
  if (!testing::HavePxlib()) GTEST_SKIP() << "pxlib not available";
  for (const char* name : {"encrypted.db", "encrypted35.db"}) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    testing::CopySamples("leonhad-paradoxdriver/encrypt", {name}, dir.path());
    const std::string path = dir.File(name);
    std::vector<uint8_t> bytes = FileBytes(path);
    const Header h = ParseHeader(bytes, path);
    ASSERT_NE(h.password_checksum, 0u);
    EXPECT_NE(Message([&] { Table::Open(path, false); }).find("Password required"), std::string::npos);
    std::string error;
    const std::vector<std::string> rows = testing::ReadWithPxlib(path, &error);
    ASSERT_EQ(error, "");
    ASSERT_FALSE(rows.empty());
    // Every row pxlib reads (a few: all in block 1) stands in block 1 once unscrambled, not before.
    uint8_t* block = bytes.data() + h.header_size;
    const size_t size = static_cast<size_t>(h.block_size);
    const std::string scrambled(reinterpret_cast<const char*>(block), size);
    DecryptBlock(block, size, h.password_checksum, 1);
    const std::string plain(reinterpret_cast<const char*>(block), size);
    for (const std::string& row : rows) {
      const std::string text = row.substr(row.rfind('|') + 1);
      ASSERT_GE(text.size(), 3u) << row;
      EXPECT_NE(plain.find(text), std::string::npos) << text;
      EXPECT_EQ(scrambled.find(text), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace varnholt::paradox
