// Usage maps: the row a table definition points to that names the pages the table owns, either
// inline (a first page and a bitmap) or through bitmap pages.
#ifndef VARNHOLT_STORES_JET_USAGE_MAP_H_
#define VARNHOLT_STORES_JET_USAGE_MAP_H_

#include <cstdint>
#include <span>
#include <vector>

#include "stores/jet/page_reader.h"

namespace varnholt {

// The pages `map` (a usage-map row) names, ascending, page 0 left out. Throws JetFormatError for
// a map of unknown type, one too short for its type, or one naming a page past the end of the file
// (a file cut short would otherwise read as one that lacks those rows).
std::vector<uint32_t> ReadUsageMap(std::span<const uint8_t> map, const JetPageReader& pages);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_USAGE_MAP_H_
