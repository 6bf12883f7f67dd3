// The change list from a real table's posts and between two real tables, and its file's bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/utf8_path.h"
#include "base/code_page.h"
#include "stores/backup/change_list.h"
#include "stores/backup/change_list_file.h"
#include "stores/backup/posted_changes.h"
#include "stores/paradox/table.h"
#include "tests/support/scratch_folder.h"

namespace varnholt {
namespace {

using paradox::Field;
using paradox::FieldType;
using paradox::Record;
using paradox::Value;

paradox::TableSchema LearnerSchema() {
  paradox::TableSchema schema;
  schema.fields = {Field{"CODE", FieldType::kAlpha, 10}, Field{"SURNAME", FieldType::kAlpha, 30},
                   Field{"BORN", FieldType::kDate, 4}, Field{"FEES", FieldType::kMoney, 8}};
  schema.key_field_count = 1;
  schema.code_page = 1252;
  return schema;
}

Record Learner(const std::string& code, const std::string& surname, int32_t born, double fees) {
  return {Value(code), Value(surname), Value(paradox::Date{born}), Value(fees)};
}

// A scratch folder removed with the test.
class Scratch {
 public:
  Scratch() : path_(testing::MakeScratchFolder("varnholt-changes-")) {}
  ~Scratch() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class ChangeListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = Utf8FromPath(scratch_.path() / "LEARNERS.DB");
    paradox::Table::Create(path_, LearnerSchema());
    table_ = paradox::Table::Open(path_, true);
    for (int n = 1; n <= 4; ++n) table_->Insert(Learner("L" + std::to_string(n), "Surname" + std::to_string(n), 738000 + n, 100.5));
    table_->Save();
  }
  paradox::RowId RowOf(const std::string& code) { return table_->FindEqual(0, Value(code)).at(0); }

  Scratch scratch_;
  std::string path_;
  std::unique_ptr<paradox::Table> table_;
};

TEST_F(ChangeListTest, PostsGiveAddedAndRewrittenRowsWithTheirOldValuesAndASavedRowsNone) {
  EXPECT_EQ(ChangesOfPosts(*table_, "LEARNERS.DB").rows.size(), 0u);  // all saved
  table_->Insert(Learner("L9", "New", 738100, 0));
  table_->Update(RowOf("L2"), Learner("L2", "Nkosi", 738002, 250));
  // Rewritten and then back to what was saved: no change to list.
  table_->Update(RowOf("L3"), Learner("L3", "Other", 738003, 100.5));
  table_->Update(RowOf("L3"), Learner("L3", "Surname3", 738003, 100.5));
  // A changed key is listed under the key the operator knew.
  table_->Update(RowOf("L4"), Learner("L5", "Surname4", 738004, 100.5));
  // A row added then rewritten is one added row.
  table_->Update(RowOf("L9"), Learner("L9", "Newer", 738100, 0));

  const TableChanges changes = ChangesOfPosts(*table_, "LEARNERS.DB");
  EXPECT_EQ(changes.added, 1u);
  EXPECT_EQ(changes.rewritten, 2u);
  EXPECT_EQ(changes.unchanged, 2u);
  ASSERT_EQ(changes.rows.size(), 3u);
  EXPECT_EQ(changes.rows[0].key, "L2");
  ASSERT_EQ(changes.rows[0].fields.size(), 2u);
  EXPECT_EQ(changes.rows[0].fields[0].field, "SURNAME");
  EXPECT_EQ(changes.rows[0].fields[0].before, "Surname2");
  EXPECT_EQ(changes.rows[0].fields[0].after, "Nkosi");
  EXPECT_EQ(changes.rows[0].fields[1].before, "100.5");
  EXPECT_EQ(changes.rows[0].fields[1].after, "250");
  EXPECT_EQ(changes.rows[1].key, "L4");
  EXPECT_EQ(changes.rows[1].fields.at(0).after, "L5");
  EXPECT_EQ(changes.rows[2].key, "L9");
  EXPECT_EQ(changes.rows[2].kind, RowChangeKind::kAdded);

  // Saved, they are the table's own: nothing is posted any more; dropped, likewise.
  table_->Save();
  EXPECT_EQ(ChangesOfPosts(*table_, "LEARNERS.DB").rows.size(), 0u);
  table_->Update(RowOf("L1"), Learner("L1", "Gone", 738001, 100.5));
  table_->DropUnsaved();
  EXPECT_EQ(ChangesOfPosts(*table_, "LEARNERS.DB").rows.size(), 0u);
}

TEST_F(ChangeListTest, EveryRewrittenRowKeepsItsOwnSavedValuesHoweverMany) {
  // Enough rows that their saved bytes fill several of the pieces they are kept in.
  constexpr int kRows = 3000;
  for (int n = 10; n < kRows; ++n) table_->Insert(Learner("M" + std::to_string(n), "Before" + std::to_string(n), 738000, n));
  table_->Save();
  for (int n = 10; n < kRows; ++n) {
    const std::string code = "M" + std::to_string(n);
    table_->Update(RowOf(code), Learner(code, "After" + std::to_string(n), 738000, n));
    // A second rewrite keeps the bytes of the last save, not those of the first rewrite.
    if (n % 7 == 0) table_->Update(RowOf(code), Learner(code, "Later" + std::to_string(n), 738000, n));
  }
  const TableChanges changes = ChangesOfPosts(*table_, "LEARNERS.DB");
  ASSERT_EQ(changes.rewritten, static_cast<size_t>(kRows - 10));
  for (const RowChange& row : changes.rows) {
    const std::string n = row.key.substr(1);
    ASSERT_EQ(row.fields.size(), 1u) << row.key;
    EXPECT_EQ(row.fields[0].before, "Before" + n);
    EXPECT_EQ(row.fields[0].after, (std::stoi(n) % 7 == 0 ? "Later" : "After") + n);
  }
}

TEST_F(ChangeListTest, BetweenTwoTablesRowsAreMatchedByKey) {
  const std::string copy = Utf8FromPath(scratch_.path() / "COPY.DB");
  std::filesystem::copy_file(PathFromUtf8(path_), PathFromUtf8(copy));
  std::filesystem::copy_file(scratch_.path() / "LEARNERS.PX", scratch_.path() / "COPY.PX");
  table_->Update(RowOf("L1"), Learner("L1", "Zoë", 738001, 100.5));
  table_->Insert(Learner("L0", "First", 738000, 1));
  table_->Save();
  auto before = paradox::Table::Open(copy, false);
  const TableChanges changes = ChangesBetween(*before, *table_, "LEARNERS.DB");
  EXPECT_EQ(changes.added, 1u);
  EXPECT_EQ(changes.rewritten, 1u);
  EXPECT_EQ(changes.removed, 0u);
  EXPECT_EQ(changes.unchanged, 3u);
  const TableChanges back = ChangesBetween(*table_, *before, "LEARNERS.DB");
  EXPECT_EQ(back.removed, 1u);
  EXPECT_EQ(back.rows.front().key, "L0");
  EXPECT_EQ(back.rows.front().kind, RowChangeKind::kRemoved);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(PostedChangesTest, TheListFromStoredBytesIsTheListFromTheValues) {
  // The list is written from the tables' bytes; made whole from decoded values it must read the
  // same, byte for byte, in a code page whose letters are not Windows-1252's too.
  Scratch scratch;
  for (int code_page : {437, 1252, 932}) {  // 932: characters of two bytes, read by decoding
    SCOPED_TRACE(code_page);
    paradox::TableSchema schema = LearnerSchema();
    schema.code_page = code_page;
    schema.fields[1].size = 200;
    const std::string path = Utf8FromPath(scratch.path() / ("CP" + std::to_string(code_page) + ".DB"));
    paradox::Table::Create(path, schema);
    auto table = paradox::Table::Open(path, true);
    table->Insert(Learner("Zoë", "Müller, \"Jr\"", 738001, 1.25));
    table->Insert(Learner("Émile", "Łódź ½ ß € ñ", 738002, 2));
    table->Insert(Learner("kept", "as it was", 738003, 3));
    table->Save();
    const CodePage letters(code_page);
    std::string every;
    for (int b = 0x80; b < 0x100; ++b) {
      const auto byte = static_cast<uint8_t>(b);
      every += letters.ToUtf8(&byte, 1);
    }
    // A key as the table holds it, for finding its row again where the code page lacks a letter.
    const auto held = [&](const std::string& key) {
      const std::string bytes = letters.FromUtf8(key, key.size());
      return Value(letters.ToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    };
    table->Update(table->FindEqual(0, held("Zoë")).at(0), Learner("Zoë", every, 738011, 1.5));
    table->Update(table->FindEqual(0, held("Émile")).at(0), Learner("Émile", "", 738002, 2));
    table->Insert(Learner("Ña, new", "x", 738004, 4));

    const PostedChanges posted({{table.get(), "CP.DB"}});
    const std::string from_bytes = Utf8FromPath(scratch.path() / "bytes.csv");
    const std::string from_values = Utf8FromPath(scratch.path() / "values.csv");
    WriteChangeList(from_bytes, posted);
    WriteChangeList(from_values, ChangeList{ChangesOfPosts(*table, "CP.DB")});
    const std::string bytes = FileBytes(from_bytes);
    EXPECT_EQ(bytes, FileBytes(from_values));
    EXPECT_NE(bytes.find("CP.DB,1,2,0,1\r\n"), std::string::npos);
    if (code_page != 932) {  // 932 has no Ñ
      EXPECT_NE(bytes.find("CP.DB,\"\xD1" "a, new\",added,,,\r\n"), std::string::npos);
    }
  }
}

TEST(ChangeListFileTest, TheFileIsWindows1252WithQuotedFieldsAndCrLf) {
  TableChanges t;
  t.table = "CH01MAST.DB";
  t.rewritten = 1;
  t.unchanged = 7;
  t.rows.push_back(RowChange{RowChangeKind::kRewritten, "A1", {FieldChange{"SURNAME", "Smith, Jr", "Zoë \"Z\""}}});
  t.rows.push_back(RowChange{RowChangeKind::kAdded, "A2", {}});
  Scratch scratch;
  const std::string path = Utf8FromPath(scratch.path() / "changes.csv");
  WriteChangeList(path, {t});
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes,
            "Table,Added,Rewritten,Removed,Unchanged\r\n"
            "CH01MAST.DB,0,1,0,7\r\n"
            "\r\n"
            "Table,Key,Change,Field,Old value,New value\r\n"
            "CH01MAST.DB,A1,rewritten,SURNAME,\"Smith, Jr\",\"Zo\xEB \"\"Z\"\"\"\r\n"
            "CH01MAST.DB,A2,added,,,\r\n");
  EXPECT_EQ(SummaryLines({t}), std::vector<std::string>{"CH01MAST.DB: 0 added, 1 rewritten, 0 removed, 7 unchanged"});
}

TEST(ChangeListFileTest, ALongListKeepsItsLinesInOrderAcrossItsPieces) {
  // Many more bytes than one piece holds, handed over in pieces small and large.
  TableChanges t;
  t.table = "CH01MAST.DB";
  constexpr int kRows = 60000;
  for (int n = 0; n < kRows; ++n) {
    t.rows.push_back(RowChange{RowChangeKind::kRewritten, "K" + std::to_string(n),
                               {FieldChange{"CH01_SURNAME", std::string(n % 50, 'x'), "y" + std::to_string(n)}}});
  }
  t.rewritten = kRows;
  Scratch scratch;
  const std::string path = Utf8FromPath(scratch.path() / "changes.csv");
  WriteChangeList(path, {t});
  const std::string bytes = FileBytes(path);
  ASSERT_GT(bytes.size(), 3u * ChangeListFile::kPieceBytes);
  size_t at = bytes.find("Table,Key,Change,Field,Old value,New value\r\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_TRUE(bytes.starts_with("Table,Added,Rewritten,Removed,Unchanged\r\n"));
  at = bytes.find('\n', at) + 1;
  for (int n = 0; n < kRows; ++n) {
    const std::string line = "CH01MAST.DB,K" + std::to_string(n) + ",rewritten,CH01_SURNAME," + std::string(n % 50, 'x') +
                             ",y" + std::to_string(n) + "\r\n";
    ASSERT_EQ(bytes.compare(at, line.size(), line), 0) << "line " << n;
    at += line.size();
  }
  EXPECT_EQ(at, bytes.size());
}

TEST(ValueTextTest, EachKindReadsAsABursarWouldWriteIt) {
  EXPECT_EQ(ValueText(Value(paradox::Null{})), "");
  EXPECT_EQ(ValueText(Value(paradox::Date{739616})), "2025-12-31");
  EXPECT_EQ(ValueText(Value(paradox::Date{1})), "0001-01-01");
  EXPECT_EQ(ValueText(Value(paradox::Date{3652059})), "9999-12-31");
  EXPECT_EQ(ValueText(Value(paradox::Date{3652060})), "10000-01-01");
  EXPECT_EQ(ValueText(Value(12.5)), "12.5");
  EXPECT_EQ(ValueText(Value(int64_t{-3})), "-3");
  EXPECT_EQ(ValueText(Value(true)), "True");
  EXPECT_EQ(ValueText(Value(paradox::Time{(13 * 3600 + 5 * 60 + 9) * 1000})), "13:05:09");
}

}  // namespace
}  // namespace varnholt
