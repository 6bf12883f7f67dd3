// Walks a table's rows in stored order: the data pages its usage map names (skipping pages that
// are not its data pages), each page's rows in order. Deleted rows are skipped; a row that moved
// to another page is read there, at its own place in the order.
#ifndef VARNHOLT_STORES_JET_TABLE_SCAN_H_
#define VARNHOLT_STORES_JET_TABLE_SCAN_H_

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "stores/jet/page_reader.h"
#include "stores/jet/row_cracker.h"
#include "stores/jet/table_definition.h"

namespace varnholt {

// Called once per row with the row's bytes and its cracked fields (views valid during the call).
using JetRowVisitor = std::function<void(std::span<const uint8_t> row, const std::vector<JetField>& fields)>;

// The data pages the table's usage map names, in order. Throws JetFormatError when the map is
// missing or damaged, or its row is on a page that is no data page.
std::vector<uint32_t> JetTablePages(const JetPageReader& pages, const JetTableDefinition& table);

// Visits every row of `table`. Throws JetFormatError for damage found on the way (and whatever
// `visit` throws).
void ScanJetTable(const JetPageReader& pages, const JetTableDefinition& table, const JetRowVisitor& visit);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_TABLE_SCAN_H_
