// Layout of a maintained secondary index (.Xnn/.XGn and its .Ynn/.YGn), beyond the header every
// Paradox file shares (stores/paradox/header.h): the X file is a keyed table of the indexed fields,
// the table's primary key and a block number; its header names the options below. The Y file is a
// primary index over the X file's blocks and adds nothing to the shared header.
#ifndef VARNHOLT_STORES_PARADOX_SECONDARY_INDEX_LAYOUT_H_
#define VARNHOLT_STORES_PARADOX_SECONDARY_INDEX_LAYOUT_H_

#include <cstddef>
#include <cstdint>

namespace varnholt::paradox {

// X header bytes the data header does not have.
inline constexpr size_t kXIndexFieldNumber = 0x15;  // u8 the first indexed field's number
inline constexpr uint8_t kXUnknown2C = 0xFF;        // every genuine X file holds it at 0x2C
inline constexpr size_t kXIndexFlags = 0x55;        // u8, see kXFlag*
inline constexpr size_t kXIndexNameOffset = 0x68;   // u16 index name offset − 0x58 (XG files)

inline constexpr uint8_t kXFlagCaseInsensitive = 0x01;  // alpha keys stored in capitals
inline constexpr uint8_t kXFlagDescending = 0x10;       // some field sorts descending (marked below)
inline constexpr uint8_t kXFlagUnique = 0x20;           // no two rows may share an entry's indexed part
inline constexpr uint8_t kXFlagsKnown = kXFlagCaseInsensitive | kXFlagDescending | kXFlagUnique;

// In the header's field numbers list: a descending field's number carries this bit.
inline constexpr uint16_t kFieldNumberDescending = 0x8000;

// The X record's last field: the data block that holds the row, a short in the sortable form.
inline constexpr char kBlockNumberField[] = "Blk Num";
inline constexpr int kBlockHintSize = 2;

inline constexpr int kMaxCompositeIndexes = 16;  // XG0 … XGF

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_SECONDARY_INDEX_LAYOUT_H_
