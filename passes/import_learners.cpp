#include <string>

#include "base/store_error.h"
#include "passes/filter_text.h"
#include "passes/import_passes.h"
#include "passes/learner_status.h"
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

constexpr size_t kCompactDateLength = 8;     // YYYYMMDD
constexpr size_t kSeparatedDateLength = 10;  // YYYY/MM/DD

// An empty date stays empty; a date too short to reorder ends the command naming the learner,
// because writing a half-moved text would store a wrong date.
std::string ConvertDate(const std::string& learner_id, const char* field, const std::string& text,
                        size_t needed, const char* form, std::string (*reorder)(const std::string&)) {
  if (text.empty()) return std::string();
  if (text.size() < needed) {
    throw StoreError("Learner " + learner_id + ": " + field + " \"" + text + "\" is not a date of the form " +
                     form);
  }
  return reorder(text);
}

}  // namespace

std::string ReorderCompactDate(const std::string& text) {
  return text.substr(6, 2) + "/" + text.substr(4, 2) + "/" + text.substr(0, 4);
}

std::string ReorderSeparatedDate(const std::string& text) {
  return text.substr(8, 2) + "/" + text.substr(5, 2) + "/" + text.substr(0, 4);
}

void ImportLearners(StoreComponents& c, LearnerImportForm form) {
  SourceTable& learners = c.tblLearner_Info;
  TargetTable& target = c.Ch01mast;
  learners.First();
  target.First();

  for (int counter = 0; counter < learners.RecordCount(); ++counter) {
    target.SetFilter(QuotedFilter(kLookupOpening, learners.FieldText("LearnerID"), kLookupClosing));
    target.SetFiltered(true);
    const std::string learner_id = learners.FieldText("LearnerID");
    if (learner_id != target.FieldText("CH01_CODE")) {
      RequireWholeCode(
          target, "CH01_CODE", learner_id, [&] { return "Learner " + learner_id + ": learner id"; }, "the learner id");
      const std::string birth = ConvertDate(learner_id, "BirthDate", learners.FieldText("BirthDate"),
                                            kCompactDateLength, "YYYYMMDD", ReorderCompactDate);
      const std::string admitted = ConvertDate(learner_id, "thedate", learners.FieldText("thedate"),
                                               kSeparatedDateLength, "YYYY/MM/DD", ReorderSeparatedDate);

      const std::string accession = learners.FieldText("AccessionNo");
      c.tblParent_Child.SetFilter(form == LearnerImportForm::kFirst
                                      ? QuotedFilter(kFirstFormLinkOpening, accession, kFirstFormLinkClosing)
                                      : UnquotedFilter(kSecondFormLinkOpening, accession));
      c.tblParent_Child.SetFiltered(true);
      const std::string parent_id = c.tblParent_Child.FieldText("Parentid");

      c.Classes.SetFilter(UnquotedFilter(kClassOpening, learners.FieldText("Class")));
      c.Classes.SetFiltered(true);
      RequireWholeLearnerLinks(target, learner_id, kParentCodePrefix + parent_id,
                               learners.FieldText("Status") == kSourceCurrent
                                   ? std::optional<std::string>(c.Classes.FieldText("ClassName"))
                                   : std::nullopt);

      target.Insert();
      target.SetFieldText("CH01_CODE", learners.FieldText("LearnerID"));
      target.SetFieldText("CH01_INITIALS", learners.FieldText("Initials"));
      target.SetFieldText("CH01_SURNAME", learners.FieldText("SName"));
      target.SetFieldText("CH01_NAME", learners.FieldText("FName"));
      target.SetFieldText("CH01_DL01_CODE", kParentCodePrefix + parent_id);
      target.SetFieldText("CH01_DATE_OF_BIRTH", birth);
      if (learners.FieldText("Status") == kSourceDeparted) {
        target.SetFieldText("CH01_STATUS", kTargetInactive);
        target.SetFieldText("CH01_CLASS", kInactiveClass);
      }
      target.SetFieldText("CH01_ADM_DATE", admitted);
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
        target.SetFieldText("CH01_CLASS", c.Classes.FieldText("ClassName"));
      }
      target.Post();
    }
    learners.Next();
    target.SetFiltered(false);
  }
}

}  // namespace varnholt
