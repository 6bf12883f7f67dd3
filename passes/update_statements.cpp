#include "passes/update_statements.h"

#include "passes/import_passes.h"
#include "passes/learner_status.h"

namespace varnholt {
namespace {

constexpr char kFirstLineClosing[] = "  ";
constexpr char kLineClosing[] = " ";
// The longest statement (the learner's) has 16 lines.
constexpr size_t kLinesAtMost = 16;

// Appends the value between double quotes, each double quote inside doubled.
void AppendQuoted(std::string_view value, std::string* out) {
  *out += '"';
  for (size_t quote; (quote = value.find('"')) != std::string_view::npos;) {
    out->append(value.substr(0, quote + 1));
    *out += '"';
    value.remove_prefix(quote + 1);
  }
  out->append(value);
  *out += '"';
}

// Builds a statement one line at a time: opening text, the quoted value, the closing blanks. Each
// line is sized once: a statement per source row makes these the pass's most frequent strings.
class LineBuilder {
 public:
  LineBuilder() { lines_.reserve(kLinesAtMost); }

  void First(std::string_view opening, std::string_view value) {
    Add(opening, value, kFirstLineClosing);
  }
  void Next(std::string_view opening, std::string_view value) { Add(opening, value, kLineClosing); }
  // A line whose value the engine joins from the account prefix and a parent id.
  void Account(std::string_view opening, std::string_view joiner, std::string_view parent_id) {
    std::string& line = Start(opening.size() + joiner.size() + sizeof(kParentCodePrefix) +
                              parent_id.size() + sizeof(kLineClosing) + 4);
    line.append(opening);
    AppendQuoted(kParentCodePrefix, &line);
    line.append(joiner);
    AppendQuoted(parent_id, &line);
    line.append(kLineClosing);
  }
  std::vector<std::string> Take() { return std::move(lines_); }

 private:
  std::string& Start(size_t size) {
    std::string& line = lines_.emplace_back();
    line.reserve(size);
    return line;
  }
  void Add(std::string_view opening, std::string_view value, std::string_view closing) {
    std::string& line = Start(opening.size() + value.size() + closing.size() + 2);
    line.append(opening);
    AppendQuoted(value, &line);
    line.append(closing);
  }

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
  const std::string status = learner("Status");
  if (status == learner_status::kSourceDeparted) {
    b.Next(",  CH01_STATUS =  ", learner_status::kTargetInactive);
    b.Next(",  CH01_CLASS =  ", learner_status::kInactiveClass);
  }
  if (status == learner_status::kSourceCurrent) {
    b.Next(", CH01_STATUS = ", learner_status::kTargetActive);
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

void ComposeStatement(SqlStatement& statement, std::vector<std::string> lines) {
  statement.ClearLines();
  if (lines.empty()) return;
  std::string& first = lines.front();
  if (first.find('\n') == std::string::npos && first.find('\r') == std::string::npos) {
    // What SetText makes of a text without line breaks, without copying it.
    if (!first.empty()) statement.AddLine(std::move(first));
  } else {
    statement.SetText(first);
  }
  for (size_t i = 1; i < lines.size(); ++i) statement.AddLine(std::move(lines[i]));
}

}  // namespace varnholt
