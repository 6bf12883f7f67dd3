// What stands in for a character a code page lacks, by the same rules glibc's iconv follows with
// //TRANSLIT in the C locale: "€" is "EUR", "ж" is "zh", a zero-width space is nothing, and a
// character with no rule is "?". The Linux build gets this from iconv itself; the Windows build,
// whose code pages come from Win32, from this table, so the two write the same bytes.
#ifndef VARNHOLT_BASE_TRANSLITERATION_H_
#define VARNHOLT_BASE_TRANSLITERATION_H_

#include <string_view>

namespace varnholt {

inline constexpr std::string_view kNoTransliteration = "?";

// The ASCII text for `code_point` (possibly empty), or kNoTransliteration when there is no rule.
std::string_view TransliterationOf(char32_t code_point);

}  // namespace varnholt

#endif  // VARNHOLT_BASE_TRANSLITERATION_H_
