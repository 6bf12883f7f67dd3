// The learners' dates are the same days whatever the operator's regional settings: the import and
// Update store what a year-first PC stores, and a date that names no day ends the command naming the
// learner, the field and the value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/os/regional_settings.h"
#include "stores/paradox/table.h"
#include "tests/passes/school_fixture.h"
#include "tools/sample_school/date_edge_cases.h"
#include "tools/sample_school/varnholt_schema.h"

namespace varnholt::testing {
namespace {

// Short dates as Windows spells them on the PCs our schools use.
struct Setting {
  const char* name;
  const char* separator;
  const char* pattern;
};
constexpr Setting kSettings[] = {
    {"en-US", "/", "M/d/yyyy"},   {"en-GB", "/", "dd/MM/yyyy"}, {"de-DE", ".", "dd.MM.yyyy"},
    {"sv-SE", "-", "yyyy-MM-dd"}, {"en-ZA", "/", "yyyy/MM/dd"},
};

sample::School DatedSchool() {
  sample::School s;
  for (size_t i = 0; i < sample::DateEdgeCases().size(); ++i) s.learners.push_back(MakeLearner(static_cast<int>(i) + 1));
  sample::UseDateEdgeCases(s);
  s.parents.push_back(MakeParent(1));
  s.links = {Link(1, 10001, 1)};
  s.classes = {MakeClass(101, "Gr 1A", "T01")};
  return s;
}

class RegionalDatesTest : public SchoolTest {
 protected:
  // Import until every learner is in, then Update, under `setting`, in a folder of its own.
  std::map<std::string, TargetRow> ImportAndUpdate(const Setting& setting, const sample::School& school) {
    commands_.reset();
    regional_ = os::WithWindowsDate(RegionalSettings{}, setting.separator, setting.pattern);
    MoveSchoolInto(setting.name);
    MakeSchool(school);
    for (int click = 0; click < 4; ++click) EXPECT_EQ(Click(&Commands::Button2Click), "") << setting.name;
    EXPECT_EQ(Click(&Commands::Button3Click), "") << setting.name;
    return TargetRows("CH01MAST.DB");
  }
};

TEST_F(RegionalDatesTest, EverySettingStoresTheSameDays) {
  const sample::School school = DatedSchool();
  const std::vector<sample::DateEdgeCase> cases = sample::DateEdgeCases();
  std::map<std::string, TargetRow> year_first;
  for (const Setting& setting : kSettings) {
    const std::map<std::string, TargetRow> rows = ImportAndUpdate(setting, school);
    ASSERT_EQ(rows.size(), cases.size()) << setting.name;
    for (size_t i = 0; i < cases.size(); ++i) {
      const TargetRow& row = rows.at(std::to_string(10001 + i));
      EXPECT_EQ(row.at("CH01_DATE_OF_BIRTH"), cases[i].birth_day) << setting.name << " learner " << i + 1;
      EXPECT_EQ(row.at("CH01_ADM_DATE"), cases[i].admitted_day) << setting.name << " learner " << i + 1;
    }
    if (year_first.empty()) {
      year_first = rows;
    } else {
      EXPECT_EQ(rows, year_first) << setting.name;
    }
  }
}

TEST_F(RegionalDatesTest, ADateThatNamesNoDayEndsTheCommandNamingLearnerFieldAndValue) {
  struct Bad {
    const char* birth;
    const char* error;
  };
  const Bad bad[] = {
      {"20151340", "Learner 10002: BirthDate \"20151340\" is not a date of the form YYYYMMDD"},  // month 13
      {"20150229", "Learner 10002: BirthDate \"20150229\" is not a date of the form YYYYMMDD"},  // no leap year
      {"2015-3-4", "Learner 10002: BirthDate \"2015-3-4\" is not a date of the form YYYYMMDD"},
      {"00000101", "Learner 10002: BirthDate \"00000101\" is not a date of the form YYYYMMDD"},  // no year 0
      {"2010", "Learner 10002: BirthDate \"2010\" is not a date of the form YYYYMMDD"},  // too short
  };
  for (const Setting& setting : {kSettings[0], kSettings[2]}) {
    for (const Bad& b : bad) {
      sample::School school = DatedSchool();
      school.learners[1].birth_date = b.birth;
      commands_.reset();
      regional_ = os::WithWindowsDate(RegionalSettings{}, setting.separator, setting.pattern);
      MoveSchoolInto(std::string(setting.name) + "-" + b.birth);
      MakeSchool(school);
      EXPECT_EQ(Click(&Commands::Button2Click), b.error) << setting.name;
      EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 1u) << setting.name;  // the learner before it
    }
  }
}

TEST_F(RegionalDatesTest, ADayTheDateFieldCannotHoldNamesTheLearnerAndDropsTheRow) {
  sample::School school = DatedSchool();
  // Past 9999-12-31, the last day a date field holds, yet a date the source can store.
  school.learners[1].admitted = jet::DateTime{2'990'000};
  MakeSchool(school);
  const std::string error = Click(&Commands::Button2Click);
  EXPECT_EQ(error.rfind("Learner 10002: Invalid value for field 'CH01_ADM_DATE': \"", 0), 0u) << error;
  EXPECT_NE(error.find("10086"), std::string::npos) << error;  // the value as the source shows it
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 1u);
  // Corrected, the next command adds the learner and never the half-written row.
  school.learners[1].admitted = jet::DateTime::FromCivil(2021, 1, 15);
  commands_.reset();
  WriteSource(school);
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(TargetRows("CH01MAST.DB").at("10002").at("CH01_ADM_DATE"), "15/01/2021");
}

// A product whose learner table keeps the ID number as a number: a learner's ID that is no number
// is named with its field and value, by the import and by the Update's statement alike.
TEST_F(RegionalDatesTest, AValueATypedFieldRefusesNamesTheRowInImportAndUpdate) {
  sample::School school = DatedSchool();
  school.learners[1].id_no = "8001-0150";
  WriteSource(school);
  std::filesystem::create_directories(target_);
  for (auto [name, schema] : paradox::VarnholtSchemas()) {
    for (paradox::Field& field : schema.fields) {
      if (field.name == "CH01_ID_NO") field = paradox::Field{field.name, paradox::FieldType::kNumber, 8};
    }
    paradox::Table::Create((target_ / name).string(), schema);
  }
  const std::string refused = "Learner 10002: Invalid value for field 'CH01_ID_NO': \"8001-0150\"";
  EXPECT_EQ(Click(&Commands::Button2Click), refused);
  // The learner is added without the ID; the Update's statement then tries the ID again.
  school.learners[1].id_no = std::nullopt;
  commands_.reset();
  WriteSource(school);
  for (int click = 0; click < 4; ++click) ASSERT_EQ(Click(&Commands::Button2Click), "");
  school.learners[1].id_no = "8001-0150";
  commands_.reset();
  WriteSource(school);
  EXPECT_EQ(Click(&Commands::Button3Click), refused);
}

}  // namespace
}  // namespace varnholt::testing
