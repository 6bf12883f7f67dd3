// Keys and codes are stored exactly or not at all. Before a command writes anything, every value
// that becomes a key or a linking code in a target table is converted into that table's code page;
// a value that would not come back as itself ends the command there. Stored changed (a class "Ø1"
// as "O1", "小1" as "?1"), a key would be looked up as the source spells it and missed by every
// later import, which would try to add it again, and two classes ("小1", "大1") would become one.
// Values that convert exactly stay apart, so no two source codes can meet in one key; codes too
// long for their field are the row-by-row check of passes/whole_codes.h.
#ifndef VARNHOLT_PASSES_EXACT_CODES_H_
#define VARNHOLT_PASSES_EXACT_CODES_H_

#include "stores/components/location_source.h"
#include "stores/components/store_components.h"

namespace varnholt {

// Binds Classes (as BindClassStatements does) and opens the target tables the folder holds
// (OpenTargetTablesPresent), then reads, in order, every row of Classes (ClassName as Dl00_CODE,
// CL01_CODE and CH01_CLASS), of Learner_info (LearnerID as CH01_CODE and CH01_SMART_CODE), of
// Parent_child ("3" + Parentid as CH01_DL01_CODE) and of Parent_info ("3" + ParentId as DL01_CODE,
// none for an empty id), unfiltered, through readers of its own, so no component's filter
// changes. Throws StoreError
// "<Subject> \"<value>\" (row <n> of <source table>) cannot be stored as it is in field <field> of
// table <table>: its code page <n> has no \"<character>\" (it would become \"<stand-in>\"); <remedy>
// in the school-administration program" for the first value that does not convert exactly.
// A value bound for a missing table is not checked: the command ends at that table's binding.
// Writes nothing; a store that cannot be opened throws its own error.
void RequireExactCodes(StoreComponents& c, const LocationSource& locations);

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_EXACT_CODES_H_
