// On-disk layout of a Jet 4 database, as far as the writer needs it: page kinds, the offsets of
// their fields, column type codes; numbers are little-endian (base/byte_coding.h).
#ifndef VARNHOLT_TOOLS_JETWRITER_JET_FORMAT_H_
#define VARNHOLT_TOOLS_JETWRITER_JET_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/byte_coding.h"

namespace varnholt::jet::format {

inline constexpr size_t kPageSize = 4096;

// Page kinds (first byte of a page).
inline constexpr uint8_t kPageHeader = 0x00;
inline constexpr uint8_t kPageData = 0x01;
inline constexpr uint8_t kPageTableDef = 0x02;
inline constexpr uint8_t kPageUsageBitmap = 0x05;
inline constexpr uint8_t kPageMarker = 0x01;  // second byte of data, TDEF and bitmap pages

// Pages with fixed roles. Readers find the catalog's definition at page 2 without looking it up.
inline constexpr uint32_t kHeaderPageNumber = 0;
inline constexpr uint32_t kGlobalMapPageNumber = 1;
inline constexpr uint32_t kCatalogDefPageNumber = 2;
inline constexpr uint32_t kFirstFreePageNumber = 3;

// Data pages (also LVAL pages and pages holding usage-map rows).
inline constexpr size_t kDataFreeSpace = 0x02;   // u16 bytes left
inline constexpr size_t kDataOwner = 0x04;       // u32 owning TDEF page, or "LVAL"
inline constexpr size_t kDataRowCount = 0x0C;    // u16
inline constexpr size_t kDataRowOffsets = 0x0E;  // u16 per row; row 0 ends at the page end
inline constexpr size_t kRowOffsetSize = 2;
// Row pointers elsewhere hold the row number in one byte (page << 8 | row).
inline constexpr int kMaxRowsPerPage = 255;
// Largest row a data page can take: the whole page less its header and one row offset.
inline constexpr size_t kMaxRowOnPage = kPageSize - kDataRowOffsets - kRowOffsetSize;
// Table rows stay below the page limit, as Access keeps them, so every reader takes them.
inline constexpr size_t kMaxTableRow = 4060;
inline constexpr char kLvalMagic[4] = {'L', 'V', 'A', 'L'};

// Table definition (TDEF) pages.
inline constexpr size_t kTdefFreeSpace = 0x02;
inline constexpr size_t kTdefNextPage = 0x04;  // u32 continuation page, 0 = none
inline constexpr size_t kTdefLength = 0x08;    // u32 bytes of the definition
inline constexpr size_t kTdefMagic = 0x0C;
inline constexpr size_t kTdefNumRows = 0x10;
inline constexpr size_t kTdefNextAutoNumber = 0x14;
inline constexpr size_t kTdefAutoNumberFlag = 0x18;
inline constexpr size_t kTdefTableType = 0x28;
inline constexpr size_t kTdefMaxColumns = 0x29;
inline constexpr size_t kTdefNumVarColumns = 0x2B;
inline constexpr size_t kTdefNumColumns = 0x2D;
inline constexpr size_t kTdefNumIndexes = 0x2F;
inline constexpr size_t kTdefNumRealIndexes = 0x33;
inline constexpr size_t kTdefOwnedPagesMap = 0x37;  // u32 page << 8 | row of a usage-map row
inline constexpr size_t kTdefFreePagesMap = 0x3B;
inline constexpr size_t kTdefColumnsStart = 0x3F;   // no real indexes precede the columns
inline constexpr size_t kTdefContinuationData = 8;  // a continuation page's data starts here
inline constexpr size_t kTdefTrailerSize = 8;       // counted out of the first page's free space
inline constexpr uint32_t kTableDefMagic = 1625;
inline constexpr uint8_t kTableTypeUser = 0x4E;
inline constexpr uint8_t kTableTypeSystem = 0x53;
inline constexpr uint16_t kTdefEnd = 0xFFFF;  // closes the (empty) long-value column list

// Column descriptors, 25 bytes each, right after the table header.
inline constexpr size_t kColumnDescriptorSize = 25;
inline constexpr size_t kColType = 0;
inline constexpr size_t kColMagic = 1;
inline constexpr size_t kColNumber = 5;
inline constexpr size_t kColVarIndex = 7;
inline constexpr size_t kColRowNumber = 9;
inline constexpr size_t kColSortOrder = 11;
inline constexpr size_t kColPrecision = 11;  // Decimal columns use these two bytes instead
inline constexpr size_t kColScale = 12;
inline constexpr size_t kColFlags = 15;
inline constexpr size_t kColExtFlags = 16;
inline constexpr size_t kColFixedOffset = 21;
inline constexpr size_t kColLength = 23;
inline constexpr uint16_t kSortOrderGeneral = 0x0409;
inline constexpr uint8_t kColFlagFixed = 0x01;
inline constexpr uint8_t kColFlagNullable = 0x02;
inline constexpr uint8_t kColExtCompressedUnicode = 0x01;

// Column type codes.
inline constexpr uint8_t kTypeBoolean = 0x01;
inline constexpr uint8_t kTypeInteger = 0x03;
inline constexpr uint8_t kTypeLong = 0x04;
inline constexpr uint8_t kTypeMoney = 0x05;
inline constexpr uint8_t kTypeDouble = 0x07;
inline constexpr uint8_t kTypeDateTime = 0x08;
inline constexpr uint8_t kTypeBinary = 0x09;
inline constexpr uint8_t kTypeText = 0x0A;
inline constexpr uint8_t kTypeOle = 0x0B;
inline constexpr uint8_t kTypeMemo = 0x0C;
inline constexpr uint8_t kTypeByte = 0x02;
inline constexpr uint8_t kTypeSingle = 0x06;
inline constexpr uint8_t kTypeGuid = 0x0F;
inline constexpr uint8_t kTypeNumeric = 0x10;
inline constexpr uint16_t kGuidSize = 16;
inline constexpr uint16_t kNumericSize = 17;  // sign byte, then four u32, most significant first
inline constexpr uint8_t kNumericNegative = 0x80;

// Long values (Memo, OLE): a 12-byte reference in the row, the data inline or on LVAL pages.
inline constexpr size_t kLongValueRefSize = 12;
inline constexpr uint32_t kLongValueInline = 0x80000000;  // data follows the reference
inline constexpr uint32_t kLongValueSingle = 0x40000000;  // one LVAL row holds the data
inline constexpr uint32_t kLongValueMaxLength = 0x00FFFFFF;
inline constexpr size_t kLvalChainLinkSize = 4;  // each row of a chain starts with the next row

// Text: "FF FE" then one byte per character marks compressed Unicode.
inline constexpr uint8_t kCompressedText[2] = {0xFF, 0xFE};

// Usage maps: which pages belong to a table.
inline constexpr uint8_t kUsageMapInline = 0x00;    // start page + bitmap in the row
inline constexpr uint8_t kUsageMapIndirect = 0x01;  // u32 pointers to bitmap pages
inline constexpr size_t kUsageMapInlineBitmapBytes = 64;  // 512 pages
inline constexpr size_t kUsageBitmapPageData = 4;          // bitmap starts here on a 0x05 page
inline constexpr uint32_t kPagesPerBitmapPage = (kPageSize - kUsageBitmapPageData) * 8;

// Page 0.
inline constexpr size_t kHeaderFormatName = 0x04;
inline constexpr char kHeaderFormatNameText[16] = "Standard Jet DB";
inline constexpr size_t kHeaderVersion = 0x14;
inline constexpr uint8_t kVersionJet4 = 0x01;
inline constexpr size_t kHeaderMaskedStart = 0x18;  // this region is RC4-masked on disk
inline constexpr size_t kHeaderMaskedLength = 128;
inline constexpr uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr size_t kHeaderConstantBlock = 0x18;  // seen in every Access-made Jet 4 file
inline constexpr uint8_t kHeaderConstantBlockBytes[24] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01,
                                                          0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                                          0x03, 0x00, 0x00, 0x00, 0x04, 0x00,
                                                          0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
inline constexpr size_t kHeaderCodePage = 0x3C;
inline constexpr uint16_t kCodePageWestern = 1252;
inline constexpr size_t kHeaderDatabaseKey = 0x3E;  // 0: pages are not encoded
inline constexpr size_t kHeaderPassword = 0x42;
inline constexpr size_t kHeaderPasswordBytes = 40;  // 20 UCS-2 characters
inline constexpr size_t kHeaderSortOrder = 0x6E;
inline constexpr size_t kHeaderCreated = 0x72;     // double, Jet date; also keys the password mask
inline constexpr size_t kHeaderTrailer = 0x98;     // outside the mask
inline constexpr uint8_t kHeaderTrailerBytes[8] = {0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00};
inline constexpr size_t kHeaderMinimumSize = kHeaderTrailer;

// page << 8 | row, the way rows are addressed across pages.
inline uint32_t RowPointer(uint32_t page, int row) {
  return (page << 8) | static_cast<uint32_t>(row);
}

}  // namespace varnholt::jet::format

#endif  // VARNHOLT_TOOLS_JETWRITER_JET_FORMAT_H_
