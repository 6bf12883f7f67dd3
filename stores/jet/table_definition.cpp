#include "stores/jet/table_definition.h"

#include <algorithm>
#include <unordered_set>

#include "stores/jet/jet_error.h"
#include "stores/jet/jet_text.h"

namespace varnholt {

using namespace jet_format;

namespace {

// The definition's bytes as one run: the first page whole, then each continuation page after its
// header.
std::vector<uint8_t> DefinitionBytes(const JetPageReader& pages, uint32_t first) {
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> page;
  std::unordered_set<uint32_t> seen;
  for (uint32_t number = first; number != 0;) {
    if (!seen.insert(number).second) throw JetFormatError("a table definition's pages form a loop");
    pages.Read(number, &page);
    if (page[0] != kPageTableDefinition) {
      throw JetFormatError("page " + std::to_string(number) + " is not a table definition");
    }
    bytes.insert(bytes.end(), page.begin() + (bytes.empty() ? 0 : kTdefContinuationData), page.end());
    number = GetLe32(page.data() + kTdefNextPage);
  }
  return bytes;
}

class Cursor {
 public:
  explicit Cursor(const std::vector<uint8_t>& bytes, size_t at) : bytes_(bytes), at_(at) {}
  const uint8_t* Take(size_t size) {
    if (at_ > bytes_.size() || bytes_.size() - at_ < size) throw JetFormatError("a table definition is cut short");
    const uint8_t* p = bytes_.data() + at_;
    at_ += size;
    return p;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_;
};

}  // namespace

JetTableDefinition ReadTableDefinition(const JetPageReader& pages, uint32_t page) {
  const Format& f = pages.Format();
  // Page 0 is the file header; a catalog naming it names no definition.
  if (page == 0) throw JetFormatError("a table definition is said to be on the header page");
  const std::vector<uint8_t> bytes = DefinitionBytes(pages, page);
  JetTableDefinition table;
  table.page = page;
  const uint8_t* head = bytes.data();
  table.row_count = GetLe32(head + f.tdef_num_rows);
  table.var_column_count = GetLe16(head + f.tdef_num_var_cols);
  const unsigned column_count = GetLe16(head + f.tdef_num_cols);
  const uint64_t real_indexes = GetLe32(head + f.tdef_num_real_indexes);
  table.owned_pages_map = GetLe32(head + f.tdef_owned_map);
  if (real_indexes > bytes.size()) throw JetFormatError("a table definition is cut short");

  Cursor cursor(bytes, f.tdef_columns + static_cast<size_t>(real_indexes) * f.real_index_entry);
  table.columns.resize(column_count);
  for (JetColumn& column : table.columns) {
    const uint8_t* d = cursor.Take(f.column_entry);
    column.type = d[f.col_type];
    column.number = GetLe16(d + f.col_number);
    column.var_index = GetLe16(d + f.col_var_index);
    column.fixed = (d[f.col_flags] & kColumnFixed) != 0;
    column.fixed_offset = GetLe16(d + f.col_fixed_offset);
    column.length = column.type == kTypeBoolean ? 0 : GetLe16(d + f.col_length);
    column.scale = d[f.col_scale];
  }
  std::vector<uint16_t> units;
  for (JetColumn& column : table.columns) {
    const uint8_t* size_bytes = cursor.Take(f.name_length_size);
    const size_t size = f.jet4 ? GetLe16(size_bytes) : size_bytes[0];
    const uint8_t* name = cursor.Take(size);
    if (f.jet4) {
      AppendJet4Text(name, size, &units, &column.name);
    } else {
      AppendJet3Text(name, size, &column.name);
    }
  }
  std::stable_sort(table.columns.begin(), table.columns.end(),
                   [](const JetColumn& a, const JetColumn& b) { return a.number < b.number; });
  return table;
}

}  // namespace varnholt
