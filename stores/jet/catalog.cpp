#include "stores/jet/catalog.h"

#include <optional>

#include "base/ascii.h"
#include "stores/jet/jet_error.h"
#include "stores/jet/jet_text.h"
#include "stores/jet/long_value_reader.h"
#include "stores/jet/table_scan.h"

namespace varnholt {

using namespace jet_format;

namespace {

constexpr int kObjectTable = 1;
// Object ids of tables are their definition page; the top byte holds flags.
constexpr uint32_t kIdPageMask = 0x00FFFFFF;

size_t FindColumn(const JetTableDefinition& table, const char* name) {
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (EqualsIgnoringAsciiCase(table.columns[i].name, name)) return i;
  }
  throw JetFormatError(std::string("the catalog has no column ") + name);
}

// A whole number of any integer column; 0 when null.
int64_t Integer(const JetColumn& column, std::span<const uint8_t> row, const JetField& field) {
  if (field.is_null) return 0;
  const uint8_t* p = row.data() + field.start;
  switch (column.type) {
    case kTypeByte:
      return field.size >= 1 ? p[0] : 0;
    case kTypeInteger:
      return field.size >= 2 ? static_cast<int16_t>(GetLe16(p)) : 0;
    case kTypeLong:
      return field.size >= 4 ? GetLe32(p) : 0;
    default:
      return 0;
  }
}

}  // namespace

std::vector<JetCatalogEntry> ReadJetCatalog(const JetPageReader& pages) {
  const JetTableDefinition table = ReadTableDefinition(pages, kCatalogDefinitionPage);
  const size_t id = FindColumn(table, "Id");
  const size_t name = FindColumn(table, "Name");
  const size_t type = FindColumn(table, "Type");
  const size_t flags = FindColumn(table, "Flags");
  std::vector<JetCatalogEntry> entries;
  std::vector<uint16_t> units;
  std::vector<uint8_t> long_value;
  JetLongValueReader long_values(pages);
  ScanJetTable(pages, table, [&](std::span<const uint8_t> row, const std::vector<JetField>& fields) {
    if (Integer(table.columns[type], row, fields[type]) != kObjectTable) return;
    JetCatalogEntry entry;
    entry.definition_page = static_cast<uint32_t>(Integer(table.columns[id], row, fields[id])) & kIdPageMask;
    entry.flags = static_cast<uint32_t>(Integer(table.columns[flags], row, fields[flags]));
    const JetField& text = fields[name];
    if (!text.is_null) {
      std::span<const uint8_t> bytes = row.subspan(text.start, text.size);
      if (table.columns[name].type == kTypeMemo) {
        long_values.Read(bytes, &long_value);
        bytes = long_value;
      }
      if (pages.Format().jet4) {
        AppendJet4Text(bytes.data(), bytes.size(), &units, &entry.name);
      } else {
        AppendJet3Text(bytes.data(), bytes.size(), &entry.name);
      }
    }
    entries.push_back(std::move(entry));
  });
  return entries;
}

}  // namespace varnholt
