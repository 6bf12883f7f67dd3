// The same bytes on every platform: Linux converts with glibc's iconv, Windows with Win32's code
// pages and our transliteration table. The expected bytes are glibc's.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "base/transliteration.h"
#include "base/windows_1252.h"

namespace varnholt {
namespace {

struct Case {
  int code_page;
  std::string utf8;
  std::string bytes;
  bool exact;
};

TEST(CodePageBytesTest, TextsBecomeTheSameBytesEverywhere) {
  const std::vector<Case> cases = {
      {437, "Zo\xC3\xAB M\xC3\xBCller", "Zo\x89 M\x81ller", true},
      {437, "\xE2\x82\xAC" "5", "EUR5", false},                                // euro sign
      {437, "\xD0\x96\xD1\x83\xD0\xBA", "ZHuk", false},                         // Cyrillic
      {437, "\xC3\x86r\xC3\xB8", "\x92r?", false},                              // Ærø: no ø in 437
      {437, "\xE2\x80\x9C" "a\xE2\x80\x9D \xE2\x80\x93 \xE2\x80\xA6", "\"a\" - ...", false},
      {437, "\xE4\xB8\xAD", "?", false},                                        // no rule
      {850, "\xC3\x98stergaard \xC2\xA9", "\x9Dstergaard \xB8", true},
      {850, "\xC5\x81\xC3\xB3" "d\xC5\xBA", "?\xA2" "d?", false},               // Łódź
      {866, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", "\x88\xA2\xA0\xAD", true},       // Иван
      {866, "\xC3\xA9\xC2\xAB", "?<<", false},
      {1252, "Ren\xC3\xA9\xE2\x82\xAC \xC5\x93", "Ren\xE9\x80 \x9C", true},
      {1252, "\xEF\xAC\x81" "x \xE2\x84\xA2", "fix \x99", false},                 // ﬁ ligature, ™
      {1252, "\xC2\x81", "?", false},                                           // undefined in 1252
      {936, "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4", true},               // 中文
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("code page " + std::to_string(c.code_page) + ": " + c.utf8);
    const CodePage code_page(c.code_page);
    bool exact = !c.exact;
    EXPECT_EQ(code_page.FromUtf8(c.utf8, 64, &exact), c.bytes);
    EXPECT_EQ(exact, c.exact);
    if (c.exact) {
      EXPECT_EQ(code_page.ToUtf8(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()), c.utf8);
    }
  }
}

TEST(CodePageBytesTest, ReportTextBecomesTheSameBytesEverywhere) {
  EXPECT_EQ(ToWindows1252("Zo\xC3\xAB \xE2\x82\xAC" "5"), "Zo\xEB \x80" "5");
  EXPECT_EQ(ToWindows1252("\xD0\x96\xD1\x83\xD0\xBA \xE2\x80\x94 \xE2\x80\xB9x\xE2\x80\xBA"), "ZHuk \x97 \x8Bx\x9B");
  EXPECT_EQ(ToWindows1252("a\xE2\x80\x8B" "b"), "ab");  // a zero-width space is dropped
  EXPECT_EQ(ToWindows1252("a\xE4\xB8\xAD" "b\xC5\x81"), "a?b?");
  EXPECT_EQ(TransliterationOf(U'\u20AC'), "EUR");
  EXPECT_EQ(TransliterationOf(U'\u200B'), "");
  EXPECT_EQ(TransliterationOf(U'\u4E2D'), kNoTransliteration);
}

// Every byte of the table code pages reads as the same character: a digest of all 256 readings,
// taken from glibc, for each code page.
TEST(CodePageBytesTest, EveryByteReadsAsTheSameCharacterEverywhere) {
  const std::vector<std::pair<int, uint64_t>> digests = {
      {437, 9685894985370623561ull},   {850, 2804045309897010993ull},  {852, 9980787463291173382ull},
      {866, 17876538892585288082ull},  {1250, 15133719673297142102ull}, {1251, 4873646432289511698ull},
      {1252, 5463553519196373913ull},
  };
  for (const auto& [number, digest] : digests) {
    SCOPED_TRACE(number);
    const CodePage code_page(number);
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    std::string all;
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<uint8_t>(b);
      all += code_page.ToUtf8(&byte, 1) + "|";
    }
    for (unsigned char c : all) hash = (hash ^ c) * 1099511628211ull;
    EXPECT_EQ(hash, digest) << all;
  }
}

}  // namespace
}  // namespace varnholt
