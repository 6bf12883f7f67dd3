// Bad source databases through the commands: each ends the command with one error that names what
// is wrong, leaves the target as it was when nothing had been written, and the program goes on.
// Awkward values are no error: they arrive whole (or cut to the field's width, or with "?" for
// characters the table's code page lacks) through both the import and the update.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "tests/support/table_checker.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tests/reliability/bad_input_support.h"
#include "tools/sample_school/source_database.h"

namespace varnholt::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class BadSourceTest : public BadInputTest {
 protected:
  void SetUp() override {
    BadInputTest::SetUp();
    MakeSchool(SmallSchool());
    good_ = ReadBytes(source_);
  }
  // A file-level fault: refused at the first open with the target untouched; once the file at the
  // same location is sound, the same click finishes.
  void ExpectRefusedThenFixed(const std::vector<std::string>& names) {
    const std::string error = ExpectRefused(names);
    ExpectSameAgain(error);
    if (fs::is_directory(source_)) fs::remove(source_);
    WriteBytes(source_, good_);
    EXPECT_EQ(Click(&Commands::Button2Click), "");
    EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 5u);
  }
  std::string good_;
};

TEST_F(BadSourceTest, MissingFile) {
  fs::remove(source_);
  ExpectRefusedThenFixed({"Could not find file", source_.string()});
}

TEST_F(BadSourceTest, EmptyFile) {
  WriteBytes(source_, "");
  ExpectRefusedThenFixed({source_.string()});
}

TEST_F(BadSourceTest, Folder) {
  fs::remove(source_);
  fs::create_directory(source_);
  ExpectRefusedThenFixed({source_.string()});
}

TEST_F(BadSourceTest, TruncatedFiles) {
  // Inside the header page, just after it, halfway, halfway on a page boundary, and one page short.
  const size_t page = 4096;
  for (size_t size : {size_t{100}, page, page * 2 + 17, good_.size() / 2, good_.size() / 2 / page * page,
                      good_.size() - page}) {
    SCOPED_TRACE(size);
    WriteBytes(source_, good_.substr(0, size));
    const std::string error = ExpectRefused({source_.string()});
    if (size > page) {
      EXPECT_TRUE(Contains(error, "damaged")) << error;
    }
    ExpectSameAgain(error);
  }
  WriteBytes(source_, good_);
  EXPECT_EQ(Click(&Commands::Button2Click), "");
}

TEST_F(BadSourceTest, RandomBytes) {
  std::mt19937 rng(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  WriteBytes(source_, noise);
  ExpectRefusedThenFixed({source_.string()});
}

TEST_F(BadSourceTest, GoodHeaderOverRandomPages) {
  std::mt19937 rng(8);
  std::string bytes = good_;
  for (size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(rng());
  WriteBytes(source_, bytes);
  ExpectRefusedThenFixed({source_.string()});
}

TEST_F(BadSourceTest, AccessFileOfALaterFormat) {
  // An .accdb: the header's version byte says ACE 12.
  const fs::path accdb = dir_ / "torbek.accdb";
  std::string bytes = good_;
  bytes[0x14] = 2;
  std::memcpy(bytes.data() + 4, "Standard ACE DB", 15);
  WriteBytes(accdb, bytes);
  form_.edit1 = accdb.string();
  const std::string error = ExpectRefused({accdb.string()});
  ExpectSameAgain(error);
}

TEST_F(BadSourceTest, Jet3File) {
  const fs::path genuine = fs::path(VARNHOLT_SHARED_DIR) / "testdata" / "jet" / "access97-no-password.mdb";
  if (!fs::exists(genuine)) GTEST_SKIP() << "no genuine Jet 3 sample in " << genuine;
  fs::copy_file(genuine, source_, fs::copy_options::overwrite_existing);
  ExpectRefusedThenFixed({source_.string()});
}

TEST_F(BadSourceTest, WrongPassword) {
  sample::WriteSourceDatabase(source_.string(), SmallSchool(), "Wrong");
  ExpectRefusedThenFixed({"password", source_.string()});
}

TEST_F(BadSourceTest, NoPassword) {
  sample::WriteSourceDatabase(source_.string(), SmallSchool(), "");
  // The fixed connection string carries the password; a file without one opens all the same.
  EXPECT_EQ(Click(&Commands::Button2Click), "");
}

TEST_F(BadSourceTest, LocationOf10000Characters) {
  form_.edit1 = dir_.string() + "/" + std::string(10000, 'n') + ".mdb";
  const std::string error = ExpectRefused({std::string(200, 'n')});
  ExpectSameAgain(error);
}

TEST_F(BadSourceTest, MissingTables) {
  // Each table in turn; classes are read first, so only a missing Classes leaves the target untouched.
  for (const char* missing : {"Classes", "Learner_info", "Parent_info", "Parent_child"}) {
    SCOPED_TRACE(missing);
    auto tables = sample::SourceTables(SmallSchool());
    std::erase_if(tables, [&](const jet::TableData& t) { return t.name == missing; });
    commands_.reset();
    WriteTables(tables);
    const std::string error = ExpectRefused({missing, source_.string()}, std::string(missing) == "Classes");
    ExpectSameAgain(error);
  }
}

TEST_F(BadSourceTest, MissingFields) {
  // A field the learner pass reads, a field the parent pass reads, and the class name.
  for (auto [table, column] : {std::pair{"Learner_info", "SName"}, std::pair{"Parent_info", "Tel2"},
                               std::pair{"Classes", "ClassName"}, std::pair{"Parent_child", "Parentid"}}) {
    SCOPED_TRACE(column);
    auto tables = sample::SourceTables(SmallSchool());
    jet::TableData& t = TableOf(tables, table);
    const size_t c = ColumnOf(t, column);
    t.columns.erase(t.columns.begin() + c);
    for (auto& row : t.rows) row.erase(row.begin() + c);
    commands_.reset();
    for (const auto& entry : fs::directory_iterator(target_)) fs::remove_all(entry.path());
    paradox::CreateVarnholtTables(target_.string());
    WriteTables(tables);
    const std::string error = ExpectRefused({column}, false);
    ExpectSameAgain(error);
    // Whatever was written before the error is whole.
    for (const char* name : {"CH01MAST.DB", "DL01MAST.DB", "DL00CODE.DB", "CLASSMAS.DB"}) {
      const auto check = paradox::CheckTable((target_ / name).string());
      EXPECT_TRUE(check.ok()) << check.Summary();
    }
  }
}

TEST_F(BadSourceTest, FieldsOfUnexpectedTypes) {
  // The birth date as a Date/Time is a day already: it is taken as it is, on any regional setting.
  {
    auto tables = sample::SourceTables(SmallSchool());
    jet::TableData& t = TableOf(tables, "Learner_info");
    const size_t c = ColumnOf(t, "BirthDate");
    t.columns[c].type = jet::ColumnType::kDateTime;
    for (auto& row : t.rows) row[c] = jet::DateTime::FromCivil(2015, 3, 1, 10, 30);
    commands_.reset();
    WriteTables(tables);
    EXPECT_EQ(Click(&Commands::Button2Click), "");
    const auto learners = TargetRows("CH01MAST.DB");
    ASSERT_FALSE(learners.empty());
    for (const auto& [code, row] : learners) EXPECT_EQ(row.at("CH01_DATE_OF_BIRTH"), "01/03/2015") << code;
  }
  // Ids held as text or as doubles read the same digits: the import is the ordinary one.
  for (jet::ColumnType type : {jet::ColumnType::kText, jet::ColumnType::kDouble}) {
    SCOPED_TRACE(static_cast<int>(type));
    auto tables = sample::SourceTables(SmallSchool());
    for (auto [table, column] : {std::pair{"Learner_info", "LearnerID"}, std::pair{"Learner_info", "Class"},
                                 std::pair{"Parent_info", "ParentId"}, std::pair{"Classes", "Classid"}}) {
      jet::TableData& t = TableOf(tables, table);
      const size_t c = ColumnOf(t, column);
      t.columns[c].type = type;
      t.columns[c].text_length = 10;
      for (auto& row : t.rows) {
        if (type == jet::ColumnType::kText) row[c] = std::to_string(std::get<int64_t>(row[c]));
      }
    }
    commands_.reset();
    for (const auto& entry : fs::directory_iterator(target_)) fs::remove_all(entry.path());
    paradox::CreateVarnholtTables(target_.string());
    WriteTables(tables);
    ASSERT_EQ(Click(&Commands::Button2Click), "");
    auto learners = TargetRows("CH01MAST.DB");
    ASSERT_EQ(learners.size(), 5u);
    EXPECT_EQ(learners["10005"].at("CH01_CLASS"), "Gr 2B");
    EXPECT_EQ(learners["10005"].at("CH01_DL01_CODE"), learners["10005"].at("CH01_DL01_CODE"));
    EXPECT_EQ(TargetRows("DL01MAST.DB").size(), 3u);
  }
}

// A school whose texts hold every awkward character, imported and then updated.
class AwkwardValuesTest : public BadInputTest {};

TEST_F(AwkwardValuesTest, ArriveWholeThroughImportAndUpdate) {
  sample::School s = SmallSchool();
  const std::string quotes = "O'Neill \"Jr\" ''";
  const std::string punctuation = "a:b,c;d=e";
  const std::string line_breaks = "one\r\ntwo\nthree\r";
  const std::string tabs = "a\tb\t";
  s.learners[0].surname = quotes;
  s.learners[0].first_name = punctuation;
  s.learners[0].nick_name = line_breaks;
  s.learners[0].second_name = tabs;
  s.learners[1].surname = "Ŵ€漢 Zoë";      // outside code page 437, and one inside it
  s.learners[1].first_name = "A😀B";       // outside the Basic Multilingual Plane
  s.parents[0].surname = quotes;
  s.parents[0].postal_address1 = punctuation;
  s.parents[0].postal_address2 = line_breaks;
  s.parents[0].tel1 = tabs;
  s.parents[1].surname = "Ŵ€漢 😀";
  s.classes[0].class_name = "1'A, \"x\"";  // within the class code's 10 characters
  MakeSchool(s);
  ASSERT_EQ(Click(&Commands::Button2Click), "");

  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    auto learners = TargetRows("CH01MAST.DB");
    ASSERT_EQ(learners.size(), 5u);
    EXPECT_EQ(learners["10001"].at("CH01_SURNAME"), quotes);
    EXPECT_EQ(learners["10001"].at("CH01_NAME"), punctuation);
    EXPECT_EQ(learners["10001"].at("CH01_NICK_NAME"), line_breaks);
    EXPECT_EQ(learners["10001"].at("CH01_CLASS"), "1'A, \"x\"");
    EXPECT_EQ(learners["10002"].at("CH01_SURNAME"), "?EUR? Zoë") << "transliterated or ?";
    EXPECT_EQ(learners["10002"].at("CH01_NAME"), "A?B");
    auto parents = TargetRows("DL01MAST.DB");
    ASSERT_EQ(parents.size(), 3u);
    const std::string p1 = parents.begin()->first;
    EXPECT_EQ(parents[p1].at("DL01_DESCRIPTION"), quotes);
    EXPECT_EQ(parents[p1].at("DL01_POS_ADDR1"), punctuation);
    EXPECT_EQ(parents[p1].at("DL01_POS_ADDR2"), line_breaks);
    EXPECT_EQ(parents[p1].at("DL01_PHONE1"), tabs);
    EXPECT_EQ(TargetRows("CLASSMAS.DB").count("1'A, \"x\""), 1u);
    EXPECT_EQ(TargetRows("DL00CODE.DB").count("1'A, \"x\""), 1u);
  };
  check("after the import");
  EXPECT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_SECOND_NAME"), "");  // the import leaves it out

  // The update writes the same values back through its statements, and the second name too.
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  check("after the update");
  EXPECT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_SECOND_NAME"), tabs);
  EXPECT_EQ(TargetRows("CLASSMAS.DB").size(), 2u);
}

TEST_F(AwkwardValuesTest, LongTextsAreCutToTheFieldWidth) {
  // A 10,000-character name and a 1 MB memo, both read through Memo columns.
  auto tables = sample::SourceTables(SmallSchool());
  jet::TableData& learners = TableOf(tables, "Learner_info");
  const size_t surname = ColumnOf(learners, "SName");
  const size_t medical = ColumnOf(learners, "MedicalaidName");
  learners.columns[surname].type = jet::ColumnType::kMemo;
  learners.columns[medical].type = jet::ColumnType::kMemo;
  learners.rows[0][surname] = std::string(10000, 'S');
  learners.rows[0][medical] = std::string(1 << 20, 'M');
  MakeSchool(SmallSchool());
  WriteTables(tables);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  auto rows = TargetRows("CH01MAST.DB");
  ASSERT_EQ(rows.size(), 5u);
  const std::string cut_surname = rows["10001"].at("CH01_SURNAME");
  EXPECT_FALSE(cut_surname.empty());
  EXPECT_EQ(cut_surname, std::string(cut_surname.size(), 'S'));
  const std::string cut_medical = rows["10001"].at("CH01_MEDICAL_NAME");
  EXPECT_FALSE(cut_medical.empty());
  EXPECT_EQ(cut_medical, std::string(cut_medical.size(), 'M'));
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_SURNAME"), cut_surname);
}

TEST_F(AwkwardValuesTest, NulInsideAText) {
  // The Jet writer refuses NUL, so a marker is written and its bytes turned into NUL afterwards.
  sample::School s = SmallSchool();
  s.learners[0].surname = "AŴZ";  // Ŵ keeps the text in UCS-2, where NUL is two zero bytes
  MakeSchool(s);
  std::string bytes = ReadBytes(source_);
  const std::string marker("A\0t\x01Z\0", 6);  // "AŴZ" in UTF-16LE
  const size_t at = bytes.find(marker);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 2] = '\0';
  bytes[at + 3] = '\0';
  WriteBytes(source_, bytes);
  // The text ends at the NUL, as an alpha field cannot hold one; the row and its other fields are whole.
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  auto rows = TargetRows("CH01MAST.DB");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows["10001"].at("CH01_SURNAME"), "A");
  EXPECT_EQ(rows["10001"].at("CH01_NAME"), "First1");
  EXPECT_EQ(rows["10001"].at("CH01_NICK_NAME"), "Nick1");
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB")["10001"].at("CH01_SURNAME"), "A");
}

}  // namespace
}  // namespace varnholt::testing
