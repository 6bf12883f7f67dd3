// What the Jet reader's unit tests share: a database our Jet writer wrote, its bytes in memory to
// damage, a page reader over them, and a table's definition found through the catalog.
#ifndef VARNHOLT_TESTS_JET_JET_UNIT_FILES_H_
#define VARNHOLT_TESTS_JET_JET_UNIT_FILES_H_

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/byte_coding.h"
#include "stores/jet/catalog.h"
#include "stores/jet/file_image.h"
#include "stores/jet/jet_format.h"
#include "stores/jet/page_reader.h"
#include "stores/jet/table_definition.h"
#include "tests/support/scratch_folder.h"
#include "tools/jetwriter/jet_writer.h"

namespace varnholt::testing {

// A database of `tables` written by our Jet writer; its bytes stay in memory for the test to
// damage, the file is removed at once.
class JetFile {
 public:
  explicit JetFile(const std::vector<jet::TableData>& tables) {
    const std::filesystem::path folder = MakeScratchFolder("jet_unit_");
    const std::string path = (folder / "unit.mdb").string();
    jet::WriteDatabase(path, tables);
    bytes = *CopyFileImage(path).bytes;
    std::filesystem::remove_all(folder);
  }

  size_t PageStart(uint32_t page) const { return static_cast<size_t>(page) * jet_format::kJet4Format.page_size; }
  // A reader over the bytes as they are now (the writer never encodes pages).
  JetPageReader Pages() const {
    return JetPageReader(std::make_shared<const std::vector<uint8_t>>(bytes), jet_format::kJet4Format, 0);
  }
  uint32_t DefinitionPage(const std::string& table) const {
    for (const JetCatalogEntry& entry : ReadJetCatalog(Pages())) {
      if (entry.name == table) return entry.definition_page;
    }
    throw std::logic_error("no table " + table);
  }
  JetTableDefinition Definition(const std::string& table) const {
    return ReadTableDefinition(Pages(), DefinitionPage(table));
  }
  void Put16(size_t at, uint16_t v) { PutLe16(bytes.data() + at, v); }
  void Put32(size_t at, uint32_t v) { PutLe32(bytes.data() + at, v); }

  std::vector<uint8_t> bytes;
};

}  // namespace varnholt::testing

#endif  // VARNHOLT_TESTS_JET_JET_UNIT_FILES_H_
