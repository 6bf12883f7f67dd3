// Layout and encoding of the header shared by .DB, .PX and secondary index files.
//
// A header is kept as its raw bytes plus the few values the engine works with. Writers change only
// the counters they own (record and block counts, chain ends, free list, change counter, autoinc,
// index root and levels, validity stamp) and copy every other byte unchanged, so that what the
// table's own engine keeps there (field IDs, timestamps, unknown bytes) survives our writes.
#ifndef VARNHOLT_STORES_PARADOX_HEADER_H_
#define VARNHOLT_STORES_PARADOX_HEADER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_coding.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

// Fixed part, all file kinds (little-endian).
inline constexpr size_t kHeaderRecordSize = 0x00;       // u16 bytes per record (.PX: key + 6)
inline constexpr size_t kHeaderHeaderSize = 0x02;       // u16 bytes before block 1
inline constexpr size_t kHeaderFileType = 0x04;         // u8, see kFileType*
inline constexpr size_t kHeaderMaxTableSize = 0x05;     // u8 block size in KiB
inline constexpr size_t kHeaderNumRecords = 0x06;       // u32 records (.PX: entries, all levels)
inline constexpr size_t kHeaderBlocksInUse = 0x0A;      // u16 blocks in the chain
inline constexpr size_t kHeaderFileBlocks = 0x0C;       // u16 blocks in the file, free included
inline constexpr size_t kHeaderFirstBlock = 0x0E;       // u16 head of the chain, 0 when empty
inline constexpr size_t kHeaderLastBlock = 0x10;        // u16 tail of the chain (a block number)
inline constexpr size_t kHeaderUnknown12 = 0x12;        // u16 meaning unknown, kept
inline constexpr size_t kHeaderIndexRoot = 0x1E;        // u16 .PX root block
inline constexpr size_t kHeaderIndexLevels = 0x20;      // u8 .PX tree height, 0 when empty
inline constexpr size_t kHeaderNumFields = 0x21;        // u16 fields (.PX: key fields)
inline constexpr size_t kHeaderKeyFields = 0x23;        // u16 leading fields forming the key
inline constexpr size_t kHeaderEncryption1 = 0x25;      // u32 3.x password checksum
inline constexpr size_t kHeaderSortOrder = 0x29;        // u8 checksum of the sort order name
inline constexpr size_t kHeaderIndexStamp = 0x2C;       // u8 .PX/.Y validity stamp
inline constexpr size_t kHeaderChangeCount1 = 0x2D;     // u8 data change counter
inline constexpr size_t kHeaderChangeCount2 = 0x2E;     // u8 structure change counter
inline constexpr size_t kHeaderSecondaryStamp = 0x2F;   // u8 .X validity stamp
inline constexpr size_t kHeaderFileVersion = 0x39;      // u8, see kVersion*
inline constexpr size_t kHeaderMaxBlocks = 0x3A;        // u16 kept equal to kHeaderFileBlocks
inline constexpr size_t kHeaderUnknown3E = 0x3E;        // u16 0x0F1F in data files
inline constexpr size_t kHeaderAutoInc = 0x49;          // u32 last autoincrement value handed out
inline constexpr size_t kHeaderFirstFreeBlock = 0x4D;   // u16 head of the free list, 0 = none
inline constexpr size_t kHeaderRealHeaderSize = 0x51;   // u16 header bytes actually used
inline constexpr size_t kHeaderUnknown56 = 0x56;        // u16 0x20 in data files
inline constexpr size_t kHeaderFixedSize = 0x58;        // end of the part every file has

// Extended part of 4.0+ data files. The offsets it holds count from its start.
inline constexpr size_t kHeaderExtendedOffsetBase = 0x58;
inline constexpr size_t kHeaderFileVerId2 = 0x58;       // u16 0x0100 | version
inline constexpr size_t kHeaderFileVerId3 = 0x5A;       // u16 same
inline constexpr size_t kHeaderEncryption2 = 0x5C;      // u32 password checksum, 0 = none
inline constexpr size_t kHeaderFileUpdateTime = 0x60;   // u32 time of the last structure change
inline constexpr size_t kHeaderHiFieldId = 0x64;        // u16 next field ID to hand out
inline constexpr size_t kHeaderFieldNumbersOffset = 0x66;  // u16 field numbers offset − 0x58
inline constexpr size_t kHeaderCodePage = 0x6A;         // u16 code page of all text
inline constexpr size_t kHeaderUnknown6C = 0x6C;        // u16 0x0101
inline constexpr size_t kHeaderSortNameOffset = 0x6E;   // u16 sort order name offset − 0x58
inline constexpr size_t kHeaderChangeCount4 = 0x70;     // u16 meaning unknown, kept
inline constexpr size_t kHeaderExtendedEnd = 0x78;

inline constexpr uint8_t kFileTypeKeyedDb = 0;
inline constexpr uint8_t kFileTypePrimaryIndex = 1;
inline constexpr uint8_t kFileTypeUnkeyedDb = 2;
inline constexpr uint8_t kFileTypeSecondaryData = 3;       // .Xnn, not maintained
inline constexpr uint8_t kFileTypeSecondaryIndex = 4;      // .Ynn
inline constexpr uint8_t kFileTypeMaintainedSecondary = 5; // .Xnn kept current by the engine
inline constexpr uint8_t kFileTypeCompositeData = 6;       // .XGn, not maintained
inline constexpr uint8_t kFileTypeCompositeIndex = 7;      // .YGn
inline constexpr uint8_t kFileTypeMaintainedComposite = 8; // .XGn kept current by the engine

inline constexpr uint8_t kVersion30 = 3;
inline constexpr uint8_t kVersion35 = 4;
inline constexpr uint8_t kVersion40 = 9;   // first with the extended part: 5
inline constexpr uint8_t kVersion50 = 11;
inline constexpr uint8_t kVersion70 = 12;
inline constexpr uint8_t kFirstExtendedVersion = 5;

inline constexpr size_t kTableNameAreaOld = 79;   // before Paradox 7
inline constexpr size_t kTableNameArea7 = 261;    // Paradox 7
inline constexpr size_t kDefaultHeaderSize = 0x800;
inline constexpr uint32_t kEncryptionMarker = 0xFF00FF00;  // 4.0+: real checksum is at 0x5C
inline constexpr uint16_t kDataUnknown3E = 0x0F1F;
inline constexpr uint16_t kDataUnknown56 = 0x0020;
inline constexpr uint16_t kDataUnknown6C = 0x0101;
inline constexpr int kBcdStoredSize = 17;        // a BCD field stores 17 bytes whatever its size

// Bytes a field takes in a record.
int StoredSize(const Field& field);

// The values of a header the engine works with; `raw` holds the whole header.
struct Header {
  std::vector<uint8_t> raw;  // headerSize bytes
  uint16_t record_size = 0;
  uint16_t header_size = 0;
  uint8_t file_type = 0;
  int block_size = 0;
  uint32_t num_records = 0;
  uint16_t blocks_in_use = 0;
  uint16_t file_blocks = 0;
  uint16_t first_block = 0;
  uint16_t last_block = 0;
  uint16_t first_free_block = 0;
  uint16_t index_root = 0;
  uint8_t index_levels = 0;
  int key_field_count = 0;
  uint8_t sort_order_byte = 0;
  uint8_t change_count1 = 0;
  uint8_t index_stamp = 0;
  uint8_t version = 0;
  uint32_t auto_inc = 0;
  int code_page = 437;
  std::string sort_order;   // empty before Paradox 4
  std::vector<Field> fields;  // data files: names and types; index files: types only
  // The password checksum of a protected table (data files; index files: the code their blocks
  // are scrambled with); 0 when not protected.
  uint32_t password_checksum = 0;
};

// Parses the header at the start of `file` (the file's first bytes, at least the header). Throws
// EngineError naming `path` when the bytes are no Paradox header or contradict themselves.
Header ParseHeader(const std::vector<uint8_t>& file, const std::string& path);

// Writes the engine-owned values of `header` into header.raw (all other bytes stay as they are).
void StoreCounters(Header* header);

// Checksum of a sort order name as stored at 0x29 ("ascii" is 0).
uint8_t SortOrderByte(const std::string& name);
// The validity stamp of an index over a file whose change counter is `change_count`:
// change_count + k with end-around carry at 255; k = 0 for "ascii", else sort byte + 2.
uint8_t IndexStamp(uint8_t change_count, int k);
int StampOffsetForSortOrder(uint8_t sort_order_byte, const std::string& sort_order);
// The data change counter after one more change (skips 0 and 255, which genuine tables never hold).
uint8_t NextChangeCount(uint8_t change_count);

// A new data header (Paradox 7) for `schema`; `table_name` goes into the name area.
Header BuildDataHeader(const TableSchema& schema, int block_size, const std::string& table_name,
                       uint32_t update_time);
// A new, empty .PX header for the data header `data` (same version, sort order and block size).
Header BuildPrimaryIndexHeader(const Header& data, const std::string& index_name);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_HEADER_H_
