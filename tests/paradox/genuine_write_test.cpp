// Genuine tables opened for writing: an open that writes nothing leaves every file as it was, mtime
// included, and a few rows written through the engine give files that every reader accepts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "paradox_test_util.h"
#include "stores/paradox/table.h"
#include "stores/paradox/table_file.h"
#include "tests/support/format_audit.h"
#include "tests/support/table_checker.h"

namespace varnholt::paradox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

struct FileState {
  std::vector<uint8_t> bytes;
  fs::file_time_type mtime;
  bool operator==(const FileState&) const = default;
};
using FolderState = std::map<std::string, FileState>;

std::vector<uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

FolderState StateOf(const std::string& dir) {
  FolderState state;
  for (const auto& e : fs::directory_iterator(dir)) {
    state[e.path().filename().string()] = FileState{FileBytes(e.path()), fs::last_write_time(e.path())};
  }
  return state;
}

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Copies the family of `db` (every file beside it with its stem) into `dir`, writable, dated an
// hour back so that any rewrite shows in the mtime. Returns the copy of the .DB.
std::string CopyFamily(const fs::path& db, const std::string& dir) {
  const std::string stem = Upper(db.stem().string());
  const auto then = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& e : fs::directory_iterator(db.parent_path())) {
    if (Upper(e.path().stem().string()) != stem) continue;
    const fs::path to = fs::path(dir) / e.path().filename();
    fs::copy_file(e.path(), to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
    fs::last_write_time(to, then);
  }
  return (fs::path(dir) / db.filename()).string();
}

std::vector<fs::path> GenuineTables() {
  std::vector<fs::path> tables;
  for (const auto& e : fs::recursive_directory_iterator(testing::SampleDir())) {
    if (Upper(e.path().extension().string()) == ".DB") tables.push_back(e.path());
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

// What the format audit script (written from the format notes alone) finds wrong with the family; "" when
// nothing.
#ifndef _WIN32
std::string FormatAuditComplaints(const std::string& db_path) {
  std::vector<std::string> files{db_path};
  const fs::path px = fs::path(db_path).replace_extension(".PX");
  if (fs::exists(px)) files.push_back(px.string());
  return testing::FormatAuditComplaints(files);
}
#endif

// A value of `field`'s type that is new to the table on the attempt'th try: near `near` at first,
// then far past every genuine value.
Value NewKey(const Field& field, const Value& near, int attempt) {
  switch (field.type) {
    case FieldType::kAlpha: {
      const auto* s = std::get_if<std::string>(&near);
      std::string text = s ? s->substr(0, std::max(0, field.size - 1)) : std::string();
      text.push_back(static_cast<char>('0' + attempt % 75));
      return text;
    }
    case FieldType::kShort: case FieldType::kLong: case FieldType::kAutoIncrement: {
      const auto* i = std::get_if<int64_t>(&near);
      if (i && attempt < 20) return *i + 1 + attempt;
      return int64_t{(field.size == 2 ? 32000 : 2000000000) - attempt};
    }
    case FieldType::kNumber: case FieldType::kMoney: case FieldType::kBcd: {
      const auto* d = std::get_if<double>(&near);
      return (d ? *d : 0.0) + 0.25 + attempt;
    }
    case FieldType::kDate: {
      const auto* d = std::get_if<Date>(&near);
      return Date{(d ? d->days : 730000) + 1 + attempt};
    }
    case FieldType::kTime:
      return Time{1000 * attempt + 7};
    case FieldType::kTimestamp:
      return Timestamp{6.3e13 + 1000.0 * attempt};
    case FieldType::kLogical:
      return attempt % 2 == 0;
    default:
      return near;
  }
}

// A record for a new row: `from` with the fields a post cannot write (memos, blobs, the counter)
// left blank, and for a keyed table its first key field moved to a value no row holds; with
// `every_field`, for a table whose unique secondary indexes hold other fields, those moved too.
Record NewRecord(Table* table, Record from, int attempt, bool every_field) {
  for (size_t f = 0; f < from.size(); ++f) {
    switch (table->fields()[f].type) {
      case FieldType::kMemo: case FieldType::kBlob: case FieldType::kFormattedMemo:
      case FieldType::kOle: case FieldType::kGraphic: case FieldType::kAutoIncrement:
        from[f] = Null{};
        break;
      default:
        break;
    }
  }
  if (table->key_field_count() > 0) from[0] = NewKey(table->fields()[0], from[0], attempt);
  for (size_t f = 1; every_field && f < from.size(); ++f) {
    if (table->fields()[f].type != FieldType::kAlpha) from[f] = NewKey(table->fields()[f], from[f], attempt);
  }
  return from;
}

// Inserts `count` rows next to existing ones and changes a field of two others. False (with a
// reason) when the engine refuses writing to this table at all.
bool WriteAFewRows(Table* table, int count, std::string* refused) {
  const auto rows = table->Rows();
  int inserted = 0;
  bool every_field = false;
  for (int attempt = 0; inserted < count && attempt < 200; ++attempt) {
    const Record& pattern = table->Get(rows[(rows.size() * (inserted + 1)) / (count + 1)]);
    try {
      table->Insert(NewRecord(table, pattern, attempt, every_field));
      ++inserted;
    } catch (const EngineError& e) {
      const std::string why = e.what();
      if (why.find("Key violation") != std::string::npos) {
        every_field = every_field || why.find("\nIndex: ") != std::string::npos;
        continue;
      }
      *refused = why;
      return false;
    }
  }
  EXPECT_EQ(inserted, count);
  for (size_t k : {rows.size() / 3, rows.size() - 1}) {
    Record r = table->Get(rows[k]);
    for (size_t f = static_cast<size_t>(std::max(1, table->key_field_count())); f < r.size(); ++f) {
      if (table->fields()[f].type != FieldType::kAlpha) continue;
      r[f] = std::string("Changed");
      break;
    }
    table->Update(rows[k], r);
  }
  table->Save();
  return true;
}

class GenuineWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::SampleDir().empty()) GTEST_SKIP() << "genuine samples not present";
  }
};

TEST_F(GenuineWriteTest, WritableOpenAndReadingEverythingLeaveEveryFileAsItWas) {
  int opened = 0;
  for (const fs::path& genuine : GenuineTables()) {
    SCOPED_TRACE(genuine.string());
    ScratchDir dir;
    const std::string path = CopyFamily(genuine, dir.path());
    const FolderState before = StateOf(dir.path());
    try {
      auto table = Table::Open(path, true);
      for (RowId r : table->Rows()) table->Get(r);
      ++opened;
    } catch (const EngineError&) {
      // Refused (password, damage): refusing must not write either.
    }
    EXPECT_TRUE(StateOf(dir.path()) == before);
  }
  EXPECT_GE(opened, 6);
}

TEST_F(GenuineWriteTest, AFewRowsWrittenAreAcceptedByTheCheckerPxlibAndTheFormatAudit) {
  int written = 0;
  for (const fs::path& genuine : GenuineTables()) {
    SCOPED_TRACE(genuine.string());
    ScratchDir dir;
    const std::string path = CopyFamily(genuine, dir.path());
    std::unique_ptr<Table> table;
    try {
      table = Table::Open(path, true);
    } catch (const EngineError&) {
      continue;  // the first test shows it is left alone
    }
    if (table->RecordCount() < 3) continue;
    const size_t had = table->RecordCount();
    std::string refused;
    if (!WriteAFewRows(table.get(), 3, &refused)) {
      // Only secondary indexes that the product keeps current stop a write to a sound table.
      EXPECT_FALSE(dynamic_cast<TableFile*>(table.get())->maintained_indexes().empty()) << refused;
      continue;
    }
    ++written;
    table.reset();
    const CheckResult check = CheckTable(path);
    EXPECT_TRUE(check.ok()) << check.Summary();
    EXPECT_EQ(check.records, had + 3);
#ifndef _WIN32  // the format audit is a Python script, run through a POSIX shell
    EXPECT_EQ(FormatAuditComplaints(path), "");
#endif
    if (testing::HavePxlib()) {
      std::string error;
      EXPECT_EQ(testing::ReadWithPxlib(path, &error).size(), had + 3);
      EXPECT_EQ(error, "");
    }
  }
  EXPECT_GE(written, 4);
}

}  // namespace
}  // namespace varnholt::paradox
