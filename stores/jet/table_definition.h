// A table's definition (TDEF) page or pages: its columns, its row count and where its usage map is.
// Index definitions follow the column names and are not read.
#ifndef VARNHOLT_STORES_JET_TABLE_DEFINITION_H_
#define VARNHOLT_STORES_JET_TABLE_DEFINITION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "stores/jet/page_reader.h"

namespace varnholt {

struct JetColumn {
  std::string name;        // UTF-8
  uint8_t type = 0;        // jet_format::kType...
  unsigned number = 0;     // the row's null-mask bit; columns are listed in this order
  unsigned var_index = 0;  // variable columns: the entry in the row's offset table
  bool fixed = false;
  unsigned fixed_offset = 0;  // fixed columns: from the end of the row's column count
  unsigned length = 0;        // stored bytes of a fixed column; Text: characters x 2 (Jet 4)
  unsigned scale = 0;         // Decimal: digits after the point
};

struct JetTableDefinition {
  uint32_t page = 0;
  uint32_t row_count = 0;  // as last recorded; a file closed badly may say 0
  unsigned var_column_count = 0;
  uint32_t owned_pages_map = 0;    // page << 8 | row of the usage-map row
  std::vector<JetColumn> columns;  // by number
};

// Reads the definition starting at page `page`, following continuation pages. Throws
// JetFormatError when a page is not a table definition or the definition runs past its pages.
JetTableDefinition ReadTableDefinition(const JetPageReader& pages, uint32_t page);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_TABLE_DEFINITION_H_
