// The system catalog (MSysObjects, whose definition is always on page 2): one row per object.
// The reader keeps the tables, in catalog order.
#ifndef VARNHOLT_STORES_JET_CATALOG_H_
#define VARNHOLT_STORES_JET_CATALOG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "stores/jet/page_reader.h"

namespace varnholt {

struct JetCatalogEntry {
  std::string name;  // UTF-8
  uint32_t flags = 0;
  uint32_t definition_page = 0;
  // System tables (MSys...) and hidden ones carry these flags; the rest are the user's tables.
  bool IsUserTable() const { return (flags & kSystemFlags) == 0; }
  static constexpr uint32_t kSystemFlags = 0x80000002;
};

// The catalog's tables (object type 1). Throws JetFormatError when the catalog cannot be read or
// lacks one of the columns Id, Name, Type and Flags.
std::vector<JetCatalogEntry> ReadJetCatalog(const JetPageReader& pages);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_CATALOG_H_
