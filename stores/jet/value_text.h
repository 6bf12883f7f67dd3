// The text forms of the column types that have no number of their own here: GUIDs and Decimals.
#ifndef VARNHOLT_STORES_JET_VALUE_TEXT_H_
#define VARNHOLT_STORES_JET_VALUE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnholt {

inline constexpr size_t kJetGuidSize = 16;
inline constexpr size_t kJetNumericSize = 17;  // sign byte, then four u32, most significant first

// Appends "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex) for a stored GUID, whose first
// three groups are little-endian.
void AppendGuidText(const uint8_t* data, std::string* out);

// Appends a stored Decimal in plain digits with exactly `scale` digits after a '.' (none for 0),
// at least one before it, and '-' first when the sign byte says negative (also for zero).
void AppendNumericText(const uint8_t* data, unsigned scale, std::string* out);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_VALUE_TEXT_H_
