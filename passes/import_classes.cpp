#include <string>

#include "passes/filter_text.h"
#include "passes/import_passes.h"
#include "passes/row_errors.h"
#include "passes/whole_codes.h"

namespace varnholt {
namespace {

constexpr char kFilterClosing[] = "' ";

// One class pass: every row Classes shows is looked up in target by its name and added when the
// exact comparison does not find it. The two class tables differ only in their field names.
void ImportClasses(SourceTable& classes, TargetTable& target, const char* filter_opening,
                   const char* code_field, const char* description_field) {
  for (int counter = 1; counter <= classes.RecordCount(); ++counter) {
    target.SetFilter(QuotedFilter(filter_opening, classes.FieldText("ClassName"), kFilterClosing));
    target.SetFiltered(true);
    if (classes.FieldText("ClassName") != target.FieldText(code_field)) {
      RequireWholeCode(target, code_field, classes.FieldText("ClassName"), [] { return std::string("Class"); },
                       "the class name");
      target.Insert();
      WritingRow([&] { return "Class " + classes.FieldText("ClassName"); }, [&] {
        target.SetFieldText(code_field, classes.FieldText("ClassName"));
        target.SetFieldText(description_field, classes.FieldText("EdCode"));
      });
      target.Post();
    }
    classes.Next();
    target.SetFiltered(false);
  }
}

}  // namespace

void ImportClassCodes(StoreComponents& c) {
  ImportClasses(c.Classes(), c.Dl00(), "Dl00_CODE='", "Dl00_CODE", "Dl00_DESCRIPTION");
}

void ImportClassMaster(StoreComponents& c) {
  ImportClasses(c.Classes(), c.Classmas(), "CL01_CODE='", "CL01_CODE", "CL01_TEACHER");
}

}  // namespace varnholt
