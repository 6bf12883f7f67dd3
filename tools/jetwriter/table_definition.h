// Table definitions (TDEF): the table header, one descriptor per column and the column names.
// A definition longer than a page continues on further pages, linked from each page's header.
#ifndef VARNHOLT_TOOLS_JETWRITER_TABLE_DEFINITION_H_
#define VARNHOLT_TOOLS_JETWRITER_TABLE_DEFINITION_H_

#include <cstdint>
#include <vector>

#include "tools/jetwriter/page_file.h"
#include "tools/jetwriter/table_layout.h"

namespace varnholt::jet {

// The definition as one byte run, as if pages had no limit. owned_map and free_map are
// page << 8 | row pointers to usage-map rows.
std::vector<uint8_t> BuildTableDefinition(const TableLayout& layout, uint32_t num_rows,
                                          uint32_t owned_map, uint32_t free_map);

// Writes the definition at first_page, allocating continuation pages from file as needed.
void WriteTableDefinition(PageFile& file, uint32_t first_page, const std::vector<uint8_t>& tdef);

}  // namespace varnholt::jet

#endif  // VARNHOLT_TOOLS_JETWRITER_TABLE_DEFINITION_H_
