// On-disk layout of Jet 3 (Access 97) and Jet 4 (Access 2000-2003) databases as the reader needs
// it: page kinds, where the fields of table definitions, data pages and rows sit in each version,
// and column type codes; numbers are little-endian (base/byte_coding.h). Offsets are from the start of a page (or of a
// column descriptor, or of a row).
#ifndef VARNHOLT_STORES_JET_JET_FORMAT_H_
#define VARNHOLT_STORES_JET_JET_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/byte_coding.h"

namespace varnholt::jet_format {

// Page kinds (first byte of a page).
inline constexpr uint8_t kPageData = 0x01;
inline constexpr uint8_t kPageTableDefinition = 0x02;

// The system catalog's table definition is always here; nothing points to it.
inline constexpr uint32_t kCatalogDefinitionPage = 2;
inline constexpr char kCatalogName[] = "MSysObjects";

// Data pages (also long-value pages and the pages holding usage-map rows).
inline constexpr size_t kDataOwner = 0x04;  // u32 page of the owning table definition, or "LVAL"
// A row offset carries flags in its top bits. Access marks a deleted row with both; a row that
// moved to another page keeps its place with the overflow flag and 4 bytes pointing to the row,
// and the moved row itself carries the deleted flag alone, so a scan meets it once.
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr uint16_t kRowDeleted = 0x8000;
inline constexpr uint16_t kRowOverflow = 0x4000;
inline constexpr size_t kRowPointerSize = 4;  // u8 row, u24 page

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

}  // namespace varnholt::jet_format

#endif  // VARNHOLT_STORES_JET_JET_FORMAT_H_
