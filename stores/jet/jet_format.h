// On-disk layout of Jet 3 (Access 97) and Jet 4 (Access 2000-2003) databases, for the reader and
// for the tests' Jet 4 writer: page 0, page kinds, where the fields of table definitions, data
// pages and rows sit in each version, and column type codes; numbers are little-endian
// (base/byte_coding.h). Offsets are from the start of a page (or of a column descriptor, or of a
// row).
#ifndef VARNHOLT_STORES_JET_JET_FORMAT_H_
#define VARNHOLT_STORES_JET_JET_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/byte_coding.h"

namespace varnholt::jet_format {

// Page 0 (offsets from the start of the file).
inline constexpr size_t kJetPageTypeOffset = 0x00;  // 4 bytes: 00 01 00 00 (page type 0)
inline constexpr size_t kJetFormatIdOffset = 0x04;  // 16 bytes: "Standard Jet DB\0" or "...ACE..."
inline constexpr size_t kJetVersionOffset = 0x14;   // 1 byte: the engine version below
inline constexpr size_t kJetMaskedOffset = 0x18;    // start of the region stored RC4-masked
inline constexpr size_t kJet3MaskedLength = 126;
inline constexpr size_t kJet4MaskedLength = 128;
inline constexpr size_t kJetDatabaseKeyOffset = 0x3E;  // u32, inside the masked region; 0: pages plain
inline constexpr size_t kJetPasswordOffset = 0x42;  // inside the masked region
inline constexpr size_t kJet3PasswordLength = 20;   // code-page bytes
inline constexpr size_t kJet4PasswordLength = 40;   // 20 UCS-2LE characters, masked with the date
inline constexpr size_t kJetCreatedOffset = 0x72;   // double: creation date, seeds the Jet 4 mask
// Bytes of page 0 that the reader's checks read.
inline constexpr size_t kJetHeaderReadLength = kJetMaskedOffset + kJet4MaskedLength;
inline constexpr uint8_t kJetPageTypeBytes[4] = {0x00, 0x01, 0x00, 0x00};
inline constexpr char kJetFormatId[] = "Standard Jet DB";  // followed by a zero byte
inline constexpr char kAceFormatId[] = "Standard ACE DB";
inline constexpr uint8_t kJetMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};  // RC4 key of the masked region
// Engine version byte at kJetVersionOffset.
inline constexpr uint8_t kVersionJet3 = 0;
inline constexpr uint8_t kVersionJet4 = 1;

// Page kinds (first byte of a page).
inline constexpr uint8_t kPageHeader = 0x00;
inline constexpr uint8_t kPageData = 0x01;
inline constexpr uint8_t kPageTableDefinition = 0x02;
inline constexpr uint8_t kPageUsageBitmap = 0x05;
inline constexpr uint8_t kPageMarker = 0x01;  // second byte of data, TDEF and bitmap pages

// The system catalog's table definition is always here; nothing points to it.
inline constexpr uint32_t kCatalogDefinitionPage = 2;
inline constexpr char kCatalogName[] = "MSysObjects";

// Data pages (also long-value pages and the pages holding usage-map rows).
inline constexpr size_t kDataFreeSpace = 0x02;  // u16 bytes left
inline constexpr size_t kDataOwner = 0x04;  // u32 page of the owning table definition, or "LVAL"
inline constexpr size_t kRowOffsetSize = 2;
inline constexpr char kLvalMagic[4] = {'L', 'V', 'A', 'L'};
// A row offset carries flags in its top bits. Access marks a deleted row with both; a row that
// moved to another page keeps its place with the overflow flag and 4 bytes pointing to the row,
// and the moved row itself carries the deleted flag alone, so a scan meets it once.
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr uint16_t kRowDeleted = 0x8000;
inline constexpr uint16_t kRowOverflow = 0x4000;
inline constexpr size_t kRowPointerSize = 4;  // u8 row, u24 page
// Rows are addressed across pages as page << kRowBits | row.
inline constexpr int kRowBits = 8;
inline constexpr uint32_t kRowMask = 0xFF;

// Table definition pages: a definition longer than a page continues on the page named at
// kTdefNextPage, whose own header takes the first kTdefContinuationData bytes.
inline constexpr size_t kTdefNextPage = 0x04;
inline constexpr size_t kTdefContinuationData = 8;

// Column type codes.
inline constexpr uint8_t kTypeBoolean = 0x01;
inline constexpr uint8_t kTypeByte = 0x02;
inline constexpr uint8_t kTypeInteger = 0x03;
inline constexpr uint8_t kTypeLong = 0x04;
inline constexpr uint8_t kTypeMoney = 0x05;
inline constexpr uint8_t kTypeSingle = 0x06;
inline constexpr uint8_t kTypeDouble = 0x07;
inline constexpr uint8_t kTypeDateTime = 0x08;
inline constexpr uint8_t kTypeBinary = 0x09;
inline constexpr uint8_t kTypeText = 0x0A;
inline constexpr uint8_t kTypeOle = 0x0B;
inline constexpr uint8_t kTypeMemo = 0x0C;
inline constexpr uint8_t kTypeGuid = 0x0F;
inline constexpr uint8_t kTypeNumeric = 0x10;
inline constexpr uint8_t kTypeComplex = 0x12;  // a Long pointing into a hidden table

// Column flags.
inline constexpr uint8_t kColumnFixed = 0x01;

// Long values (Memo, OLE): a 12-byte reference in the row; the data follows it, or sits in one
// row of an LVAL page, or in a chain of LVAL rows each starting with the pointer to the next.
inline constexpr size_t kLongValueReferenceSize = 12;
inline constexpr size_t kLongValuePointer = 4;  // u32 page << 8 | row
inline constexpr uint32_t kLongValueInline = 0x80000000;
inline constexpr uint32_t kLongValueSingle = 0x40000000;
inline constexpr uint32_t kLongValueFlags = 0xFF000000;
inline constexpr size_t kLongValueLinkSize = 4;  // each chain row starts with the next pointer

// Usage maps: a row naming the pages a table owns.
inline constexpr uint8_t kUsageMapInline = 0x00;    // u32 first page, then a bitmap
inline constexpr uint8_t kUsageMapIndirect = 0x01;  // u32 pointers to bitmap pages
inline constexpr size_t kUsageMapStart = 1;         // after the type byte
inline constexpr size_t kUsageMapInlineBitmap = 5;  // type byte + u32 first page
inline constexpr size_t kUsageBitmapPageData = 4;   // a bitmap page's bits start here

// Jet 4 text starting with these bytes is compressed: one byte per character until a zero byte
// switches to two-byte characters (and back).
inline constexpr uint8_t kCompressedText[2] = {0xFF, 0xFE};

// The fields whose place differs between the versions.
struct Format {
  bool jet4;
  size_t page_size;
  // Data pages.
  size_t row_count;  // u16
  size_t row_offsets;
  // Table definitions.
  size_t tdef_num_rows;          // u32
  size_t tdef_num_var_cols;      // u16
  size_t tdef_num_cols;          // u16
  size_t tdef_num_real_indexes;  // u32
  size_t tdef_owned_map;         // u32 page << 8 | row of the usage-map row
  size_t tdef_columns;           // first column descriptor, after the real-index entries
  size_t real_index_entry;
  // Column descriptors.
  size_t column_entry;
  size_t col_type;
  size_t col_number;     // u16: the null-mask bit, and the order of the columns
  size_t col_var_index;  // u16
  size_t col_precision;
  size_t col_scale;
  size_t col_flags;
  size_t col_fixed_offset;  // u16, from the end of the row's column count
  size_t col_length;        // u16
  // Column names: a length of this many bytes, then the name.
  size_t name_length_size;
  // Rows.
  size_t row_column_count_size;
};

inline constexpr Format kJet3Format = {
    .jet4 = false,
    .page_size = 2048,
    .row_count = 0x08,
    .row_offsets = 0x0A,
    .tdef_num_rows = 0x0C,
    .tdef_num_var_cols = 0x17,
    .tdef_num_cols = 0x19,
    .tdef_num_real_indexes = 0x1F,
    .tdef_owned_map = 0x23,
    .tdef_columns = 0x2B,
    .real_index_entry = 8,
    .column_entry = 18,
    .col_type = 0,
    .col_number = 1,
    .col_var_index = 3,
    .col_precision = 9,
    .col_scale = 10,
    .col_flags = 13,
    .col_fixed_offset = 14,
    .col_length = 16,
    .name_length_size = 1,
    .row_column_count_size = 1,
};

inline constexpr Format kJet4Format = {
    .jet4 = true,
    .page_size = 4096,
    .row_count = 0x0C,
    .row_offsets = 0x0E,
    .tdef_num_rows = 0x10,
    .tdef_num_var_cols = 0x2B,
    .tdef_num_cols = 0x2D,
    .tdef_num_real_indexes = 0x33,
    .tdef_owned_map = 0x37,
    .tdef_columns = 0x3F,
    .real_index_entry = 12,
    .column_entry = 25,
    .col_type = 0,
    .col_number = 5,
    .col_var_index = 7,
    .col_precision = 11,
    .col_scale = 12,
    .col_flags = 15,
    .col_fixed_offset = 21,
    .col_length = 23,
    .name_length_size = 2,
    .row_column_count_size = 2,
};

// Jet 4 as the tests' writer lays it out: the version's offsets under their own names, and what
// only a writer needs.
inline constexpr size_t kPageSize = kJet4Format.page_size;

// Pages with fixed roles.
inline constexpr uint32_t kHeaderPageNumber = 0;
inline constexpr uint32_t kGlobalMapPageNumber = 1;
inline constexpr uint32_t kFirstFreePageNumber = 3;

inline constexpr size_t kDataRowCount = kJet4Format.row_count;      // u16
inline constexpr size_t kDataRowOffsets = kJet4Format.row_offsets;  // u16 per row; row 0 ends at the page end
// Row pointers elsewhere hold the row number in one byte (page << 8 | row).
inline constexpr int kMaxRowsPerPage = 255;
// Largest row a data page can take: the whole page less its header and one row offset.
inline constexpr size_t kMaxRowOnPage = kPageSize - kDataRowOffsets - kRowOffsetSize;
// Table rows stay below the page limit, as Access keeps them, so every reader takes them.
inline constexpr size_t kMaxTableRow = 4060;

// Table definition (TDEF) pages.
inline constexpr size_t kTdefFreeSpace = 0x02;
inline constexpr size_t kTdefLength = 0x08;    // u32 bytes of the definition
inline constexpr size_t kTdefMagic = 0x0C;
inline constexpr size_t kTdefNumRows = kJet4Format.tdef_num_rows;
inline constexpr size_t kTdefNextAutoNumber = 0x14;
inline constexpr size_t kTdefAutoNumberFlag = 0x18;
inline constexpr size_t kTdefTableType = 0x28;
inline constexpr size_t kTdefMaxColumns = 0x29;
inline constexpr size_t kTdefNumVarColumns = kJet4Format.tdef_num_var_cols;
inline constexpr size_t kTdefNumColumns = kJet4Format.tdef_num_cols;
inline constexpr size_t kTdefNumIndexes = 0x2F;
inline constexpr size_t kTdefNumRealIndexes = kJet4Format.tdef_num_real_indexes;
inline constexpr size_t kTdefOwnedPagesMap = kJet4Format.tdef_owned_map;
inline constexpr size_t kTdefFreePagesMap = 0x3B;
inline constexpr size_t kTdefColumnsStart = kJet4Format.tdef_columns;  // no real indexes precede the columns
inline constexpr size_t kTdefTrailerSize = 8;       // counted out of the first page's free space
inline constexpr uint32_t kTableDefMagic = 1625;
inline constexpr uint8_t kTableTypeUser = 0x4E;
inline constexpr uint8_t kTableTypeSystem = 0x53;
inline constexpr uint16_t kTdefEnd = 0xFFFF;  // closes the (empty) long-value column list

// Column descriptors, right after the table header.
inline constexpr size_t kColumnDescriptorSize = kJet4Format.column_entry;
inline constexpr size_t kColType = kJet4Format.col_type;
inline constexpr size_t kColMagic = 1;
inline constexpr size_t kColNumber = kJet4Format.col_number;
inline constexpr size_t kColVarIndex = kJet4Format.col_var_index;
inline constexpr size_t kColRowNumber = 9;
inline constexpr size_t kColSortOrder = 11;
inline constexpr size_t kColPrecision = kJet4Format.col_precision;  // Decimal columns use these two bytes instead
inline constexpr size_t kColScale = kJet4Format.col_scale;
inline constexpr size_t kColFlags = kJet4Format.col_flags;
inline constexpr size_t kColExtFlags = 16;
inline constexpr size_t kColFixedOffset = kJet4Format.col_fixed_offset;
inline constexpr size_t kColLength = kJet4Format.col_length;
inline constexpr uint16_t kSortOrderGeneral = 0x0409;
inline constexpr uint8_t kColFlagNullable = 0x02;
inline constexpr uint8_t kColExtCompressedUnicode = 0x01;

inline constexpr uint16_t kGuidSize = 16;
inline constexpr uint16_t kNumericSize = 17;  // sign byte, then four u32, most significant first
inline constexpr uint8_t kNumericNegative = 0x80;
inline constexpr uint32_t kLongValueMaxLength = 0x00FFFFFF;

// Usage maps.
inline constexpr size_t kUsageMapInlineBitmapBytes = 64;  // 512 pages
inline constexpr uint32_t kPagesPerBitmapPage = (kPageSize - kUsageBitmapPageData) * 8;

// Page 0 beyond what the reader checks.
inline constexpr size_t kHeaderConstantBlock = 0x18;  // seen in every Access-made Jet 4 file
inline constexpr uint8_t kHeaderConstantBlockBytes[24] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01,
                                                          0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                                          0x03, 0x00, 0x00, 0x00, 0x04, 0x00,
                                                          0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
inline constexpr size_t kHeaderCodePage = 0x3C;
inline constexpr uint16_t kCodePageWestern = 1252;
inline constexpr size_t kHeaderSortOrder = 0x6E;
inline constexpr size_t kHeaderTrailer = 0x98;     // outside the mask
inline constexpr uint8_t kHeaderTrailerBytes[8] = {0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00};
inline constexpr size_t kHeaderMinimumSize = kHeaderTrailer;

inline constexpr uint32_t RowPointer(uint32_t page, int row) {
  return (page << kRowBits) | static_cast<uint32_t>(row);
}

}  // namespace varnholt::jet_format

#endif  // VARNHOLT_STORES_JET_JET_FORMAT_H_
