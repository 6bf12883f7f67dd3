#include "tools/jetwriter/catalog.h"

#include "stores/jet/jet_format.h"

namespace varnholt::jet {

namespace {

// Object ids of the containers; a table's id is the page of its definition.
constexpr int64_t kRootContainerId = 0x0F000000;
constexpr int64_t kTablesContainerId = 0x0F000001;
constexpr int64_t kDatabasesContainerId = 0x0F000002;
constexpr int64_t kRelationshipsContainerId = 0x0F000003;

// Object types.
constexpr int64_t kObjectTable = 1;
constexpr int64_t kObjectContainer = 3;

// Flags: system objects carry the top bit; readers list a table as a user table when clear.
constexpr int64_t kFlagsSystem = static_cast<int32_t>(0x80000000u);
constexpr int64_t kFlagsUser = 0;

// An empty property list. A NULL here makes some readers follow a bogus long-value pointer.
const std::string kEmptyProperties("MR2\0", 4);

}  // namespace

TableLayout CatalogLayout() {
  const std::vector<ColumnShape> columns = {
      {"Id", StoredType::kLong, 0},
      {"ParentId", StoredType::kLong, 0},
      {"Name", StoredType::kText, 255},
      {"Type", StoredType::kInteger, 0},
      {"DateCreate", StoredType::kDateTime, 0},
      {"DateUpdate", StoredType::kDateTime, 0},
      {"Owner", StoredType::kBinary, 255},
      {"Flags", StoredType::kLong, 0},
      {"Database", StoredType::kMemo, 0},
      {"Connect", StoredType::kMemo, 0},
      {"ForeignName", StoredType::kText, 255},
      {"RmtInfoShort", StoredType::kBinary, 255},
      {"RmtInfoLong", StoredType::kOle, 0},
      {"Lv", StoredType::kOle, 0},
      {"LvProp", StoredType::kOle, 0},
      {"LvModule", StoredType::kOle, 0},
      {"LvExtra", StoredType::kOle, 0},
  };
  return MakeTableLayout(kCatalogTableName, columns, /*system=*/true);
}

std::vector<std::vector<Cell>> CatalogRows(const std::vector<CatalogTable>& tables,
                                           DateTime created) {
  auto row = [&](int64_t id, int64_t parent, const std::string& name, int64_t type, int64_t flags,
                 Cell properties) {
    std::vector<Cell> cells(17);
    cells[0] = id;
    cells[1] = parent;
    cells[2] = name;
    cells[3] = type;
    cells[4] = created;
    cells[5] = created;
    cells[7] = flags;
    cells[14] = std::move(properties);
    return cells;
  };
  std::vector<std::vector<Cell>> rows;
  rows.push_back(row(kTablesContainerId, kRootContainerId, "Tables", kObjectContainer,
                     kFlagsSystem, {}));
  rows.push_back(row(kDatabasesContainerId, kRootContainerId, "Databases", kObjectContainer,
                     kFlagsSystem, {}));
  rows.push_back(row(kRelationshipsContainerId, kRootContainerId, "Relationships",
                     kObjectContainer, kFlagsSystem, {}));
  rows.push_back(row(jet_format::kCatalogDefinitionPage, kTablesContainerId, kCatalogTableName,
                     kObjectTable, kFlagsSystem, {}));
  for (const CatalogTable& t : tables) {
    rows.push_back(row(t.definition_page, kTablesContainerId, t.name, kObjectTable, kFlagsUser,
                       kEmptyProperties));
  }
  return rows;
}

}  // namespace varnholt::jet
