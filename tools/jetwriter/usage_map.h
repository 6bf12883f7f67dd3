// Usage maps: the row a table definition points to that says which pages hold the table's rows.
// Readers scan a table by walking its map, so it names the data pages and nothing else.
#ifndef VARNHOLT_TOOLS_JETWRITER_USAGE_MAP_H_
#define VARNHOLT_TOOLS_JETWRITER_USAGE_MAP_H_

#include <cstdint>
#include <span>
#include <vector>

#include "tools/jetwriter/page_file.h"

namespace varnholt::jet {

// The map row for pages (ascending, may be empty). Pages spanning fewer than 512 page numbers get
// an inline map (type 0: start page and a 64-byte bitmap); wider spans an indirect map (type 1:
// pointers to bitmap pages, each covering 32,736 pages), whose bitmap pages are allocated from
// file and written here.
std::vector<uint8_t> BuildUsageMap(std::span<const uint32_t> pages, PageFile& file);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_USAGE_MAP_H_
