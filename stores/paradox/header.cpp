#include "stores/paradox/header.h"

#include <algorithm>
#include <cstring>

namespace varnholt::paradox {

namespace {

bool IsIndexFile(uint8_t file_type) {
  return file_type == kFileTypePrimaryIndex || file_type == kFileTypeSecondaryIndex ||
         file_type == kFileTypeCompositeIndex;
}

bool HasExtendedPart(uint8_t file_type, uint8_t version) {
  return !IsIndexFile(file_type) && version >= kFirstExtendedVersion;
}

size_t TableNameArea(uint8_t version) {
  return version >= kVersion70 ? kTableNameArea7 : kTableNameAreaOld;
}

// Size a field of a fixed-size type must have; 0 when the type's size varies.
int FixedSize(FieldType type) {
  switch (type) {
    case FieldType::kDate:
    case FieldType::kLong:
    case FieldType::kTime:
    case FieldType::kAutoIncrement:
      return 4;
    case FieldType::kShort:
      return 2;
    case FieldType::kMoney:
    case FieldType::kNumber:
    case FieldType::kTimestamp:
      return 8;
    case FieldType::kLogical:
      return 1;
    default:
      return 0;
  }
}

bool KnownType(uint8_t code) {
  switch (static_cast<FieldType>(code)) {
    case FieldType::kAlpha:
    case FieldType::kDate:
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kMoney:
    case FieldType::kNumber:
    case FieldType::kLogical:
    case FieldType::kMemo:
    case FieldType::kBlob:
    case FieldType::kFormattedMemo:
    case FieldType::kOle:
    case FieldType::kGraphic:
    case FieldType::kTime:
    case FieldType::kTimestamp:
    case FieldType::kAutoIncrement:
    case FieldType::kBcd:
    case FieldType::kBytes:
      return true;
  }
  return false;
}

bool SizeValid(FieldType type, int size) {
  if (int fixed = FixedSize(type)) return size == fixed;
  switch (type) {
    case FieldType::kAlpha:
    case FieldType::kBytes:
      return size >= 1 && size <= 255;
    case FieldType::kBcd:
      return size >= 0 && size <= 32;
    default:  // memo and blob kinds: leader plus a 10-byte tail
      return size >= 10 && size <= 255;
  }
}

}  // namespace

int StoredSize(const Field& field) {
  return field.type == FieldType::kBcd ? kBcdStoredSize : field.size;
}

namespace {

// Reads a header's parts in their order; every fault throws EngineError naming the file.
class HeaderParser {
 public:
  HeaderParser(const std::vector<uint8_t>& file, const std::string& path)
      : file_(file), b_(file.data()), path_(path) {}

  Header Parse() {
    ReadFixedPart();
    ReadFieldTypes();
    if (!SkipNameAreas()) return h_;  // index files name no fields
    ReadNames();
    return h_;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw EngineError(path_ + ": " + what); }
  void Need(size_t bytes, const char* what) const {
    if (off_ + bytes > h_.header_size) Fail(std::string("damaged header (") + what + " runs past it)");
  }
  void ReadFixedPart();
  void ReadCounters();
  void ReadFieldTypes();
  // Skips the name pointers and the table name; false for an index file, whose header ends there.
  bool SkipNameAreas();
  void ReadNames();

  const std::vector<uint8_t>& file_;
  const uint8_t* b_;
  const std::string& path_;
  Header h_;
  int num_fields_ = 0;
  bool index_file_ = false;
  bool extended_ = false;
  size_t off_ = 0;
};

void HeaderParser::ReadFixedPart() {
  if (file_.size() < kHeaderFixedSize) {
    Fail("not a Paradox table (the file is too short to hold a header)");
  }
  h_.record_size = GetLe16(b_ + kHeaderRecordSize);
  h_.header_size = GetLe16(b_ + kHeaderHeaderSize);
  h_.file_type = b_[kHeaderFileType];
  h_.version = b_[kHeaderFileVersion];
  const int max_table_size = b_[kHeaderMaxTableSize];
  if (h_.file_type > kFileTypeMaintainedComposite) {
    Fail("not a Paradox table (unknown file type " + std::to_string(h_.file_type) + ")");
  }
  if (h_.version < kVersion30 || h_.version > kVersion70) {
    Fail("not a Paradox table (unknown file version " + std::to_string(h_.version) + ")");
  }
  if (max_table_size < 1 || max_table_size > 32) {
    Fail("not a Paradox table (block size " + std::to_string(max_table_size) + " KiB)");
  }
  h_.block_size = max_table_size * 1024;
  if (h_.header_size < kHeaderFixedSize) {
    Fail("not a Paradox table (header size " + std::to_string(h_.header_size) + ")");
  }
  if (h_.header_size > file_.size()) {
    Fail("the file is truncated (it ends inside its " + std::to_string(h_.header_size) +
         "-byte header)");
  }
  h_.raw.assign(file_.begin(), file_.begin() + h_.header_size);
  ReadCounters();

  index_file_ = IsIndexFile(h_.file_type);
  extended_ = HasExtendedPart(h_.file_type, h_.version);
  num_fields_ = GetLe16(b_ + kHeaderNumFields);
  if (num_fields_ < 1 || num_fields_ > 1024) {
    Fail("damaged header (" + std::to_string(num_fields_) + " fields)");
  }
  if (h_.key_field_count > num_fields_) Fail("damaged header (more key fields than fields)");
  if (extended_ && h_.header_size < kHeaderExtendedEnd) {
    Fail("damaged header (" + std::to_string(h_.header_size) + " bytes, too short for its version)");
  }
  // Index files and tables before 4.0 keep the checksum at 0x25; later tables put a marker there.
  h_.password_checksum = GetLe32(b_ + kHeaderEncryption1);
  if (extended_) {
    h_.code_page = GetLe16(b_ + kHeaderCodePage);
    h_.password_checksum = GetLe32(b_ + kHeaderEncryption2);
  }
  off_ = extended_ ? kHeaderExtendedEnd : kHeaderFixedSize;
}

void HeaderParser::ReadCounters() {
  h_.num_records = GetLe32(b_ + kHeaderNumRecords);
  h_.blocks_in_use = GetLe16(b_ + kHeaderBlocksInUse);
  h_.file_blocks = GetLe16(b_ + kHeaderFileBlocks);
  h_.first_block = GetLe16(b_ + kHeaderFirstBlock);
  h_.last_block = GetLe16(b_ + kHeaderLastBlock);
  h_.first_free_block = GetLe16(b_ + kHeaderFirstFreeBlock);
  h_.index_root = GetLe16(b_ + kHeaderIndexRoot);
  h_.index_levels = b_[kHeaderIndexLevels];
  h_.key_field_count = GetLe16(b_ + kHeaderKeyFields);
  h_.sort_order_byte = b_[kHeaderSortOrder];
  h_.change_count1 = b_[kHeaderChangeCount1];
  h_.index_stamp = b_[kHeaderIndexStamp];
  h_.auto_inc = GetLe32(b_ + kHeaderAutoInc);
}

void HeaderParser::ReadFieldTypes() {
  Need(2 * static_cast<size_t>(num_fields_), "field list");
  int total = 0;
  for (int i = 0; i < num_fields_; ++i) {
    const uint8_t code = b_[off_ + 2 * i];
    const int size = b_[off_ + 2 * i + 1];
    if (!KnownType(code)) {
      Fail("damaged header (field " + std::to_string(i + 1) + " has unknown type " +
           std::to_string(code) + ")");
    }
    Field f{std::string(), static_cast<FieldType>(code), size};
    if (!SizeValid(f.type, size)) {
      Fail("damaged header (field " + std::to_string(i + 1) + " has impossible size " +
           std::to_string(size) + ")");
    }
    total += StoredSize(f);
    h_.fields.push_back(std::move(f));
  }
  off_ += 2 * static_cast<size_t>(num_fields_);
  if (total + (index_file_ ? 6 : 0) != h_.record_size) {
    Fail("damaged header (record size " + std::to_string(h_.record_size) +
         " does not match its fields, " + std::to_string(total) + " bytes)");
  }
  if (h_.record_size + 6 > h_.block_size) Fail("damaged header (record larger than a block)");
}

bool HeaderParser::SkipNameAreas() {
  Need(4, "table name pointer");
  off_ += 4;
  if (!index_file_) {
    Need(4 * static_cast<size_t>(num_fields_), "field name pointers");
    off_ += 4 * static_cast<size_t>(num_fields_);
  }
  Need(TableNameArea(h_.version), "table name");
  off_ += TableNameArea(h_.version);
  return !index_file_;
}

void HeaderParser::ReadNames() {
  for (auto& f : h_.fields) {
    const void* end = std::memchr(b_ + off_, 0, h_.header_size - off_);
    if (end == nullptr) Fail("damaged header (field names run past it)");
    const size_t len = static_cast<const uint8_t*>(end) - (b_ + off_);
    f.name.assign(reinterpret_cast<const char*>(b_ + off_), len);
    off_ += len + 1;
  }
  if (extended_) {
    Need(2 * static_cast<size_t>(num_fields_), "field numbers");
    off_ += 2 * static_cast<size_t>(num_fields_);
    const void* end = std::memchr(b_ + off_, 0, h_.header_size - off_);
    if (end == nullptr) Fail("damaged header (sort order name runs past it)");
    h_.sort_order.assign(reinterpret_cast<const char*>(b_ + off_),
                         static_cast<const uint8_t*>(end) - (b_ + off_));
  }
}

}  // namespace

Header ParseHeader(const std::vector<uint8_t>& file, const std::string& path) {
  return HeaderParser(file, path).Parse();
}

void StoreCounters(Header* h) {
  uint8_t* b = h->raw.data();
  PutLe32(b + kHeaderNumRecords, h->num_records);
  PutLe16(b + kHeaderBlocksInUse, h->blocks_in_use);
  PutLe16(b + kHeaderFileBlocks, h->file_blocks);
  PutLe16(b + kHeaderMaxBlocks, h->file_blocks);
  PutLe16(b + kHeaderFirstBlock, h->first_block);
  PutLe16(b + kHeaderLastBlock, h->last_block);
  if (IsIndexFile(h->file_type)) {
    PutLe16(b + kHeaderIndexRoot, h->index_root);
    b[kHeaderIndexLevels] = h->index_levels;
    b[kHeaderIndexStamp] = h->index_stamp;
  } else {
    PutLe16(b + kHeaderFirstFreeBlock, h->first_free_block);
    b[kHeaderChangeCount1] = h->change_count1;
    PutLe32(b + kHeaderAutoInc, h->auto_inc);
  }
}

uint8_t SortOrderByte(const std::string& name) {
  if (name == "ascii") return 0;
  unsigned sum = 0;
  for (unsigned char c : name) sum += c;
  return static_cast<uint8_t>(sum & 0xFF);
}

int StampOffsetForSortOrder(uint8_t sort_order_byte, const std::string& sort_order) {
  if (sort_order == "ascii" || (sort_order.empty() && sort_order_byte == 0)) return 0;
  return sort_order_byte + 2;
}

uint8_t IndexStamp(uint8_t change_count, int k) {
  int x = change_count + k;
  while (x > 255) x -= 255;
  return static_cast<uint8_t>(x);
}

uint8_t NextChangeCount(uint8_t change_count) {
  return change_count >= 254 ? 1 : static_cast<uint8_t>(change_count + 1);
}

Header BuildDataHeader(const TableSchema& schema, int block_size, const std::string& table_name,
                       uint32_t update_time) {
  const size_t n = schema.fields.size();
  size_t names = 0;
  for (const auto& f : schema.fields) names += f.name.size() + 1;
  const size_t field_numbers_at =
      kHeaderExtendedEnd + 2 * n + 4 + 4 * n + kTableNameArea7 + names;
  const size_t sort_name_at = field_numbers_at + 2 * n;
  const size_t used = sort_name_at + schema.sort_order.size() + 1;
  size_t header_size = kDefaultHeaderSize;
  while (header_size < used) header_size += kDefaultHeaderSize;

  Header h;
  h.raw.assign(header_size, 0);
  uint8_t* b = h.raw.data();
  int record_size = 0;
  for (const auto& f : schema.fields) record_size += StoredSize(f);
  h.record_size = static_cast<uint16_t>(record_size);
  h.header_size = static_cast<uint16_t>(header_size);
  h.file_type = schema.key_field_count > 0 ? kFileTypeKeyedDb : kFileTypeUnkeyedDb;
  h.block_size = block_size;
  h.key_field_count = schema.key_field_count;
  h.sort_order = schema.sort_order;
  h.sort_order_byte = SortOrderByte(schema.sort_order);
  h.code_page = schema.code_page;
  h.version = kVersion70;
  h.change_count1 = 1;  // genuine tables never hold 0 here
  h.fields = schema.fields;

  PutLe16(b + kHeaderRecordSize, h.record_size);
  PutLe16(b + kHeaderHeaderSize, h.header_size);
  b[kHeaderFileType] = h.file_type;
  b[kHeaderMaxTableSize] = static_cast<uint8_t>(block_size / 1024);
  PutLe16(b + kHeaderUnknown12, 1);
  PutLe16(b + kHeaderNumFields, static_cast<uint16_t>(n));
  PutLe16(b + kHeaderKeyFields, static_cast<uint16_t>(schema.key_field_count));
  PutLe32(b + kHeaderEncryption1, kEncryptionMarker);
  b[kHeaderSortOrder] = h.sort_order_byte;
  b[kHeaderChangeCount2] = 1;
  b[kHeaderFileVersion] = h.version;
  PutLe16(b + kHeaderUnknown3E, kDataUnknown3E);
  PutLe16(b + kHeaderRealHeaderSize, static_cast<uint16_t>(used));
  PutLe16(b + kHeaderUnknown56, kDataUnknown56);
  PutLe16(b + kHeaderFileVerId2, 0x0100 | h.version);
  PutLe16(b + kHeaderFileVerId3, 0x0100 | h.version);
  PutLe32(b + kHeaderFileUpdateTime, update_time);
  PutLe16(b + kHeaderHiFieldId, static_cast<uint16_t>(n + 1));
  PutLe16(b + kHeaderFieldNumbersOffset, static_cast<uint16_t>(field_numbers_at - kHeaderExtendedOffsetBase));
  PutLe16(b + kHeaderCodePage, static_cast<uint16_t>(schema.code_page));
  PutLe16(b + kHeaderUnknown6C, kDataUnknown6C);
  PutLe16(b + kHeaderSortNameOffset, static_cast<uint16_t>(sort_name_at - kHeaderExtendedOffsetBase));
  PutLe16(b + kHeaderChangeCount4, 1);

  size_t off = kHeaderExtendedEnd;
  for (const auto& f : schema.fields) {
    b[off++] = static_cast<uint8_t>(f.type);
    b[off++] = static_cast<uint8_t>(f.size);
  }
  off += 4 + 4 * n;  // run-time pointers, left zero
  std::memcpy(b + off, table_name.data(), std::min(table_name.size(), kTableNameArea7 - 1));
  off += kTableNameArea7;
  for (const auto& f : schema.fields) {
    std::memcpy(b + off, f.name.data(), f.name.size());
    off += f.name.size() + 1;
  }
  for (size_t i = 0; i < n; ++i) PutLe16(b + off + 2 * i, static_cast<uint16_t>(i + 1));
  off += 2 * n;
  std::memcpy(b + off, schema.sort_order.data(), schema.sort_order.size());
  StoreCounters(&h);
  return h;
}

Header BuildPrimaryIndexHeader(const Header& data, const std::string& index_name) {
  const size_t n = static_cast<size_t>(data.key_field_count);
  const size_t name_area = TableNameArea(data.version);
  const size_t used = kHeaderFixedSize + 2 * n + 4 + name_area;
  Header h;
  h.raw.assign(kDefaultHeaderSize, 0);
  uint8_t* b = h.raw.data();
  int key_size = 0;
  for (size_t i = 0; i < n; ++i) key_size += StoredSize(data.fields[i]);
  h.record_size = static_cast<uint16_t>(key_size + 6);
  h.header_size = static_cast<uint16_t>(h.raw.size());
  h.file_type = kFileTypePrimaryIndex;
  h.block_size = data.block_size;
  h.version = data.version;
  h.sort_order_byte = data.sort_order_byte;
  h.sort_order = data.sort_order;
  h.code_page = data.code_page;
  h.index_root = 1;  // also when empty
  h.index_levels = 0;
  h.index_stamp = IndexStamp(data.change_count1,
                             StampOffsetForSortOrder(data.sort_order_byte, data.sort_order));
  h.fields.assign(data.fields.begin(), data.fields.begin() + n);

  PutLe16(b + kHeaderRecordSize, h.record_size);
  PutLe16(b + kHeaderHeaderSize, h.header_size);
  b[kHeaderFileType] = h.file_type;
  b[kHeaderMaxTableSize] = static_cast<uint8_t>(h.block_size / 1024);
  PutLe16(b + kHeaderUnknown12, static_cast<uint16_t>(GetLe16(data.raw.data() + kHeaderUnknown12) + 1));
  PutLe16(b + kHeaderNumFields, static_cast<uint16_t>(n));
  b[kHeaderSortOrder] = h.sort_order_byte;
  b[kHeaderFileVersion] = h.version;
  PutLe32(b + kHeaderAutoInc, 1);  // every genuine .PX holds 1 here
  PutLe16(b + kHeaderRealHeaderSize, static_cast<uint16_t>(used));
  size_t off = kHeaderFixedSize;
  for (size_t i = 0; i < n; ++i) {
    b[off++] = static_cast<uint8_t>(data.fields[i].type);
    b[off++] = static_cast<uint8_t>(data.fields[i].size);
  }
  off += 4;
  std::memcpy(b + off, index_name.data(), std::min(index_name.size(), name_area - 1));
  StoreCounters(&h);
  return h;
}

}  // namespace varnholt::paradox
