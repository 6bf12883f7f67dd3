#include <string>

#include "passes/filter_text.h"
#include "passes/import_passes.h"
#include "passes/row_errors.h"
#include "passes/whole_codes.h"

namespace varnholt {
namespace {

constexpr char kLookupOpening[] = "DL01_code =";

}  // namespace

void ImportParents(StoreComponents& c) {
  SourceTable& parents = c.tblParent_info();
  TargetTable& target = c.Dl01mast();

  // Starts where binding left tblParent_info: on its first row.
  for (int counter = 0; counter < parents.RecordCount(); ++counter) {
    target.SetFilter(UnquotedFilter(kLookupOpening, kParentCodePrefix + parents.FieldText("ParentId")));
    target.SetFiltered(true);
    const std::string account = kParentCodePrefix + parents.FieldText("ParentId");
    // A parent without an id has no account code: the prefix alone is what every learner without
    // a parent link carries, so such an account would collect strangers' learners.
    if (account != kParentCodePrefix && account != target.FieldText("DL01_code")) {
      RequireWholeCode(
          target, "DL01_CODE", account, [&] { return "Parent " + parents.FieldText("ParentId") + ": account code"; },
          "the parent id");
      target.Insert();
      WritingRow([&] { return "Parent " + parents.FieldText("ParentId"); }, [&] {
        target.SetFieldText("DL01_CODE", kParentCodePrefix + parents.FieldText("ParentId"));
        target.SetFieldText("DL01_DESCRIPTION", parents.FieldText("Sname"));
        target.SetFieldText("DL01_POS_ADDR1", parents.FieldText("PostalAddress1"));
        target.SetFieldText("DL01_POS_ADDR2", parents.FieldText("PostalAddress2"));
        target.SetFieldText("DL01_POS_ADDR3", parents.FieldText("PostalAddress3"));
        target.SetFieldText("DL01_POS_CODE", parents.FieldText("PostalCode"));
        target.SetFieldText("DL01_DEL_ADDR1", parents.FieldText("Streetaddress1"));
        target.SetFieldText("DL01_DEL_ADDR2", parents.FieldText("Streetaddress2"));
        target.SetFieldText("DL01_DEL_ADDR3", parents.FieldText("Streetaddress3"));
        target.SetFieldText("DL01_DEL_CODE", parents.FieldText("Streetcode"));
        target.SetFieldText("DL01_PHONE1", parents.FieldText("Tel1"));
        target.SetFieldText("DL01_PHONE2", parents.FieldText("Tel2"));
        target.SetFieldText("DL01_PHONE3", parents.FieldText("Tel3"));
        target.SetFieldText("DL01_TITLE", parents.FieldText("Title"));
        target.SetFieldText("DL01_FATHER_ID", parents.FieldText("IDNumber"));
      });
      target.Post();
    }
    parents.Next();
    target.SetFiltered(false);
  }
}

}  // namespace varnholt
