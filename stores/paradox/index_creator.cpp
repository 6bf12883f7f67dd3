#include "stores/paradox/index_creator.h"

#include <cstring>

#include "base/ascii.h"
#include "stores/paradox/engine_files.h"
#include "base/path_text.h"
#include "base/byte_coding.h"
#include "stores/paradox/header.h"
#include "stores/paradox/secondary_index_layout.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

namespace {

std::string Hex2(int n) {
  static const char kDigits[] = "0123456789ABCDEF";
  return std::string{kDigits[(n >> 4) & 15], kDigits[n & 15]};
}

}  // namespace

void CreateSecondaryIndex(const std::string& db_path, const IndexDefinition& definition) {
  auto fail = [&](const std::string& what) { throw EngineError(db_path + ": " + what); };
  const std::vector<uint8_t> bytes = OsFile::Open(db_path, false).ReadAll();
  const Header db = ParseHeader(bytes, db_path);
  if (db.file_type != kFileTypeKeyedDb) fail("a secondary index needs a keyed table");
  if (db.version != kVersion70) fail("secondary indexes are made here for Paradox 7 tables only");
  if (db.num_records != 0) fail("secondary indexes are made here for tables without rows only");
  if (definition.fields.empty()) fail("an index needs a field");
  std::vector<int> numbers;
  for (const std::string& name : definition.fields) {
    int found = -1;
    for (size_t i = 0; i < db.fields.size(); ++i) {
      if (AsciiUpper(db.fields[i].name) == AsciiUpper(name)) found = static_cast<int>(i);
    }
    if (found < 0) fail("no field '" + name + "' to index");
    switch (db.fields[found].type) {
      case FieldType::kMemo: case FieldType::kBlob: case FieldType::kFormattedMemo:
      case FieldType::kOle: case FieldType::kGraphic:
        fail("field '" + name + "' is a memo or blob, which cannot be indexed");
      default:
        break;
    }
    numbers.push_back(found + 1);
  }
  std::vector<bool> down(numbers.size(), false);
  for (const std::string& name : definition.descending) {
    bool found = false;
    for (size_t i = 0; i < definition.fields.size(); ++i) {
      if (AsciiUpper(definition.fields[i]) == AsciiUpper(name)) found = down[i] = true;
    }
    if (!found) fail("the descending field '" + name + "' is not one the index holds");
  }
  const bool composite = numbers.size() > 1 || definition.case_insensitive || definition.unique ||
                         !definition.descending.empty() || !definition.name.empty();
  if (composite && definition.name.empty()) {
    fail("a composite, case-insensitive, descending or unique index needs a name");
  }

  const std::string db_extension = ExtensionOfName(NameOfPath(db_path));
  const std::string stem_path = db_path.substr(0, db_path.size() - db_extension.size());
  const bool lower = db_extension == ".db";
  auto with_extension = [&](const std::string& extension) { return stem_path + "." + extension; };
  std::string ext;
  if (composite) {
    for (int n = 0; n < kMaxCompositeIndexes && ext.empty(); ++n) {
      const std::string candidate = "XG" + Hex2(n).substr(1);
      if (!FileExists(with_extension(AsciiLower(candidate))) && !FileExists(with_extension(candidate))) ext = candidate;
    }
    if (ext.empty()) fail("the table has no room for another named index");
  } else {
    ext = "X" + Hex2(numbers[0]);
  }
  std::string y_ext = ext;
  y_ext[0] = 'Y';
  const std::string x_path = with_extension(lower ? AsciiLower(ext) : ext);
  const std::string y_path = with_extension(lower ? AsciiLower(y_ext) : y_ext);
  if (FileExists(x_path)) fail("the index " + NameOfPath(x_path) + " exists");

  // The X file: a keyed table of the indexed fields, the primary key and the block number.
  TableSchema x;
  for (int n : numbers) x.fields.push_back(db.fields[n - 1]);
  for (int i = 0; i < db.key_field_count; ++i) x.fields.push_back(db.fields[i]);
  x.fields.push_back(Field{kBlockNumberField, FieldType::kShort, kBlockHintSize});
  x.key_field_count = static_cast<int>(x.fields.size()) - 1;
  x.code_page = db.code_page;
  x.sort_order = db.sort_order;
  Header xh = BuildDataHeader(x, db.block_size, AsciiUpper(NameOfPath(x_path)),
                              GetLe32(db.raw.data() + kHeaderFileUpdateTime));
  uint8_t* b = xh.raw.data();
  xh.file_type = composite ? kFileTypeMaintainedComposite : kFileTypeMaintainedSecondary;
  b[kHeaderFileType] = xh.file_type;
  b[kXIndexFieldNumber] = static_cast<uint8_t>(numbers[0]);
  b[kHeaderIndexStamp] = kXUnknown2C;
  b[kHeaderChangeCount2] = db.raw[kHeaderChangeCount2];
  const int k = StampOffsetForSortOrder(db.sort_order_byte, db.sort_order);
  b[kHeaderSecondaryStamp] = IndexStamp(db.change_count1, k);
  b[kXIndexFlags] = static_cast<uint8_t>((definition.case_insensitive ? kXFlagCaseInsensitive : 0) |
                                         (definition.descending.empty() ? 0 : kXFlagDescending) |
                                         (definition.unique ? kXFlagUnique : 0));
  const size_t numbers_at = kHeaderExtendedOffsetBase + GetLe16(b + kHeaderFieldNumbersOffset);
  for (size_t i = 0; i < numbers.size(); ++i) {
    PutLe16(b + numbers_at + 2 * i,
           static_cast<uint16_t>(numbers[i] | (down[i] ? kFieldNumberDescending : 0)));
  }
  if (composite) {
    // The name follows the sort order's name; the used header grows by it.
    const size_t name_at = kHeaderExtendedOffsetBase + GetLe16(b + kHeaderSortNameOffset) + x.sort_order.size() + 1;
    if (name_at + definition.name.size() + 1 > xh.raw.size()) fail("the index name is too long");
    std::memcpy(b + name_at, definition.name.data(), definition.name.size());
    PutLe16(b + kXIndexNameOffset, static_cast<uint16_t>(name_at - kHeaderExtendedOffsetBase));
    PutLe16(b + kHeaderRealHeaderSize, static_cast<uint16_t>(name_at + definition.name.size() + 1));
  }
  // The Y file: a primary index over the X file's blocks, stamped with the X file's counter.
  Header yh = BuildPrimaryIndexHeader(xh, AsciiUpper(NameOfPath(y_path)));
  yh.file_type = composite ? kFileTypeCompositeIndex : kFileTypeSecondaryIndex;
  yh.raw[kHeaderFileType] = yh.file_type;
  // The Y first: an X file found alone is one the engine refuses, never one it trusts.
  {
    OsFile f = OsFile::Create(y_path);
    f.WriteAt(0, yh.raw.data(), yh.raw.size());
    f.SyncData();
  }
  OsFile f = OsFile::Create(x_path);
  f.WriteAt(0, xh.raw.data(), xh.raw.size());
  f.SyncData();
}

}  // namespace varnholt::paradox
