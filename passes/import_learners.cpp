#include <optional>
#include <string>

#include "base/ascii.h"
#include "base/calendar.h"
#include "base/store_error.h"
#include "passes/filter_text.h"
#include "passes/import_passes.h"
#include "passes/learner_status.h"
#include "passes/row_errors.h"
#include "passes/whole_codes.h"

namespace varnholt {
namespace {

constexpr char kLookupOpening[] = "CH01_CODE ='";
constexpr char kLookupClosing[] = "' ";
constexpr char kFirstFormLinkOpening[] = "learnerid='";
constexpr char kFirstFormLinkClosing[] = "' ";
constexpr char kSecondFormLinkOpening[] = "learnerId=";
constexpr char kClassOpening[] = "Classid=";

using learner_status::kInactiveClass;
using learner_status::kSourceCurrent;
using learner_status::kSourceDeparted;
using learner_status::kTargetActive;
using learner_status::kTargetInactive;

// How the source holds a date as text, and the reordering that makes it day/month/year text.
struct DateForm {
  const char* field;  // the source field
  const char* form;   // as the operator reads it in an error
  size_t length;      // characters the reordering needs
  std::string (*reorder)(const std::string&);
};

constexpr DateForm kBirthForm{"BirthDate", "YYYYMMDD", 8, ReorderCompactDate};
constexpr DateForm kAdmissionForm{"thedate", "YYYY/MM/DD", 10, ReorderSeparatedDate};

// The day that reordered text "DD/MM/YYYY" names, all ten characters digits but the separators;
// nullopt when it names none.
std::optional<CivilDate> DayOfReordered(const std::string& text) {
  constexpr size_t kDay = 0, kMonth = 3, kYear = 6;
  constexpr size_t kSeparators[] = {2, 5};
  auto number = [&](size_t at, size_t digits) -> std::optional<int> {
    int value = 0;
    for (size_t i = at; i < at + digits; ++i) {
      if (!IsAsciiDigit(text[i])) return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  for (size_t at : kSeparators) {
    if (text[at] != '/') return std::nullopt;
  }
  const auto day = number(kDay, 2), month = number(kMonth, 2), year = number(kYear, 4);
  if (!day || !month || !year || *year < 1 || !IsCivilDate(*year, *month, *day)) return std::nullopt;
  return CivilDate{*year, *month, *day};
}

// The day a learner's date names. A Date/Time value is its own day; a text is reordered by its
// form and read as day/month/year, never through the regional settings, so every PC stores the
// same day. Empty (or null): none, the field stays empty. A text too short for its form or naming
// no day ends the command naming the learner, since a guess would store a wrong date.
std::optional<CivilDate> LearnerDay(const std::string& learner_id, const SourceTable::Date& value,
                                    const DateForm& form) {
  if (value.day || value.text.empty()) return value.day;
  std::optional<CivilDate> day;
  if (value.text.size() >= form.length) day = DayOfReordered(form.reorder(value.text));
  if (!day) {
    throw StoreError("Learner " + learner_id + ": " + form.field + " \"" + value.text +
                     "\" is not a date of the form " + form.form);
  }
  return day;
}

// Sets a date field of the new row: the day, or empty.
void SetLearnerDate(TargetTable& target, std::string_view field, const std::optional<CivilDate>& day,
                    const SourceTable::Date& value) {
  if (day) {
    target.SetFieldDate(field, *day, value.text);
  } else {
    target.SetFieldText(field, std::string());
  }
}

}  // namespace

std::string ReorderCompactDate(const std::string& text) {
  return text.substr(6, 2) + "/" + text.substr(4, 2) + "/" + text.substr(0, 4);
}

std::string ReorderSeparatedDate(const std::string& text) {
  return text.substr(8, 2) + "/" + text.substr(5, 2) + "/" + text.substr(0, 4);
}

void ImportLearners(StoreComponents& c, LearnerImportForm form) {
  SourceTable& learners = c.tblLearner_Info();
  TargetTable& target = c.Ch01mast();
  learners.First();
  target.First();

  for (int counter = 0; counter < learners.RecordCount(); ++counter) {
    target.SetFilter(QuotedFilter(kLookupOpening, learners.FieldText("LearnerID"), kLookupClosing));
    target.SetFiltered(true);
    const std::string learner_id = learners.FieldText("LearnerID");
    if (learner_id != target.FieldText("CH01_CODE")) {
      RequireWholeCode(
          target, "CH01_CODE", learner_id, [&] { return "Learner " + learner_id + ": learner id"; }, "the learner id");
      const SourceTable::Date birth = learners.FieldDate(kBirthForm.field);
      const std::optional<CivilDate> birth_day = LearnerDay(learner_id, birth, kBirthForm);
      const SourceTable::Date admitted = learners.FieldDate(kAdmissionForm.field);
      const std::optional<CivilDate> admission_day = LearnerDay(learner_id, admitted, kAdmissionForm);

      const std::string accession = learners.FieldText("AccessionNo");
      c.tblParent_Child().SetFilter(form == LearnerImportForm::kFirst
                                      ? QuotedFilter(kFirstFormLinkOpening, accession, kFirstFormLinkClosing)
                                      : UnquotedFilter(kSecondFormLinkOpening, accession));
      c.tblParent_Child().SetFiltered(true);
      const std::string parent_id = c.tblParent_Child().FieldText("Parentid");

      c.Classes().SetFilter(UnquotedFilter(kClassOpening, learners.FieldText("Class")));
      c.Classes().SetFiltered(true);
      RequireWholeLearnerLinks(target, learner_id, kParentCodePrefix + parent_id,
                               learners.FieldText("Status") == kSourceCurrent
                                   ? std::optional<std::string>(c.Classes().FieldText("ClassName"))
                                   : std::nullopt);

      target.Insert();
      WritingRow([&] { return "Learner " + learner_id; }, [&] {
        target.SetFieldText("CH01_CODE", learners.FieldText("LearnerID"));
        target.SetFieldText("CH01_INITIALS", learners.FieldText("Initials"));
        target.SetFieldText("CH01_SURNAME", learners.FieldText("SName"));
        target.SetFieldText("CH01_NAME", learners.FieldText("FName"));
        target.SetFieldText("CH01_DL01_CODE", kParentCodePrefix + parent_id);
        SetLearnerDate(target, "CH01_DATE_OF_BIRTH", birth_day, birth);
        if (learners.FieldText("Status") == kSourceDeparted) {
          target.SetFieldText("CH01_STATUS", kTargetInactive);
          target.SetFieldText("CH01_CLASS", kInactiveClass);
        }
        SetLearnerDate(target, "CH01_ADM_DATE", admission_day, admitted);
        target.SetFieldText("CH01_SEX", learners.FieldText("Gender"));
        target.SetFieldText("CH01_HOME_LANG", learners.FieldText("HomeLanguage"));
        if (form == LearnerImportForm::kSecond) {
          target.SetFieldText("CH01_SECOND_NAME", learners.FieldText("SecondName"));
        }
        target.SetFieldText("CH01_NICK_NAME", learners.FieldText("NickName"));
        target.SetFieldText("CH01_ID_NO", learners.FieldText("IDNo"));
        target.SetFieldText("CH01_MEDICAL_NO", learners.FieldText("MedicalAidNo"));
        target.SetFieldText("CH01_MEDICAL_NAME", learners.FieldText("MedicalaidName"));
        target.SetFieldText("CH01_MEDICAL_MEMBER", learners.FieldText("MedicalaidMember"));
        target.SetFieldText("CH01_SMART_CODE", learners.FieldText("LearnerID"));
        if (learners.FieldText("Status") == kSourceCurrent) {
          target.SetFieldText("CH01_STATUS", kTargetActive);
          target.SetFieldText("CH01_CLASS", c.Classes().FieldText("ClassName"));
        }
      });
      target.Post();
    }
    learners.Next();
    target.SetFiltered(false);
  }
}

}  // namespace varnholt
