// The generated school: its shape (the cases the import and the report meet), and its database
// as mdbtools reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "tests/jetwriter/mdb_test_support.h"
#include "tools/jetwriter/jet_writer.h"
#include "tools/sample_school/school.h"
#include "tools/sample_school/source_database.h"
#include "stores/paradox/table.h"
#include "tools/sample_school/target_tables.h"

namespace varnholt::sample {
namespace {

using mdbtest::Count;
using mdbtest::Export;
using mdbtest::ReadTable;
using mdbtest::Row;
using mdbtest::RunCommand;
using mdbtest::Shell;
using mdbtest::TempDir;

const std::string kTool = std::string(VARNHOLT_BUILD_DIR) + "/tools/make-sample-school/make-sample-school";

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

TEST(SampleSchoolTest, DefaultSchoolHoldsTheCasesThePassesMeet) {
  const School s = GenerateSchool({});
  ASSERT_EQ(s.learners.size(), 600u);
  ASSERT_EQ(s.parents.size(), 450u);
  ASSERT_EQ(s.classes.size(), 40u);

  std::map<int32_t, const Learner*> by_id;
  std::set<int32_t> learner_ids;
  for (const Learner& l : s.learners) {
    by_id[*l.id] = &l;
    learner_ids.insert(*l.learner_id);
  }
  EXPECT_EQ(by_id.size(), 600u);
  EXPECT_EQ(learner_ids.size(), 600u);
  std::set<int32_t> parent_ids;
  for (const Parent& p : s.parents) parent_ids.insert(*p.parent_id);
  std::set<int32_t> class_ids;
  std::map<std::string, int> ed_codes;
  int null_ed_codes = 0;
  for (const SchoolClass& c : s.classes) {
    class_ids.insert(*c.class_id);
    if (c.ed_code) {
      ++ed_codes[*c.ed_code];
    } else {
      ++null_ed_codes;
    }
  }
  EXPECT_TRUE(std::any_of(ed_codes.begin(), ed_codes.end(), [](auto& e) { return e.second > 1; }));
  EXPECT_EQ(null_ed_codes, 1);

  // Links: childid is the learner's id, learnerid its LearnerID, Parentid an existing parent.
  std::map<int32_t, int> links_per_learner;
  std::set<int32_t> parents_with_children;
  for (const ParentLink& k : s.links) {
    ASSERT_TRUE(by_id.count(*k.child_id));
    EXPECT_EQ(*k.learner_id, *by_id[*k.child_id]->learner_id);
    EXPECT_TRUE(parent_ids.count(*k.parent_id));
    ++links_per_learner[*k.child_id];
    parents_with_children.insert(*k.parent_id);
  }
  EXPECT_EQ(links_per_learner.count(3), 0u);  // learner 3 has none
  EXPECT_EQ(links_per_learner[4], 2);         // learner 4 has two
  int unlinked = 0;
  int twice = 0;
  for (const auto& [id, l] : by_id) {
    const int n = links_per_learner.count(id) ? links_per_learner[id] : 0;
    unlinked += n == 0;
    twice += n == 2;
  }
  EXPECT_GT(unlinked, 5);
  EXPECT_GT(twice, 10);
  EXPECT_GT(parents_with_children.size(), 430u);

  std::map<std::string, int> statuses;
  int same_accession = 0;
  int missing_class = 0;
  int quoted = 0;
  int with_time = 0;
  std::set<std::string> names;
  for (const Learner& l : s.learners) {
    ++statuses[l.status.value_or("(null)")];
    ASSERT_TRUE(l.accession_no && AllDigits(*l.accession_no));
    same_accession += *l.accession_no == std::to_string(*l.learner_id);
    missing_class += class_ids.count(*l.class_id) == 0;
    quoted += l.nick_name && l.nick_name->find('"') != std::string::npos;
    ASSERT_TRUE(l.birth_date && l.birth_date->size() == 8 && AllDigits(*l.birth_date));
    with_time += l.admitted->days != static_cast<int64_t>(l.admitted->days);
    names.insert(*l.first_name);
    names.insert(*l.surname);
  }
  EXPECT_GT(statuses["A"], 100);
  EXPECT_GT(statuses["C"], 200);
  for (const char* other : {"L", "X", "a", "(null)"}) EXPECT_GT(statuses[other], 0) << other;
  EXPECT_GT(same_accession, 570);
  EXPECT_LT(same_accession, 600);
  EXPECT_GT(missing_class, 1);
  EXPECT_GE(quoted, 1);
  EXPECT_GT(with_time, 0);
  for (const char* n : {"Zo\xC3\xAB", "Andr\xC3\xA9", "O'Neill", "Nkosi", "M\xC3\xBCller"}) {
    EXPECT_TRUE(names.count(n)) << n;
  }
  EXPECT_NE(s.parents[1].street_address1->find('"'), std::string::npos);
}

TEST(SampleSchoolTest, SameSeedSameFileOtherSeedOtherSchool) {
  TempDir dir;
  WriteSourceDatabase(dir.File("a.mdb"), GenerateSchool({50, 40, 5, 7}));
  WriteSourceDatabase(dir.File("b.mdb"), GenerateSchool({50, 40, 5, 7}));
  WriteSourceDatabase(dir.File("c.mdb"), GenerateSchool({50, 40, 5, 8}));
  EXPECT_EQ(ReadBytes(dir.File("a.mdb")), ReadBytes(dir.File("b.mdb")));
  EXPECT_NE(ReadBytes(dir.File("a.mdb")), ReadBytes(dir.File("c.mdb")));
}

TEST(SampleSchoolTest, ToolWritesTheDefaultSchoolThatMdbtoolsReadsBack) {
  TempDir dir;
  const std::string out = dir.File("out dir");
  const mdbtest::CommandResult r = RunCommand(Shell(kTool) + " " + Shell(out));
  ASSERT_EQ(r.status, 0);
  const std::string path = out + "/torbek.mdb";
  EXPECT_EQ(r.out, path + "\n" + out + "/varnholt\n");
  for (const char* table : {"CH01MAST", "DL01MAST", "DL00CODE", "CLASSMAS"}) {
    EXPECT_EQ(paradox::Table::Open(out + "/varnholt/" + table + ".DB", false)->RecordCount(), 0u) << table;
  }
  EXPECT_EQ(jet::DecodePasswordOfFile(path), "Talvern");
  EXPECT_EQ(mdbtest::Tables(path),
            (std::vector<std::string>{"Learner_info", "Parent_info", "Parent_child", "Classes"}));

  const School s = GenerateSchool({});
  EXPECT_EQ(Count(path, "Learner_info"), 600);
  EXPECT_EQ(Count(path, "Parent_info"), 450);
  EXPECT_EQ(Count(path, "Parent_child"), static_cast<long>(s.links.size()));
  EXPECT_EQ(Count(path, "Classes"), 40);

  const std::string schema = RunCommand("mdb-schema " + Shell(path)).out;
  for (const char* column :
       {"[id]\t\t\tLong Integer", "[LearnerID]\t\t\tLong Integer", "[AccessionNo]\t\t\tText (20)",
        "[SName]\t\t\tText", "[BirthDate]\t\t\tText (8)", "[thedate]\t\t\tDateTime",
        "[Class]\t\t\tLong Integer", "[Status]\t\t\tText (1)", "[MedicalaidName]\t\t\tText",
        "[MedicalAidNo]", "[MedicalaidMember]", "[HomeLanguage]", "[IDNo]", "[NickName]",
        "[SecondName]", "[Initials]", "[FName]", "[Gender]", "[ParentId]\t\t\tLong Integer",
        "[Sname]", "[Title]", "[PostalAddress3]", "[PostalCode]", "[Streetaddress3]",
        "[Streetcode]", "[Tel3]", "[IDNumber]", "[SpouseID]", "[childid]\t\t\tLong Integer",
        "[learnerid]\t\t\tLong Integer", "[Parentid]\t\t\tLong Integer",
        "[Classid]\t\t\tLong Integer", "[ClassName]", "[EdCode]"}) {
    EXPECT_NE(schema.find(column), std::string::npos) << column;
  }

  // Every learner's values, NULLs included, as the model holds them.
  const std::vector<Row> learners = ReadTable(path, "Learner_info");
  ASSERT_EQ(learners.size(), 600u);
  auto text = [](const Text& t) { return t; };
  auto number = [](const Number& n) -> std::optional<std::string> {
    return n ? std::optional<std::string>(std::to_string(*n)) : std::nullopt;
  };
  for (size_t i = 0; i < learners.size(); ++i) {
    const Learner& l = s.learners[i];
    const Row& row = learners[i];
    ASSERT_EQ(row.size(), 18u);
    EXPECT_EQ(row[0], number(l.id));
    EXPECT_EQ(row[1], number(l.learner_id));
    EXPECT_EQ(row[2], text(l.accession_no));
    EXPECT_EQ(row[4], text(l.surname));
    EXPECT_EQ(row[5], text(l.first_name));
    EXPECT_EQ(row[6], text(l.second_name));
    EXPECT_EQ(row[7], text(l.nick_name));
    EXPECT_EQ(row[8], text(l.birth_date));
    EXPECT_EQ(row[10], number(l.class_id));
    EXPECT_EQ(row[11], text(l.status));
    EXPECT_EQ(row[16], text(l.medical_aid_name));
    EXPECT_EQ(row[17], text(l.medical_aid_member));
  }
  EXPECT_EQ(learners[0][9], "2020-01-16 00:00:00");
  EXPECT_EQ(learners[9][7], "\xE5\xB0\x8F\xE4\xBC\x9F");

  const auto parents = Export(path, "Parent_info");
  ASSERT_EQ(parents.size(), 451u);
  EXPECT_EQ(parents[2][7], "Unit 4 \"Die Eike\"");
  const auto links = Export(path, "Parent_child");
  EXPECT_EQ(links[0], (std::vector<std::string>{"childid", "learnerid", "Parentid"}));
  EXPECT_EQ(links[1][0], std::to_string(*s.links[0].child_id));
  EXPECT_EQ(links[1][1], std::to_string(*s.links[0].learner_id));
  EXPECT_EQ(links[1][2], std::to_string(*s.links[0].parent_id));
}

TEST(SampleSchoolTest, LargeSchoolReadsBackWhole) {
  TempDir dir;
  const std::string out = dir.File("large");
  ASSERT_EQ(RunCommand(Shell(kTool) + " " + Shell(out) + " --learners 100000 --parents 75000 --classes 200").status, 0);
  const std::string path = out + "/torbek.mdb";
  const School s = GenerateSchool({100000, 75000, 200, 1});
  EXPECT_EQ(Count(path, "Learner_info"), 100000);
  EXPECT_EQ(Count(path, "Parent_info"), 75000);
  EXPECT_EQ(Count(path, "Parent_child"), static_cast<long>(s.links.size()));
  EXPECT_EQ(Count(path, "Classes"), 200);
  // Spot checks through the whole file: first, middle and last rows, NULLs and non-Latin text.
  const auto learners = Export(path, "Learner_info");
  ASSERT_EQ(learners.size(), 100001u);
  for (size_t i : {size_t{0}, size_t{9}, size_t{50000}, size_t{99999}}) {
    const Learner& l = s.learners[i];
    EXPECT_EQ(learners[i + 1][1], std::to_string(*l.learner_id));
    EXPECT_EQ(learners[i + 1][4], l.surname.value_or(""));
    EXPECT_EQ(learners[i + 1][7], l.nick_name.value_or(""));
  }
  EXPECT_EQ(learners[10][7], "\xE5\xB0\x8F\xE4\xBC\x9F");
}

TEST(SampleSchoolTest, ToolRejectsBadArgumentsAndDocumentsTheData) {
  TempDir dir;
  EXPECT_EQ(RunCommand(Shell(kTool)).status, 2);
  EXPECT_EQ(RunCommand(Shell(kTool) + " " + Shell(dir.File("x")) + " --learners").status, 2);
  EXPECT_EQ(RunCommand(Shell(kTool) + " " + Shell(dir.File("x")) + " --learners -5").status, 2);
  EXPECT_EQ(RunCommand(Shell(kTool) + " " + Shell(dir.File("x")) + " --pupils 5").status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
  const mdbtest::CommandResult help = RunCommand(Shell(kTool) + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Parent_child: childid = Learner_info.id"), std::string::npos);

  const std::string out = dir.File("small");
  ASSERT_EQ(RunCommand(Shell(kTool) + " " + Shell(out) +
                       " --learners 3 --parents 0 --classes 0 --seed 9").status,
            0);
  EXPECT_EQ(Count(out + "/torbek.mdb", "Learner_info"), 3);
  EXPECT_EQ(Count(out + "/torbek.mdb", "Parent_child"), 0);
  EXPECT_EQ(Count(out + "/torbek.mdb", "Classes"), 0);
}

// Tests of the passes build schools by hand, with values the generator never makes.
TEST(SampleSchoolTest, HandBuiltSchoolIsWrittenAsGiven) {
  TempDir dir;
  School s;
  Learner odd;
  odd.id = 1;
  odd.status = "AC";  // wider than Text(1): the column grows to hold it
  odd.accession_no = "";
  Learner empty;  // every field NULL
  s.learners = {odd, empty};
  s.links.push_back({1, std::nullopt, 5});
  s.classes.push_back({7, std::string("Gr 1A"), std::nullopt});
  s.classes.push_back({7, std::string("Gr 1A"), std::string("E1")});
  const std::string path = dir.File("hand.mdb");
  WriteSourceDatabase(path, s, "");
  EXPECT_EQ(jet::DecodePasswordOfFile(path), "");

  const std::vector<Row> learners = ReadTable(path, "Learner_info");
  ASSERT_EQ(learners.size(), 2u);
  EXPECT_EQ(learners[0][0], "1");
  EXPECT_EQ(learners[0][1], std::nullopt);
  EXPECT_EQ(learners[0][2], "");
  EXPECT_EQ(learners[0][11], "AC");
  EXPECT_EQ(learners[1], Row(18, std::nullopt));
  EXPECT_EQ(ReadTable(path, "Parent_child"), (std::vector<Row>{{"1", std::nullopt, "5"}}));
  EXPECT_EQ(ReadTable(path, "Classes"),
            (std::vector<Row>{{"7", "Gr 1A", std::nullopt}, {"7", "Gr 1A", "E1"}}));
  EXPECT_EQ(Count(path, "Parent_info"), 0);

  // The same tables as data, for tests that alter the schema first.
  std::vector<jet::TableData> tables = SourceTables(s);
  ASSERT_EQ(tables.size(), 4u);
  EXPECT_EQ(tables[0].columns[11].text_length, 2);
  tables[0].columns.erase(tables[0].columns.begin() + 4);  // no SName
  for (auto& row : tables[0].rows) row.erase(row.begin() + 4);
  jet::WriteDatabase(dir.File("altered.mdb"), tables, {"Talvern", {}});
  EXPECT_EQ(RunCommand("mdb-schema " + Shell(dir.File("altered.mdb"))).out.find("[SName]"),
            std::string::npos);
  EXPECT_EQ(Count(dir.File("altered.mdb"), "Learner_info"), 2);
}

TEST(SampleSchoolTest, TargetHoldsAnEvenShareUnderTheSourceCodesWithOtherValues) {
  TempDir dir;
  const std::string out = dir.File("held");
  ASSERT_EQ(RunCommand(Shell(kTool) + " " + Shell(out) + " --learners 40 --parents 30 --classes 10 --target-holds 0.5").status, 0);
  auto learners = paradox::Table::Open(out + "/varnholt/CH01MAST.DB", false);
  EXPECT_EQ(learners->RecordCount(), 20u);
  EXPECT_EQ(paradox::Table::Open(out + "/varnholt/DL01MAST.DB", false)->RecordCount(), 15u);
  EXPECT_EQ(paradox::Table::Open(out + "/varnholt/CLASSMAS.DB", false)->RecordCount(), 5u);
  const paradox::Record& first = learners->Get(learners->Rows().front());
  EXPECT_EQ(std::get<std::string>(first[0]), "10002");  // every second learner, codes as the source's
  EXPECT_EQ(std::get<std::string>(first[2]).rfind("Old ", 0), 0u);
  EXPECT_NE(RunCommand(Shell(kTool) + " " + Shell(out) + " --target-holds 1.5").status, 0);
}

}  // namespace
}  // namespace varnholt::sample
