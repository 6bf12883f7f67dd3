// The system catalog (MSysObjects): the table readers start from, at the fixed definition page 2.
// It lists the containers Access expects, itself, and one row per user table naming the page of
// that table's definition.
#ifndef VARNHOLT_TOOLS_JETWRITER_CATALOG_H_
#define VARNHOLT_TOOLS_JETWRITER_CATALOG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tools/jetwriter/jet_writer.h"
#include "tools/jetwriter/table_layout.h"

namespace varnholt::jet {

inline constexpr char kCatalogTableName[] = "MSysObjects";

struct CatalogTable {
  std::string name;
  uint32_t definition_page;
};

TableLayout CatalogLayout();

// The catalog's rows, in the column order of CatalogLayout().
std::vector<std::vector<Cell>> CatalogRows(const std::vector<CatalogTable>& tables,
                                           DateTime created);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_CATALOG_H_
