#include "base/ascii.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace varnholt {
namespace {

TEST(AsciiTest, FoldsOnlyAsciiLettersWhateverTheLocale) {
  // A single-byte locale must not change how names fold (std::toupper would, byte by byte).
  const char* previous = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = previous ? previous : "C";
  std::setlocale(LC_CTYPE, "en_US.ISO-8859-1");
  const std::string all_bytes = [] {
    std::string s;
    for (int b = 1; b < 256; ++b) s.push_back(static_cast<char>(b));
    return s;
  }();
  const std::string lower = AsciiLower(all_bytes), upper = AsciiUpper(all_bytes);
  std::setlocale(LC_CTYPE, saved.c_str());
  for (int b = 1; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const char want_lower = b >= 'A' && b <= 'Z' ? static_cast<char>(b + 32) : c;
    const char want_upper = b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : c;
    EXPECT_EQ(lower[b - 1], want_lower) << b;
    EXPECT_EQ(upper[b - 1], want_upper) << b;
  }
  EXPECT_EQ(AsciiUpper("learner_info.db \xe2\x82\xac"), "LEARNER_INFO.DB \xe2\x82\xac");
  EXPECT_EQ(AsciiLower("CH01MAST.VAL"), "ch01mast.val");
  EXPECT_EQ(AsciiLower(""), "");
}

TEST(AsciiTest, EqualityIgnoresOnlyAsciiCase) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Data Source", "data SOURCE"));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("", ""));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Provider", "Provide"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));  // 0x40 and 0x60 differ by the case bit alone
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xc3\x89", "\xc3\xa9"));  // É and é are not ASCII
}

}  // namespace
}  // namespace varnholt
