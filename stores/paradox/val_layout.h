// Layout of a table's .VAL file (Paradox 4.0 and later): validity checks per field, then the
// links of referential integrity, then a footer naming the fields the checks were written for.
// All numbers are little-endian.
#ifndef VARNHOLT_STORES_PARADOX_VAL_LAYOUT_H_
#define VARNHOLT_STORES_PARADOX_VAL_LAYOUT_H_

#include <cstddef>
#include <cstdint>

namespace varnholt::paradox {

// The fixed part at the start.
inline constexpr size_t kValChangeCount = 0x00;   // u8 the .DB's structure change counter (0x2E)
inline constexpr size_t kValVersion = 0x01;       // u8 file version; kValOldLayout marks the older one
inline constexpr size_t kValEntryCount = 0x02;    // u8 field entries that follow
inline constexpr size_t kValUpdateTime = 0x03;    // u32 the .DB's structure time
inline constexpr size_t kValFooter = 0x09;        // u32 offset of the footer
inline constexpr size_t kValReferentialIntegrity = 0x0D;  // u32 offset of that section, 0 = none
inline constexpr size_t kValFirstEntry = 0x35;
inline constexpr uint8_t kValOldLayout = 1;

// A field's entry: the fixed part, then minimum, maximum and default in the field's stored form,
// the picture, then the lookup part. Each of the six u32 pointers says whether its part is there
// (non-zero: present; the value itself is a run-time pointer, meaningless on disk).
inline constexpr size_t kEntryField = 0;           // u8 0-based field index
inline constexpr size_t kEntryPictureLength = 1;   // u8 its NUL included, 0 = none
inline constexpr size_t kEntryRequired = 2;        // u8 kRequired when the field must be filled
inline constexpr size_t kEntryPointers = 4;        // six u32, indexed by kEntry*Pointer
inline constexpr size_t kEntryPointerSize = 4;
inline constexpr size_t kEntryLookupPointer = 0;
inline constexpr size_t kEntryMinPointer = 2;
inline constexpr size_t kEntryMaxPointer = 3;
inline constexpr size_t kEntryDefaultPointer = 4;
inline constexpr size_t kEntryPicturePointer = 5;
inline constexpr size_t kEntryFixedSize = 0x1C;
inline constexpr uint8_t kRequired = 1;

// The lookup part: the lookup table's file name (NUL-ended, within its first bytes), then the path
// it was chosen from.
inline constexpr size_t kLookupPartSize = 0x50;
inline constexpr size_t kLookupNameArea = 0x1A;

// The footer: u16 field count, 4 unknown bytes, a u16 number per field, the fields' type and size
// bytes, the table's file name in this area, then the field names, each NUL-ended.
inline constexpr size_t kFooterTableNameArea = 79;

// The referential integrity section: u16 count of links to masters, their records, then u16
// kMasterPart when dependants refer to this table (followed by the master part and one record per
// dependant) or kNoMasterPart.
inline constexpr size_t kLinkCountSize = 2;
inline constexpr uint16_t kNoMasterPart = 0;
inline constexpr uint16_t kMasterPart = 1;
inline constexpr size_t kMaxLinkFields = 16;  // the field lists are arrays of 16 u16, unused ones zero

// A link to a master, kept in the dependant's .VAL.
inline constexpr size_t kToMasterSize = 0x1E0;
inline constexpr size_t kToMasterName = 0x000;       // the link's name
inline constexpr size_t kToMasterNameArea = 0x40;
inline constexpr size_t kToMasterTable = 0x0D4;      // master's file name; a stale path may follow its NUL
inline constexpr size_t kToMasterTableArea = 0xC6;
inline constexpr size_t kToMasterUpdateRule = 0x19A;
inline constexpr size_t kToMasterFieldCount = 0x19E;
inline constexpr size_t kToMasterFields = 0x1A0;     // this table's fields, 1-based
inline constexpr size_t kToMasterKeyFields = 0x1C0;  // the master's fields, 1-based

// The master part: the master's fields the dependants refer to, then how many dependants.
inline constexpr size_t kMasterPartSize = 0xBA;
inline constexpr size_t kMasterKeyCount = 0x96;  // from the start of the part (its u16 flag included)
inline constexpr size_t kMasterKeyFields = 0x98;
inline constexpr size_t kMasterDependantCount = 0xB8;

// A dependant, kept in the master's .VAL.
inline constexpr size_t kDependantSize = 0x12A;
inline constexpr size_t kDependantName = 0x000;
inline constexpr size_t kDependantNameArea = 0x40;
inline constexpr size_t kDependantTable = 0x040;
inline constexpr size_t kDependantTableArea = 0x52;
inline constexpr size_t kDependantUpdateRule = 0x106;
inline constexpr size_t kDependantFields = 0x10A;  // the dependant's fields, 1-based, as many as the key's

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_VAL_LAYOUT_H_
