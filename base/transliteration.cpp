#include "base/transliteration.h"

#include <algorithm>
#include <iterator>

namespace varnholt {

namespace {

struct Rule {
  char32_t code_point;
  const char* text;
};

// Sorted by code point.
constexpr Rule kRules[] = {
#include "base/transliteration_table.inc"
};

}  // namespace

std::string_view TransliterationOf(char32_t code_point) {
  const auto* it = std::lower_bound(std::begin(kRules), std::end(kRules), code_point,
                                    [](const Rule& rule, char32_t c) { return rule.code_point < c; });
  if (it == std::end(kRules) || it->code_point != code_point) return kNoTransliteration;
  return it->text;
}

}  // namespace varnholt
