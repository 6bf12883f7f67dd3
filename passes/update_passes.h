// The update passes: one UPDATE statement per source row, executed at once. A statement whose key
// matches no target row changes nothing. They catch nothing: a refused statement ends the command
// with every statement before it in effect. A learner's statement that would store its class or
// account code cut ends the command before it runs (passes/whole_codes.h).
#ifndef VARNHOLT_PASSES_UPDATE_PASSES_H_
#define VARNHOLT_PASSES_UPDATE_PASSES_H_

#include "stores/components/store_components.h"

namespace varnholt {

// REQUIRES: BindClassStatements has run and Classes stands on its first row.
void UpdateClassCodes(StoreComponents& c);
void UpdateClassMaster(StoreComponents& c);
// A parent whose ParentId is empty has no account, so it gets no statement.
// REQUIRES: BindImportStores has just run.
void UpdateParents(StoreComponents& c);
void UpdateLearners(StoreComponents& c);

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_UPDATE_PASSES_H_
