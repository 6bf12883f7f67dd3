#include "tests/passes/school_fixture.h"

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/os/folder.h"
#include "base/path_text.h"
#include "base/utf8_path.h"
#include "stores/paradox/table.h"
#include "tests/support/scratch_folder.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tools/sample_school/source_database.h"

namespace varnholt::testing {
namespace {

// Paradox day 1 is 1 January of year 1.
std::string DayText(int32_t days) {
  // Civil from days (proleptic Gregorian), counted from 0000-03-01.
  int64_t z = days + 306 - 1;  // days since 0000-03-01 with day 1 = 0001-01-01
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char text[48];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", static_cast<int>(d), static_cast<int>(m), static_cast<int>(y));
  return text;
}

std::string ValueText(const paradox::Value& value) {
  if (auto* text = std::get_if<std::string>(&value)) return *text;
  if (auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
  if (auto* real = std::get_if<double>(&value)) {
    std::ostringstream out;
    out << *real;
    return out.str();
  }
  if (auto* flag = std::get_if<bool>(&value)) return *flag ? "True" : "False";
  if (auto* date = std::get_if<paradox::Date>(&value)) return DayText(date->days);
  return "";
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Removes `path` and all it holds, as deep as it goes.
void RemoveTree(const std::string& path) {
  if (os::KindOf(path) == os::PathKind::kFolder) {
    for (const std::string& name : os::FolderNames(path).value_or(std::vector<std::string>{})) {
      RemoveTree(JoinPath(path, name));
    }
    os::RemoveEmptyFolder(path);
  } else {
    os::RemoveIfPresent(path);
  }
}

}  // namespace

void TestForm::Press(HiddenButton button) { commands->RunHidden(button); }

void SchoolTest::SetUp() {
  dir_ = varnholt::testing::MakeScratchFolder("varnholt-passes-");
  source_ = dir_ / "torbek.mdb";
  target_ = dir_ / "varnholt";
  report_ = dir_ / "drive_c" / "Varnholt import.csv";
  skip_marker_ = dir_ / "cwd" / "Varnholt import.csv";
  std::filesystem::create_directories(report_.parent_path());
  std::filesystem::create_directories(skip_marker_.parent_path());
  form_.edit1 = Utf8FromPath(source_);
  form_.edit2 = Utf8FromPath(target_);
}

void SchoolTest::MoveSchoolInto(const std::string& folder) {
  const std::filesystem::path place = dir_ / PathFromUtf8(folder);
  // Through the program's own folder calls: std::filesystem cannot make deep folders on Windows.
  ASSERT_TRUE(os::CreateFolders(Utf8FromPath(place)));
  source_ = place / "torbek.mdb";
  target_ = place / "varnholt";
  form_.edit1 = Utf8FromPath(source_);
  form_.edit2 = Utf8FromPath(target_);
}

void SchoolTest::TearDown() {
  commands_.reset();
  RemoveTree(Utf8FromPath(dir_));
}

void SchoolTest::WriteSource(const sample::School& school) {
  sample::WriteSourceDatabase(Utf8FromPath(source_), school);
}

void SchoolTest::WriteTables(const std::vector<jet::TableData>& tables, const std::string& password) {
  jet::WriteOptions options;
  options.password = password;
  options.created = jet::DateTime::FromCivil(2020, 1, 1);
  jet::WriteDatabase(Utf8FromPath(source_), tables, options);
}

jet::TableData& SchoolTest::TableOf(std::vector<jet::TableData>& tables, const std::string& name) {
  for (auto& table : tables) {
    if (table.name == name) return table;
  }
  throw std::logic_error("no table " + name);
}

size_t SchoolTest::ColumnOf(const jet::TableData& table, const std::string& name) {
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i].name == name) return i;
  }
  throw std::logic_error("no column " + name);
}

void SchoolTest::MakeSchool(const sample::School& school) {
  WriteSource(school);
  ASSERT_TRUE(os::CreateFolders(Utf8FromPath(target_)));
  paradox::CreateVarnholtTables(Utf8FromPath(target_));
}

Commands& SchoolTest::commands() {
  if (!commands_) {
    CommandEnvironment environment;
    environment.regional = regional_;
    environment.report_file = Utf8FromPath(report_);
    environment.report_fallback = Utf8FromPath(report_fallback_);
    environment.skip_marker = Utf8FromPath(skip_marker_);
    environment.clock = [] { return std::time_t{1796731200}; };  // 2026-12-08 12:00 UTC
    commands_ = std::make_unique<Commands>(form_, environment);
    form_.commands = commands_.get();
  }
  return *commands_;
}

std::string SchoolTest::Click(void (Commands::*handler)()) {
  Commands& c = commands();
  try {
    (c.*handler)();
    c.Save();  // as the window does when a click returns
  } catch (const std::exception& error) {
    std::string message = error.what();
    try {
      c.DiscardPending();
    } catch (const std::exception& save_error) {
      message += "\n" + std::string(save_error.what());
    }
    return message;
  }
  return "";
}

std::map<std::string, TargetRow> SchoolTest::TargetRows(const std::string& file_name) const {
  auto table = paradox::Table::Open(Utf8FromPath(target_ / file_name), false);
  std::map<std::string, TargetRow> rows;
  for (paradox::RowId id : table->Rows()) {
    const paradox::Record& record = table->Get(id);
    TargetRow row;
    for (size_t i = 0; i < record.size(); ++i) row[table->fields()[i].name] = ValueText(record[i]);
    std::string code = row[table->fields()[0].name];
    rows[code] = row;
  }
  return rows;
}

std::map<std::string, std::string> SchoolTest::TargetBytes() const {
  std::map<std::string, std::string> bytes;
  // Folders too (the backups), each as its name with "/" and the files in it under it.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(target_)) {
    std::string name = Utf8FromPath(entry.path().lexically_relative(target_));
    std::replace(name.begin(), name.end(), '\\', '/');
    if (entry.is_directory()) {
      bytes[name + "/"] = "";
    } else {
      bytes[name] = ReadFile(entry.path());
    }
  }
  return bytes;
}

sample::Learner MakeLearner(int n) {
  sample::Learner l;
  l.id = n;
  l.learner_id = 10000 + n;
  l.accession_no = std::to_string(10000 + n);
  l.initials = "L";
  l.surname = "Surname" + std::to_string(n);
  l.first_name = "First" + std::to_string(n);
  l.second_name = "Second" + std::to_string(n);
  l.nick_name = "Nick" + std::to_string(n);
  char birth[16];
  std::snprintf(birth, sizeof birth, "201503%02d", n % 28 + 1);
  l.birth_date = birth;
  l.admitted = jet::DateTime::FromCivil(2021, 1, 15);
  l.class_id = 101;
  l.status = "C";
  l.gender = "M";
  l.home_language = "English";
  l.id_no = "150301500008" + std::to_string(n % 10);
  l.medical_aid_no = "MA" + std::to_string(n);
  l.medical_aid_name = "Discovery";
  l.medical_aid_member = "Parent" + std::to_string(n);
  return l;
}

sample::Parent MakeParent(int n) {
  sample::Parent p;
  p.parent_id = n;
  p.surname = "Parent" + std::to_string(n);
  p.title = "Mr";
  p.postal_address1 = "PO Box " + std::to_string(n);
  p.postal_code = "0001";
  p.street_address1 = std::to_string(n) + " Main Road";
  p.street_code = "0002";
  p.tel1 = "012 555 " + std::to_string(1000 + n);
  p.id_number = "750101500008" + std::to_string(n % 10);
  p.spouse_id = "770101000008" + std::to_string(n % 10);
  return p;
}

sample::SchoolClass MakeClass(int id, const std::string& name, const std::string& ed_code) {
  sample::SchoolClass k;
  k.class_id = id;
  k.class_name = name;
  k.ed_code = ed_code;
  return k;
}

sample::ParentLink Link(int child, int learner_id, int parent) {
  sample::ParentLink link;
  link.child_id = child;
  link.learner_id = learner_id;
  link.parent_id = parent;
  return link;
}

}  // namespace varnholt::testing
