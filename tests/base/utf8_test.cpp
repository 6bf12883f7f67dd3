#include "base/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnholt {
namespace {

// The characters NextUtf8Character steps over, as substrings.
std::vector<std::string> Characters(std::string_view text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    size_t next = NextUtf8Character(text, i);
    out.emplace_back(text.substr(i, next - i));
    i = next;
  }
  return out;
}

TEST(Utf8Test, SequenceLengthFollowsTheLeadByte) {
  EXPECT_EQ(Utf8SequenceLength('A'), 1u);
  EXPECT_EQ(Utf8SequenceLength('\x7f'), 1u);
  EXPECT_EQ(Utf8SequenceLength('\x80'), 0u);  // a continuation byte starts nothing
  EXPECT_EQ(Utf8SequenceLength('\xbf'), 0u);
  EXPECT_EQ(Utf8SequenceLength('\xc3'), 2u);
  EXPECT_EQ(Utf8SequenceLength('\xe2'), 3u);
  EXPECT_EQ(Utf8SequenceLength('\xf0'), 4u);
  EXPECT_EQ(Utf8SequenceLength('\xf7'), 4u);
  EXPECT_EQ(Utf8SequenceLength('\xf8'), 0u);
  EXPECT_EQ(Utf8SequenceLength('\xff'), 0u);
  EXPECT_TRUE(IsUtf8Continuation('\x80'));
  EXPECT_TRUE(IsUtf8Continuation('\xbf'));
  EXPECT_FALSE(IsUtf8Continuation('\xc0'));
  EXPECT_FALSE(IsUtf8Continuation('a'));
}

TEST(Utf8Test, SteppingKeepsEachCharacterWholeAndStrayBytesApart) {
  EXPECT_EQ(Characters("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z"),
            (std::vector<std::string>{"a", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "z"}));
  // Stray continuation bytes belong to the character before them; a cut sequence ends the text.
  EXPECT_EQ(Characters("\x80x\xa9\xa9y\xe2\x82"),
            (std::vector<std::string>{"\x80", "x\xa9\xa9", "y", "\xe2\x82"}));
}

TEST(Utf8Test, DecodeAndAppendRoundTripEveryPlane) {
  for (char32_t c : {0x0u, 0x41u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string text;
    AppendUtf8(c, &text);
    EXPECT_EQ(text.size(), Utf8SequenceLength(text[0])) << static_cast<uint32_t>(c);
    size_t i = 0;
    char32_t back = 0;
    ASSERT_TRUE(DecodeUtf8(text, &i, &back)) << static_cast<uint32_t>(c);
    EXPECT_EQ(back, c);
    EXPECT_EQ(i, text.size());
  }
}

TEST(Utf8Test, BrokenSequencesDecodeAsOneStrayByte) {
  for (std::string_view text : {"\x80", "\xc3", "\xe2\x82", "\xc3z", "\xf8\x80\x80\x80\x80"}) {
    size_t i = 0;
    char32_t c = 0;
    EXPECT_FALSE(DecodeUtf8(text, &i, &c)) << text;
    EXPECT_EQ(i, 1u);
  }
}

}  // namespace
}  // namespace varnholt
