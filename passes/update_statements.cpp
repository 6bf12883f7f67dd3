#include "passes/update_statements.h"

#include "passes/filter_text.h"
#include "passes/import_passes.h"

namespace varnholt {
namespace {

constexpr char kFirstLineClosing[] = "  ";
constexpr char kLineClosing[] = " ";

std::string Quoted(std::string_view value) { return "\"" + DoubleQuoteChar(value, '"') + "\""; }

// Builds a statement one line at a time: opening text, the quoted value, the closing blanks.
class LineBuilder {
 public:
  void First(std::string_view opening, std::string_view value) {
    lines_.push_back(std::string(opening) + Quoted(value) + kFirstLineClosing);
  }
  void Next(std::string_view opening, std::string_view value) {
    lines_.push_back(std::string(opening) + Quoted(value) + kLineClosing);
  }
  // A line whose value the engine joins from the account prefix and a parent id.
  void Account(std::string_view opening, std::string_view joiner, std::string_view parent_id) {
    lines_.push_back(std::string(opening) + Quoted(kParentCodePrefix) + std::string(joiner) + Quoted(parent_id) +
                     kLineClosing);
  }
  std::vector<std::string> Take() { return std::move(lines_); }

 private:
  std::vector<std::string> lines_;
};

}  // namespace

std::vector<std::string> ParentStatementLines(const FieldReader& parent) {
  LineBuilder b;
  b.First("UPDATE DL01MAST.db SET DL01_DESCRIPTION = ", parent("Sname"));
  b.Next(" ,DL01_POS_ADDR1 = ", parent("PostalAddress1"));
  b.Next(" ,DL01_POS_ADDR2 = ", parent("PostalAddress2"));
  b.Next(", DL01_POS_ADDR3 = ", parent("PostalAddress3"));
  b.Next(", DL01_POS_CODE = ", parent("PostalCode"));
  b.Next(", DL01_DEL_ADDR1 = ", parent("Streetaddress1"));
  b.Next(", DL01_DEL_ADDR2 = ", parent("Streetaddress2"));
  b.Next(", DL01_DEL_ADDR3 = ", parent("Streetaddress3"));
  b.Next(", DL01_DEL_CODE  = ", parent("Streetcode"));
  b.Next(", DL01_PHONE1    = ", parent("Tel1"));
  b.Next(", DL01_PHONE2    = ", parent("Tel2"));
  b.Next(", DL01_TITLE     = ", parent("Title"));
  b.Next(", DL01_PHONE3    = ", parent("Tel3"));
  b.Next(", DL01_MOTHER_ID = ", parent("SpouseID"));
  b.Next(", DL01_FATHER_ID = ", parent("IDNumber"));
  b.Account(" WHERE DL01_CODE = ", " +", parent("ParentId"));
  return b.Take();
}

std::vector<std::string> LearnerStatementLines(const FieldReader& learner, const FieldReader& link,
                                               const FieldReader& klass) {
  LineBuilder b;
  b.First("UPDATE CH01MAST.db SET CH01_SURNAME = ", learner("SName"));
  b.Next(", CH01_INITIALS = ", learner("Initials"));
  b.Next(", CH01_NAME = ", learner("FName"));
  b.Account(", CH01_DL01_CODE = ", "+", link("Parentid"));
  b.Next(", CH01_SEX = ", learner("Gender"));
  b.Next(", CH01_HOME_LANG =", learner("HomeLanguage"));
  b.Next(", CH01_SECOND_NAME  =", learner("SecondName"));
  b.Next(", CH01_NICK_NAME = ", learner("NickName"));
  b.Next(", CH01_ID_NO  =  ", learner("IDNo"));
  b.Next(", CH01_MEDICAL_NO= ", learner("MedicalAidNo"));
  b.Next(", CH01_MEDICAL_NAME= ", learner("MedicalaidName"));
  b.Next(", CH01_MEDICAL_MEMBER = ", learner("MedicalaidMember"));
  b.Next(", CH01_SMART_CODE =", learner("LearnerID"));
  if (learner("Status") == "A") {
    b.Next(",  CH01_STATUS =  ", "I");
    b.Next(",  CH01_CLASS =  ", "ZZ");
  }
  if (learner("Status") == "C") {
    b.Next(", CH01_STATUS = ", "A");
    b.Next(", CH01_CLASS = ", klass("ClassName"));
  }
  b.Next("Where CH01_code = ", learner("LearnerID"));
  return b.Take();
}

std::vector<std::string> ClassCodeStatementLines(const FieldReader& klass) {
  LineBuilder b;
  b.First("UPDATE DL00CODE.DB  SET Dl00_CODE = ", klass("ClassName"));
  b.Next(" ,Dl00_DESCRIPTION = ", klass("EdCode"));
  b.Next(" WHERE Dl00_CODE = ", klass("ClassName"));
  return b.Take();
}

std::vector<std::string> ClassMasterStatementLines(const FieldReader& klass) {
  LineBuilder b;
  b.First("UPDATE CLASSMAS.DB SET CL01_CODE = ", klass("ClassName"));
  b.Next(" ,CL01_TEACHER = ", klass("EdCode"));
  b.Next(" WHERE CL01_CODE = ", klass("ClassName"));
  return b.Take();
}

void ComposeStatement(SqlStatement& statement, const std::vector<std::string>& lines) {
  statement.ClearLines();
  if (lines.empty()) return;
  statement.SetText(lines.front());
  for (size_t i = 1; i < lines.size(); ++i) statement.AddLine(lines[i]);
}

}  // namespace varnholt
