// Case folding of text as the source database compares it: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic capitals fold to small letters; everything else is left as it is.
#ifndef VARNHOLT_BASE_CASE_FOLD_H_
#define VARNHOLT_BASE_CASE_FOLD_H_

#include <string>
#include <string_view>

namespace varnholt {

// The folded form of one code point.
char32_t FoldCodePoint(char32_t c);

// `text` (UTF-8) with every code point folded; bytes of invalid sequences are copied unchanged.
std::string FoldCase(std::string_view text);

}  // namespace varnholt

#endif  // VARNHOLT_BASE_CASE_FOLD_H_
