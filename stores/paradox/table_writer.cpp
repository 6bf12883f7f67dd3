// Table::Create: a new, empty table family as Paradox 7 creates it: the .DB header alone (no
// blocks) and, for a keyed table, a .PX header with an empty tree.
#include <cstdio>
#include <ctime>
#include <set>

#include "base/ascii.h"
#include "base/os/folder.h"
#include "stores/paradox/engine_files.h"
#include "base/path_text.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/header.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

namespace {

constexpr int kDefaultBlockSize = 2048;
constexpr int kMaxBlockSize = 32 * 1024;
constexpr size_t kMaxFieldName = 25;  // Paradox field names are at most 25 characters

void CheckSchema(const std::string& path, TableSchema* schema) {
  auto fail = [&](const std::string& what) { throw EngineError(path + ": " + what); };
  if (schema->fields.empty() || schema->fields.size() > 255) fail("a table needs 1 to 255 fields");
  if (schema->key_field_count < 0 ||
      schema->key_field_count > static_cast<int>(schema->fields.size())) {
    fail("more key fields than fields");
  }
  if (schema->sort_order.empty()) fail("no sort order");
  std::set<std::string> names;
  for (auto& f : schema->fields) {
    if (f.name.empty() || f.name.size() > kMaxFieldName) fail("field name '" + f.name + "' is not 1 to 25 characters");
    if (!names.insert(AsciiUpper(f.name)).second) fail("field '" + f.name + "' appears twice");
    switch (f.type) {
      case FieldType::kDate:
      case FieldType::kLong:
      case FieldType::kTime:
      case FieldType::kAutoIncrement:
        f.size = 4;
        break;
      case FieldType::kShort:
        f.size = 2;
        break;
      case FieldType::kMoney:
      case FieldType::kNumber:
      case FieldType::kTimestamp:
        f.size = 8;
        break;
      case FieldType::kLogical:
        f.size = 1;
        break;
      case FieldType::kAlpha:
      case FieldType::kBytes:
        if (f.size < 1 || f.size > 255) fail("field '" + f.name + "' needs a size of 1 to 255");
        break;
      case FieldType::kBcd:
        if (f.size < 0 || f.size > 32) fail("field '" + f.name + "' needs 0 to 32 decimals");
        break;
      default:
        if (f.size < 11 || f.size > 250) fail("field '" + f.name + "' needs a size of 11 to 250");
        break;
    }
  }
}

int ChooseBlockSize(const std::string& path, const TableSchema& schema, int record_size) {
  const int wanted = schema.block_size;
  if (wanted != 0) {
    if (wanted % 1024 != 0 || wanted < 1024 || wanted > kMaxBlockSize) {
      throw EngineError(path + ": block size must be 1 to 32 KiB");
    }
    if ((wanted - 6) / record_size < 2) {
      throw EngineError(path + ": a block of " + std::to_string(wanted) +
                        " bytes holds fewer than two records");
    }
    return wanted;
  }
  // Two records per block at least, so that a full block can split.
  for (int size = kDefaultBlockSize; size <= kMaxBlockSize; size *= 2) {
    if ((size - 6) / record_size >= 2) return size;
  }
  throw EngineError(path + ": the record is too long for a Paradox table");
}

}  // namespace

void Table::Create(const std::string& db_path, const TableSchema& given) {
  TableSchema schema = given;
  CheckSchema(db_path, &schema);
  try {
    CodePage check(schema.code_page);
  } catch (const StoreError& e) {
    throw EngineError(db_path + ": " + e.what());
  }
  if (FileExists(db_path)) throw EngineError(db_path + ": the table already exists");
  int record_size = 0;
  for (const auto& f : schema.fields) record_size += StoredSize(f);
  const int block_size = ChooseBlockSize(db_path, schema, record_size);
  const std::string file_name = AsciiUpper(NameOfPath(db_path));
  Header data = BuildDataHeader(schema, block_size, file_name,
                                static_cast<uint32_t>(std::time(nullptr)));
  if (schema.key_field_count > 0) {
    const std::string extension = ExtensionOfName(NameOfPath(db_path));
    const std::string px = db_path.substr(0, db_path.size() - extension.size()) + (extension == ".db" ? ".px" : ".PX");
    Header index = BuildPrimaryIndexHeader(data, AsciiUpper(NameOfPath(px)));
    os::RemoveIfPresent(px);  // an index left without its table by an interrupted create
    OsFile f = OsFile::Create(px);
    f.WriteAt(0, index.raw.data(), index.raw.size());
  }
  // The .DB appears complete or not at all.
  const std::string temp = db_path + ".new~";
  os::RemoveIfPresent(temp);
  {
    OsFile f = OsFile::Create(temp);
    f.WriteAt(0, data.raw.data(), data.raw.size());
  }
  try {
    os::RenamePath(temp, db_path);
  } catch (const EngineError&) {
    os::RemoveIfPresent(temp);
    throw EngineError(db_path + ": cannot create the table");
  }
}

}  // namespace varnholt::paradox
