// Several records of one table rewritten as one step: every check first, then the writes, with the
// ones already made put back when the engine refuses a write half-way.
#ifndef VARNHOLT_STORES_PARADOX_UPDATE_ALL_H_
#define VARNHOLT_STORES_PARADOX_UPDATE_ALL_H_

#include <utility>
#include <vector>

#include "stores/paradox/table.h"

namespace varnholt::paradox {

// One record to rewrite: its row, the record as it stands and the one to write.
struct RecordChange {
  RowId row;
  Record old_record;
  const Record* new_record;  // points into the caller's updates
};

// Throws StoreError "Field '<f>' must have a value" for the first field that `required` (one flag
// per field) asks for and `record` leaves null.
void CheckRequired(const Table& table, const std::vector<bool>& required, const Record& record);

// The records of `updates` that differ from the table's, after every check a write needs: a
// required field left null (see CheckRequired), a key that another row holds or that two of
// the records share ("Key violation." and the table on the next line), and the same for an entry
// of a unique secondary index (Table::CheckUniqueEntries). Reads only; throws before
// anything is written. The result points into `updates`.
std::vector<RecordChange> CheckedChanges(Table& table,
                                         const std::vector<std::pair<RowId, Record>>& updates,
                                         const std::vector<bool>& required);

// Writes `changes` in order. When the engine refuses one, those already written are put back,
// newest first, and the error is thrown on: the table ends fully updated or as it was.
// REQUIRES: the table is open for writing; `changes` came from CheckedChanges on it.
void WriteChanges(Table& table, const std::vector<RecordChange>& changes);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_UPDATE_ALL_H_
