#include "passes/update_passes.h"

#include "passes/filter_text.h"
#include "passes/import_passes.h"
#include "passes/row_errors.h"
#include "passes/update_statements.h"
#include "passes/whole_codes.h"

namespace varnholt {
namespace {

// Each pass steps once through the rows its table shows, counting them as RecordCount does: from 1.
constexpr int kFirstRow = 1;

FieldReader ReaderOf(const SourceTable& table) {
  return [&table](std::string_view field) { return table.FieldText(field); };
}

// One statement per row that Classes shows, in its order.
void UpdateClasses(SourceTable& classes, SqlStatement& statement,
                   std::vector<std::string> (*lines)(const FieldReader&)) {
  for (int counter = kFirstRow; counter <= classes.RecordCount(); ++counter) {
    ComposeStatement(statement, lines(ReaderOf(classes)));
    WritingRow([&] { return "Class " + classes.FieldText("ClassName"); }, [&] { statement.ExecSQL(); });
    classes.Next();
  }
}

}  // namespace

void UpdateClassCodes(StoreComponents& c) { UpdateClasses(c.Classes(), c.UpdateC1(), ClassCodeStatementLines); }

void UpdateClassMaster(StoreComponents& c) { UpdateClasses(c.Classes(), c.UpdateC2(), ClassMasterStatementLines); }

void UpdateParents(StoreComponents& c) {
  for (int counter = kFirstRow; counter <= c.tblParent_info().RecordCount(); ++counter) {
    // A parent without an id has no account (ImportParents): its statement would rewrite account
    // "3", whoever holds it.
    if (!c.tblParent_info().FieldText("ParentId").empty()) {
      ComposeStatement(c.Update(), ParentStatementLines(ReaderOf(c.tblParent_info())));
      WritingRow([&] { return "Parent " + c.tblParent_info().FieldText("ParentId"); }, [&] { c.Update().ExecSQL(); });
    }
    c.tblParent_info().Next();
  }
}

void UpdateLearners(StoreComponents& c) {
  SourceTable& learners = c.tblLearner_Info();
  for (int counter = kFirstRow; counter <= learners.RecordCount(); ++counter) {
    c.tblParent_Child().SetFilter(UnquotedFilter("learnerId=", learners.FieldText("LearnerID")));
    c.tblParent_Child().SetFiltered(true);
    c.Classes().SetFilter(UnquotedFilter("Classid=", learners.FieldText("Class")));
    c.Classes().SetFiltered(true);
    // The statement would store a cut class or account code; the target's width is Ch01mast's.
    RequireWholeLearnerLinks(c.Ch01mast(), learners.FieldText("LearnerID"),
                             kParentCodePrefix + c.tblParent_Child().FieldText("Parentid"),
                             learners.FieldText("Status") == "C"
                                 ? std::optional<std::string>(c.Classes().FieldText("ClassName"))
                                 : std::nullopt);
    ComposeStatement(c.Update2(), LearnerStatementLines(ReaderOf(learners), ReaderOf(c.tblParent_Child()),
                                                      ReaderOf(c.Classes())));
    WritingRow([&] { return "Learner " + learners.FieldText("LearnerID"); }, [&] { c.Update2().ExecSQL(); });
    c.Classes().Next();
    learners.Next();
    c.tblParent_Child().Next();
  }
}

}  // namespace varnholt
