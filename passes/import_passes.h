// The import passes: row-by-row addition of what the target lacks. Each examines every source row
// once, in order, looks it up in the target by a filter and an exact comparison, and inserts and
// posts a new row when the target lacks it. They catch nothing: a failing store operation throws
// and ends the command, leaving the rows posted before it. A row whose code (or a learner's class
// or account code) its target field cannot hold whole ends the command before it is written
// (passes/whole_codes.h); other text is cut to its field's width.
#ifndef VARNHOLT_PASSES_IMPORT_PASSES_H_
#define VARNHOLT_PASSES_IMPORT_PASSES_H_

#include <string>

#include "stores/components/store_components.h"

namespace varnholt {

// The one-character text that, followed by a parent id, forms a parent's account code.
inline constexpr char kParentCodePrefix[] = "3";

enum class LearnerImportForm {
  kFirst,   // "IMPORT INTO VARNHOLT": link by "learnerid='<AccessionNo>' ", no second name
  kSecond,  // "Update2": link by "learnerId=<AccessionNo>", writes CH01_SECOND_NAME
};

// REQUIRES: BindImportStores has just run.
void ImportLearners(StoreComponents& c, LearnerImportForm form);
// A parent whose ParentId is empty gets no account: "3" alone is every unlinked learner's code.
// REQUIRES: BindImportStores has run in this command and tblParent_info was not moved since.
void ImportParents(StoreComponents& c);
// REQUIRES: BindClassTables has run and Classes stands on its first row.
void ImportClassCodes(StoreComponents& c);
void ImportClassMaster(StoreComponents& c);

// "YYYYMMDD" -> "DD/MM/YYYY" (characters after the eighth ignored).
std::string ReorderCompactDate(const std::string& text);
// "YYYY?MM?DD..." -> "DD/MM/YYYY" (the separators and anything after the tenth dropped).
std::string ReorderSeparatedDate(const std::string& text);

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_IMPORT_PASSES_H_
