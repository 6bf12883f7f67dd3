#include "tools/sample_school/target_tables.h"

#include <cmath>
#include <memory>

#include "stores/paradox/table.h"
#include "tools/sample_school/varnholt_schema.h"

namespace varnholt::sample {
namespace {

// Fills a record field by field name, leaving the others null.
class RecordBuilder {
 public:
  explicit RecordBuilder(paradox::Table& table) : table_(table), record_(table.fields().size()) {}
  RecordBuilder& Set(const char* field, paradox::Value value) {
    record_.at(static_cast<size_t>(table_.FindField(field))) = std::move(value);
    return *this;
  }
  RecordBuilder& Text(const char* field, const std::string& text) { return Set(field, text); }
  const paradox::Record& record() const { return record_; }

 private:
  paradox::Table& table_;
  paradox::Record record_;
};

std::string Or(const Text& text, const char* fallback) { return text.value_or(fallback); }

std::unique_ptr<paradox::Table> OpenTable(const std::string& directory, const char* name) {
  return paradox::Table::Open(directory + "/" + name, true);
}

}  // namespace

bool TakenByShare(size_t index, double holds) {
  return std::floor(holds * static_cast<double>(index + 1)) > std::floor(holds * static_cast<double>(index));
}

void WriteTargetTables(const std::string& directory, const School& school, double holds,
                       bool indexed) {
  paradox::CreateVarnholtTables(directory);
  if (indexed) paradox::AddVarnholtIndexes(directory);
  if (holds <= 0) return;

  auto codes = OpenTable(directory, "DL00CODE.DB");
  auto master = OpenTable(directory, "CLASSMAS.DB");
  std::vector<std::string> class_names;
  for (size_t i = 0; i < school.classes.size(); ++i) {
    const SchoolClass& k = school.classes[i];
    if (!TakenByShare(i, holds) || !k.class_name || k.class_name->empty()) continue;
    bool seen = false;
    for (const std::string& name : class_names) seen = seen || name == *k.class_name;
    if (seen) continue;
    class_names.push_back(*k.class_name);
    codes->Insert(RecordBuilder(*codes).Text("Dl00_CODE", *k.class_name).Text("Dl00_DESCRIPTION", "OLD").record());
    master->Insert(RecordBuilder(*master)
                       .Text("CL01_CODE", *k.class_name)
                       .Text("CL01_TEACHER", "OLD")
                       .Text("CL01_ROOM", "R1")
                       .record());
  }

  auto parents = OpenTable(directory, "DL01MAST.DB");
  for (size_t i = 0; i < school.parents.size(); ++i) {
    const Parent& p = school.parents[i];
    if (!TakenByShare(i, holds) || !p.parent_id) continue;
    const std::string code = "3" + std::to_string(*p.parent_id);
    if (!parents->FindEqual(0, code).empty()) continue;
    parents->Insert(RecordBuilder(*parents)
                        .Text("DL01_CODE", code)
                        .Text("DL01_DESCRIPTION", "Old " + Or(p.surname, "parent"))
                        .Text("DL01_TITLE", "Dr")
                        .Text("DL01_POS_ADDR1", "Old address")
                        .Text("DL01_PHONE1", "000 000 0000")
                        .Text("DL01_MOTHER_ID", "0000000000000")
                        .Set("DL01_BALANCE", 125.5)
                        .Set("DL01_CREDIT_LIMIT", 1000.0)
                        .record());
  }

  auto learners = OpenTable(directory, "CH01MAST.DB");
  for (size_t i = 0; i < school.learners.size(); ++i) {
    const Learner& l = school.learners[i];
    if (!TakenByShare(i, holds) || !l.learner_id) continue;
    const std::string code = std::to_string(*l.learner_id);
    if (!learners->FindEqual(0, code).empty()) continue;
    learners->Insert(RecordBuilder(*learners)
                         .Text("CH01_CODE", code)
                         .Text("CH01_SURNAME", "Old " + Or(l.surname, "learner"))
                         .Text("CH01_NAME", "Old")
                         .Text("CH01_DL01_CODE", "399999")
                         .Set("CH01_DATE_OF_BIRTH", paradox::Date{735000})
                         .Text("CH01_STATUS", "Z")
                         .Text("CH01_CLASS", "OLD")
                         .Text("CH01_SMART_CODE", "OLD")
                         .Set("CH01_BALANCE", 250.0)
                         .Text("CH01_REMARKS", "kept by the update")
                         .record());
  }
}

}  // namespace varnholt::sample
