#include "base/code_page.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "base/store_error.h"
#include "base/windows_1252.h"

namespace varnholt {
namespace {

TEST(CodePageTest, TableTextTransliteratedAndNeverCutInsideACharacter) {
  CodePage cp437(437);
  bool exact = false;
  const std::string zoe = cp437.FromUtf8("Zo\xC3\xAB M\xC3\xBCller", 20, &exact);
  EXPECT_TRUE(exact);
  EXPECT_EQ(zoe, "Zo\x89 M\x81ller");
  EXPECT_EQ(cp437.ToUtf8(reinterpret_cast<const uint8_t*>(zoe.data()), zoe.size()),
            "Zo\xC3\xAB M\xC3\xBCller");
  EXPECT_EQ(cp437.FromUtf8("\xD0\xB6", 10, &exact), "zh");  // Cyrillic zhe: transliterated
  EXPECT_FALSE(exact);
  EXPECT_EQ(cp437.FromUtf8("\xE4\xB8\xAD", 10, &exact), "?");  // no transliteration: "?"
  EXPECT_EQ(cp437.FromUtf8("a\xFF" "b", 10, &exact), "a?b");   // invalid UTF-8
  EXPECT_EQ(cp437.FromUtf8("ABCDEFGHIJKL", 10, &exact), "ABCDEFGHIJ");
  EXPECT_FALSE(exact);

  CodePage cp866(866);
  const std::string ivan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";  // Иван
  const std::string stored = cp866.FromUtf8(ivan, 10, &exact);
  EXPECT_TRUE(exact);
  EXPECT_EQ(stored.size(), 4u);
  EXPECT_EQ(cp866.ToUtf8(reinterpret_cast<const uint8_t*>(stored.data()), stored.size()), ivan);

  CodePage cp936(936);  // two bytes per Chinese character: never cut one in half
  const std::string zhongwen = "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97";  // 中文字
  const std::string cut = cp936.FromUtf8(zhongwen, 5, &exact);
  EXPECT_EQ(cut.size(), 4u);
  EXPECT_FALSE(exact);
  EXPECT_EQ(cp936.ToUtf8(reinterpret_cast<const uint8_t*>(cut.data()), cut.size()),
            zhongwen.substr(0, 6));
  EXPECT_THROW(CodePage(12345), StoreError);
}


// A window toolkit sets the process's locale from the user's, and glibc's own transliteration
// follows it: the bytes a name becomes must not.
TEST(CodePageTest, WhatStandsInForAMissingLetterIsTheSameInEveryLocale) {
  const std::string names = "Concei\xC3\xA7\xC3\xA3o \xC3\x98st \xE2\x82\xAC \xD0\xB6 \xC5\x81\xC3\xB3" "d\xC5\xBA";
  const std::string expected = CodePage(437).FromUtf8(names, 100);
  EXPECT_EQ(expected, "Concei\x87?o ?st EUR zh ?\xA2" "d?");
  EXPECT_EQ(CodePage(437).ConvertText(names), expected);
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  for (const char* locale : {"C.UTF-8", "en_US.UTF-8", "de_DE.UTF-8"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;  // not made on this machine
    EXPECT_EQ(CodePage(437).FromUtf8(names, 100), expected) << locale;
    EXPECT_EQ(CodePage(437).ConvertText(names), expected) << locale;
  }
  std::setlocale(LC_ALL, previous.c_str());
}

TEST(CodePageTest, EverySingleByteCharacterComesBackAsTheSameByte) {
  for (int number : {437, 850, 866, 1252}) {
    SCOPED_TRACE(number);
    const CodePage cp(number);
    for (int b = 1; b < 256; ++b) {
      const auto byte = static_cast<uint8_t>(b);
      const std::string utf8 = cp.ToUtf8(&byte, 1);
      if (utf8 == "\xEF\xBF\xBD") continue;  // undefined in this code page
      bool exact = false;
      EXPECT_EQ(cp.FromUtf8(utf8, 1, &exact), std::string(1, static_cast<char>(b))) << b;
      EXPECT_TRUE(exact) << b;
    }
  }
  const uint8_t undefined = 0x81;  // no character in Windows-1252
  EXPECT_EQ(CodePage(1252).ToUtf8(&undefined, 1), "\xEF\xBF\xBD");
}

TEST(CodePageTest, TextConvertsAlikeWithAndWithoutTheConverter) {
  // A text that starts with a character the code page lacks goes through the converter whole;
  // the same text without it takes the quick way as far as it can.
  const std::string lacking = "\xE4\xB8\xAD";
  for (int number : {437, 850, 1250, 1252}) {
    SCOPED_TRACE(number);
    const CodePage cp(number);
    std::string every;
    for (int b = 1; b < 256; ++b) {
      const auto byte = static_cast<uint8_t>(b);
      every += cp.ToUtf8(&byte, 1);
    }
    for (const std::string& text : {every, std::string("Zo\xC3\xAB, M\xC3\xBCller"), std::string("a\xC1\x81" "b"),
                                    std::string("\xE0\x83\xA9" "c"), std::string("\xED\xA0\x80" "d"),
                                    std::string("\xC3\xA9\xC3")}) {
      const std::string whole = cp.ConvertText(lacking + text);
      ASSERT_FALSE(whole.empty());
      EXPECT_EQ(cp.ConvertText(text), whole.substr(1)) << text;
    }
  }
}

TEST(CodePageTest, ReportTextGoesOutAsATextFileIsConverted) {
  // Unlike a table field, the report drops what transliterates to nothing and skips a broken
  // sequence by the length its first byte announces.
  EXPECT_EQ(ToWindows1252("Zo\xC3\xAB \xE2\x82\xAC" "5"), "Zo\xEB \x80" "5");
  EXPECT_EQ(ToWindows1252("\xC5\x81\xC3\xB3" "d\xC5\xBA"), "?\xF3" "d?");  // Łódź: no rule for Ł, ź
  EXPECT_EQ(ToWindows1252("a\xE2\x80\x8B" "b"), "ab");                    // zero-width space
  EXPECT_EQ(ToWindows1252("a\xE4\xB8\xAD" "b"), "a?b");                   // no transliteration
  EXPECT_EQ(ToWindows1252("a\xC3" "bc"), "a?c");  // a cut two-byte sequence takes "b" with it
  EXPECT_EQ(ToWindows1252("a\xE2\x80"), "a?");
  EXPECT_EQ(ToWindows1252("plain text"), "plain text");

  const CodePage cp1252(1252);
  EXPECT_EQ(cp1252.FromUtf8("a\xE2\x80\x8B" "b", 10), "a?b");  // a field keeps a mark
  EXPECT_EQ(cp1252.ConvertText("\xD0\xB6"), "zh");
  try {
    CodePage unknown(12345);
    ADD_FAILURE();
  } catch (const StoreError& e) {
    EXPECT_STREQ(e.what(), "code page 12345 is not supported");
  }
}

}  // namespace
}  // namespace varnholt
