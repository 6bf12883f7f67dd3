#include "passes/exact_codes.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/store_error.h"
#include "passes/import_passes.h"
#include "stores/components/binding.h"

namespace varnholt {
namespace {

constexpr char kRenameClass[] = "rename the class";
constexpr char kChangeLearnerId[] = "change the learner id";
constexpr char kChangeParentId[] = "change the parent id";
constexpr char kInSchoolProgram[] = " in the school-administration program";

// A target field a source value is written to.
struct Destination {
  const TargetTable* table;
  const char* field;
};

// What the message says of the value: "<noun> \"<value>\" (row <n> of <table>)" and, when the field
// holds more than the value, " as <what> \"<stored>\"".
struct Origin {
  const char* noun;
  const std::string& value;
  int row;
  const char* source_table;
  const char* stored_as_what = nullptr;
};

class CodeChecker {
 public:
  // Throws for the first destination whose code page cannot hold `stored` as it is.
  void Require(const std::string& stored, const std::vector<Destination>& into, const Origin& origin,
               const char* remedy) {
    for (const Destination& d : into) {
      if (!d.table->Active()) continue;  // a missing table: its binding reports it
      const std::optional<CodePage::Inexact> inexact = PageOf(*d.table).FirstInexact(stored);
      if (!inexact) continue;
      std::string message = std::string(origin.noun) + " \"" + origin.value + "\" (row " +
                            std::to_string(origin.row) + " of " + origin.source_table +
                            ") cannot be stored as it is in field " + d.field + " of table " +
                            d.table->TableName();
      if (origin.stored_as_what != nullptr) message += std::string(", as ") + origin.stored_as_what + " \"" + stored + "\"";
      message += ": its code page " + std::to_string(PageOf(*d.table).number()) + " has no \"" +
                 inexact->character + "\" (it would become \"" + inexact->stored_as + "\"); " + remedy +
                 kInSchoolProgram;
      throw StoreError(message);
    }
  }

 private:
  const CodePage& PageOf(const TargetTable& table) {
    std::unique_ptr<CodePage>& page = pages_[table.CodePageNumber()];
    if (!page) page = std::make_unique<CodePage>(table.CodePageNumber());
    return *page;
  }

  std::map<int, std::unique_ptr<CodePage>> pages_;
};

// Calls `each` with every row of a source table, numbered from 1, read by a reader of its own.
void EachRow(StoreComponents& c, const LocationSource& locations, const char* component, const char* table,
             const std::function<void(const SourceTable& row, int number)>& each) {
  SourceTable reader(component, c.regional(), &c.source_databases());
  reader.SetConnectionString(SourceConnectionString(locations));
  reader.SetTableName(table);
  reader.Open();
  const int rows = reader.RecordCount();
  for (int number = 1; number <= rows; ++number) {
    each(reader, number);
    reader.Next();
  }
}

}  // namespace

void RequireExactCodes(StoreComponents& c, const LocationSource& locations) {
  // Classes first, as the class import binds it: a changed source location is refused there.
  BindClassStatements(c, locations);
  OpenTargetTablesPresent(c, locations);
  CodeChecker checker;
  EachRow(c, locations, "Classes", kClassesTable, [&](const SourceTable& row, int number) {
    const std::string name = row.FieldText("ClassName");
    checker.Require(name, {{&c.Dl00(), "Dl00_CODE"}, {&c.Classmas(), "CL01_CODE"}, {&c.Ch01mast(), "CH01_CLASS"}},
                    {"Class", name, number, kClassesTable}, kRenameClass);
  });
  EachRow(c, locations, "tblLearner_Info", kLearnerTable, [&](const SourceTable& row, int number) {
    const std::string id = row.FieldText("LearnerID");
    checker.Require(id, {{&c.Ch01mast(), "CH01_CODE"}, {&c.Ch01mast(), "CH01_SMART_CODE"}},
                    {"Learner id", id, number, kLearnerTable}, kChangeLearnerId);
  });
  EachRow(c, locations, "tblParent_Child", kParentChildTable, [&](const SourceTable& row, int number) {
    const std::string id = row.FieldText("Parentid");
    checker.Require(kParentCodePrefix + id, {{&c.Ch01mast(), "CH01_DL01_CODE"}},
                    {"Parent id", id, number, kParentChildTable, "parent account code"}, kChangeParentId);
  });
  EachRow(c, locations, "tblParent_info", kParentTable, [&](const SourceTable& row, int number) {
    const std::string id = row.FieldText("ParentId");
    if (id.empty()) return;  // no account (ImportParents)
    checker.Require(kParentCodePrefix + id, {{&c.Dl01mast(), "DL01_CODE"}},
                    {"Parent id", id, number, kParentTable, "account code"}, kChangeParentId);
  });
}

}  // namespace varnholt
