// Referential integrity as the tables' engine enforces it when a record is posted: a dependant's
// foreign key must name a master record, and a master's key may not change while dependants refer
// to it. The linked tables are only read here; nothing is written, so a refused post leaves every
// table as it was.
#ifndef VARNHOLT_STORES_TARGET_REFERENTIAL_CHECKS_H_
#define VARNHOLT_STORES_TARGET_REFERENTIAL_CHECKS_H_

#include <functional>
#include <string>

#include "stores/paradox/integrity_links.h"
#include "stores/paradox/table.h"

namespace varnholt {

// The table a link names (a file name in the checked table's folder), open and current; nullptr
// when there is no such file. May throw EngineError (a password refused, the product using it).
using LinkedTable = std::function<paradox::Table*(const std::string& file_name)>;

// For each link to a master whose fields in `record` are not all blank (null or empty text) and,
// for an update (`old_record` not null), differ from `old_record`'s: throws EngineError "Master
// record missing." with the fields, the values, the table and the master table, when no master
// record holds those values. "Master table missing." when the master's file is not there; a link
// whose fields the master lacks or whose field types differ is refused naming the link.
void CheckMasterRecords(paradox::Table& table, const paradox::IntegrityLinks& links,
                        const paradox::Record& record, const paradox::Record* old_record,
                        const LinkedTable& open);

// For each dependant whose linked key fields differ between `old_record` and `record`: throws
// EngineError "Master has detail records. Cannot delete or modify." with the fields, the old
// values, the table and the detail table, when a record of the dependant holds the old values.
// "Detail table missing." when the dependant's file is not there.
void CheckNoDetailRecords(paradox::Table& table, const paradox::IntegrityLinks& links,
                          const paradox::Record& record, const paradox::Record& old_record,
                          const LinkedTable& open);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_TARGET_REFERENTIAL_CHECKS_H_
