#include "tools/sample_school/source_database.h"

#include <algorithm>
#include <functional>

#include "base/utf8.h"

namespace varnholt::sample {

namespace {

using jet::Cell;
using jet::ColumnType;

// The header's creation date: fixed so that a school always gives the same file.
constexpr int kCreatedYear = 2024;

Cell ToCell(const Text& v) { return v ? Cell{*v} : Cell{}; }
Cell ToCell(const Number& v) { return v ? Cell{int64_t{*v}} : Cell{}; }
Cell ToCell(const Date& v) { return v ? Cell{*v} : Cell{}; }

template <typename Row>
struct Field {
  const char* name;
  ColumnType type;
  int length;  // Text only
  std::function<Cell(const Row&)> get;
};

template <typename Row>
Field<Row> Long(const char* name, Number Row::*member) {
  return {name, ColumnType::kLong, 0, [member](const Row& r) { return ToCell(r.*member); }};
}
template <typename Row>
Field<Row> String(const char* name, int length, Text Row::*member) {
  return {name, ColumnType::kText, length, [member](const Row& r) { return ToCell(r.*member); }};
}
template <typename Row>
Field<Row> When(const char* name, Date Row::*member) {
  return {name, ColumnType::kDateTime, 0, [member](const Row& r) { return ToCell(r.*member); }};
}

const std::vector<Field<Learner>>& LearnerFields() {
  static const std::vector<Field<Learner>> fields = {
      Long("id", &Learner::id),
      Long("LearnerID", &Learner::learner_id),
      String("AccessionNo", 20, &Learner::accession_no),
      String("Initials", 10, &Learner::initials),
      String("SName", 50, &Learner::surname),
      String("FName", 50, &Learner::first_name),
      String("SecondName", 50, &Learner::second_name),
      String("NickName", 30, &Learner::nick_name),
      String("BirthDate", 8, &Learner::birth_date),
      When("thedate", &Learner::admitted),
      Long("Class", &Learner::class_id),
      String("Status", 1, &Learner::status),
      String("Gender", 1, &Learner::gender),
      String("HomeLanguage", 20, &Learner::home_language),
      String("IDNo", 13, &Learner::id_no),
      String("MedicalAidNo", 20, &Learner::medical_aid_no),
      String("MedicalaidName", 50, &Learner::medical_aid_name),
      String("MedicalaidMember", 50, &Learner::medical_aid_member),
  };
  return fields;
}

const std::vector<Field<Parent>>& ParentFields() {
  static const std::vector<Field<Parent>> fields = {
      Long("ParentId", &Parent::parent_id),
      String("Sname", 50, &Parent::surname),
      String("Title", 10, &Parent::title),
      String("PostalAddress1", 50, &Parent::postal_address1),
      String("PostalAddress2", 50, &Parent::postal_address2),
      String("PostalAddress3", 50, &Parent::postal_address3),
      String("PostalCode", 10, &Parent::postal_code),
      String("Streetaddress1", 50, &Parent::street_address1),
      String("Streetaddress2", 50, &Parent::street_address2),
      String("Streetaddress3", 50, &Parent::street_address3),
      String("Streetcode", 10, &Parent::street_code),
      String("Tel1", 20, &Parent::tel1),
      String("Tel2", 20, &Parent::tel2),
      String("Tel3", 20, &Parent::tel3),
      String("IDNumber", 13, &Parent::id_number),
      String("SpouseID", 13, &Parent::spouse_id),
  };
  return fields;
}

const std::vector<Field<ParentLink>>& LinkFields() {
  static const std::vector<Field<ParentLink>> fields = {
      Long("childid", &ParentLink::child_id),
      Long("learnerid", &ParentLink::learner_id),
      Long("Parentid", &ParentLink::parent_id),
  };
  return fields;
}

const std::vector<Field<SchoolClass>>& ClassFields() {
  static const std::vector<Field<SchoolClass>> fields = {
      Long("Classid", &SchoolClass::class_id),
      String("ClassName", 20, &SchoolClass::class_name),
      String("EdCode", 10, &SchoolClass::ed_code),
  };
  return fields;
}

// UTF-16 length of a UTF-8 text: what Text(n) counts.
int Utf16Length(const std::string& utf8) {
  int n = 0;
  for (unsigned char c : utf8) {
    if (!IsUtf8Continuation(static_cast<char>(c))) n += (c >= 0xF0) ? 2 : 1;
  }
  return n;
}

template <typename Row>
std::vector<jet::Column> Columns(const std::vector<Field<Row>>& fields,
                                 const std::vector<Row>& rows) {
  std::vector<jet::Column> columns;
  for (const Field<Row>& f : fields) {
    jet::Column c{f.name, f.type, f.length};
    if (f.type == ColumnType::kText) {
      for (const Row& r : rows) {
        const Cell cell = f.get(r);
        if (const auto* s = std::get_if<std::string>(&cell)) {
          c.text_length = std::min(255, std::max(c.text_length, Utf16Length(*s)));
        }
      }
    }
    columns.push_back(c);
  }
  return columns;
}

template <typename Row>
std::vector<Cell> Cells(const std::vector<Field<Row>>& fields, const Row& row) {
  std::vector<Cell> cells;
  cells.reserve(fields.size());
  for (const Field<Row>& f : fields) cells.push_back(f.get(row));
  return cells;
}

template <typename Row>
jet::TableData Table(const char* name, const std::vector<Field<Row>>& fields,
                     const std::vector<Row>& rows) {
  jet::TableData table{name, Columns(fields, rows), {}};
  table.rows.reserve(rows.size());
  for (const Row& r : rows) table.rows.push_back(Cells(fields, r));
  return table;
}

template <typename Row>
void Stream(jet::DatabaseWriter& writer, const char* name, const std::vector<Field<Row>>& fields,
            const std::vector<Row>& rows) {
  writer.BeginTable(name, Columns(fields, rows));
  for (const Row& r : rows) writer.AddRow(Cells(fields, r));
}

}  // namespace

std::vector<jet::TableData> SourceTables(const School& school) {
  return {Table("Learner_info", LearnerFields(), school.learners),
          Table("Parent_info", ParentFields(), school.parents),
          Table("Parent_child", LinkFields(), school.links),
          Table("Classes", ClassFields(), school.classes)};
}

void WriteSourceDatabase(const std::string& path, const School& school,
                         const std::string& password) {
  jet::WriteOptions options;
  options.password = password;
  options.created = jet::DateTime::FromCivil(kCreatedYear, 1, 15, 8, 0, 0);
  jet::DatabaseWriter writer(path, options);
  Stream(writer, "Learner_info", LearnerFields(), school.learners);
  Stream(writer, "Parent_info", ParentFields(), school.parents);
  Stream(writer, "Parent_child", LinkFields(), school.links);
  Stream(writer, "Classes", ClassFields(), school.classes);
  writer.Finish();
}

}  // namespace varnholt::sample
