#include "base/byte_coding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace varnholt {
namespace {

using Bytes8 = std::array<uint8_t, 8>;

// Eight bytes with a guard byte either side, to catch a write outside its width.
struct Guarded {
  std::array<uint8_t, 10> b;
  Guarded() { b.fill(0xA5); }
  uint8_t* at() { return b.data() + 1; }
  bool guards_intact(int width) const { return b[0] == 0xA5 && b[1 + width] == 0xA5; }
};

// The constexpr forms must be usable where the layouts are checked at compile time.
static_assert(GetLe16("\x34\x12") == 0x1234);
static_assert(GetBe32("\x12\x34\x56\x78") == 0x12345678u);
static_assert(GetSortableInt("\x80\x01", 2) == 1);

TEST(ByteCodingTest, FixedWidthsRoundTripAtTheirEdgesInBothOrders) {
  for (uint64_t v : {uint64_t{0}, uint64_t{1}, uint64_t{0x7F}, uint64_t{0x80}, uint64_t{0xFFFF},
                     uint64_t{0x12345678}, uint64_t{0xFFFFFFFF}, uint64_t{0x8000000000000000},
                     std::numeric_limits<uint64_t>::max()}) {
    Guarded g;
    PutLe16(g.at(), static_cast<uint16_t>(v));
    EXPECT_EQ(GetLe16(g.at()), static_cast<uint16_t>(v));
    EXPECT_TRUE(g.guards_intact(2));
    PutBe16(g.at(), static_cast<uint16_t>(v));
    EXPECT_EQ(GetBe16(g.at()), static_cast<uint16_t>(v));
    EXPECT_TRUE(g.guards_intact(2));
    PutLe32(g.at(), static_cast<uint32_t>(v));
    EXPECT_EQ(GetLe32(g.at()), static_cast<uint32_t>(v));
    EXPECT_TRUE(g.guards_intact(4));
    PutBe32(g.at(), static_cast<uint32_t>(v));
    EXPECT_EQ(GetBe32(g.at()), static_cast<uint32_t>(v));
    EXPECT_TRUE(g.guards_intact(4));
    PutLe64(g.at(), v);
    EXPECT_EQ(GetLe64(g.at()), v);
    EXPECT_TRUE(g.guards_intact(8));
    PutBe64(g.at(), v);
    EXPECT_EQ(GetBe64(g.at()), v);
    EXPECT_TRUE(g.guards_intact(8));
  }
}

TEST(ByteCodingTest, ByteOrderIsAsStoredOnDisk) {
  Bytes8 b{};
  PutLe32(b.data(), 0x01020304);
  EXPECT_EQ(b, (Bytes8{4, 3, 2, 1, 0, 0, 0, 0}));
  PutBe32(b.data(), 0x01020304);
  EXPECT_EQ(b, (Bytes8{1, 2, 3, 4, 0, 0, 0, 0}));
  PutLe64(b.data(), 0x0102030405060708);
  EXPECT_EQ(b, (Bytes8{8, 7, 6, 5, 4, 3, 2, 1}));
  PutBe64(b.data(), 0x0102030405060708);
  EXPECT_EQ(b, (Bytes8{1, 2, 3, 4, 5, 6, 7, 8}));
  // High bytes above 0x7F must not sign-extend into the value (a char is signed on x86).
  const std::string text("\xFF\xFE\xFD\xFC", 4);
  EXPECT_EQ(GetLe16(text.data()), 0xFEFF);
  EXPECT_EQ(GetLe32(text.data()), 0xFCFDFEFFu);
  EXPECT_EQ(GetBe32(text.data()), 0xFFFEFDFCu);
  std::string out(4, '\0');
  PutLe32(out.data(), 0xFCFDFEFF);
  EXPECT_EQ(out, text);
  std::byte bytes[2];
  PutLe16(bytes, 0xBEEF);
  EXPECT_EQ(bytes[0], std::byte{0xEF});
  EXPECT_EQ(GetLe16(bytes), 0xBEEF);
}

TEST(ByteCodingTest, LittleEndianDoublesAreTheirIeeeBits) {
  Bytes8 b{};
  PutLeDouble(b.data(), 1.0);
  EXPECT_EQ(b, (Bytes8{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  for (double v : {0.0, -0.0, 1.5, -44568.25, std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::infinity()}) {
    PutLeDouble(b.data(), v);
    const double back = GetLeDouble(b.data());
    EXPECT_EQ(back, v);
    EXPECT_EQ(std::signbit(back), std::signbit(v)) << v;
  }
}

TEST(ByteCodingTest, SortableIntsMatchStoredFieldBytes) {
  Bytes8 b{};
  PutSortableInt(b.data(), 4, 0x0B3DB7);  // 2018-01-01 as a date field of a genuine table holds it
  EXPECT_EQ(b, (Bytes8{0x80, 0x0B, 0x3D, 0xB7, 0, 0, 0, 0}));
  PutSortableInt(b.data(), 2, 0);
  EXPECT_EQ(b[0], 0x80);
  EXPECT_EQ(b[1], 0x00);
  PutSortableInt(b.data(), 2, -1);
  EXPECT_EQ(b[0], 0x7F);
  EXPECT_EQ(b[1], 0xFF);
  // The most negative value of a width is the blank field's bytes; one above it is not.
  PutSortableInt(b.data(), 2, -32768);
  EXPECT_EQ(b[0] | b[1], 0);
  PutSortableInt(b.data(), 2, -32767);
  EXPECT_NE(b[0] | b[1], 0);
  PutSortableInt(b.data(), 4, -2147483647);
  EXPECT_EQ(GetSortableInt(b.data(), 4), -2147483647);
  EXPECT_NE(b[0] | b[1] | b[2] | b[3], 0);
}

TEST(ByteCodingTest, SortableIntsRoundTripAndSortBytewiseAtEveryWidth) {
  for (int width : {1, 2, 3, 4, 8}) {
    const int64_t max = width == 8 ? std::numeric_limits<int64_t>::max()
                                   : (int64_t{1} << (8 * width - 1)) - 1;
    const int64_t min = -max - 1;
    std::set<int64_t> values = {min, min + 1, -2, -1, 0, 1, max - 1, max};
    for (int64_t v : {-256, -255, -129, -128, 127, 128, 255, 256}) {
      if (v >= min && v <= max) values.insert(v);  // where a carry crosses a byte
    }
    std::vector<std::vector<uint8_t>> encoded;
    for (int64_t v : values) {
      Guarded g;
      PutSortableInt(g.at(), width, v);
      EXPECT_TRUE(g.guards_intact(width)) << width;
      EXPECT_EQ(GetSortableInt(g.at(), width), v) << "width " << width;
      encoded.emplace_back(g.at(), g.at() + width);
    }
    // The set is ascending, so the values' bytes must be too (std::vector compares bytewise).
    EXPECT_TRUE(std::is_sorted(encoded.begin(), encoded.end())) << "width " << width;
    EXPECT_EQ(std::adjacent_find(encoded.begin(), encoded.end()), encoded.end());
  }
}

TEST(ByteCodingTest, SortableDoublesSortBytewiseIncludingZeroesAndInfinities) {
  const double inf = std::numeric_limits<double>::infinity();
  const double max = std::numeric_limits<double>::max();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const std::vector<double> ascending = {-inf, -max, -1e300, -2.5, -1.0, -tiny, -0.0,
                                         0.0,  tiny, 1.0,    2.5,  1e300, max,  inf};
  std::vector<Bytes8> encoded;
  for (double v : ascending) {
    Bytes8 b{};
    PutSortableDouble(b.data(), v);
    const double back = GetSortableDouble(b.data());
    EXPECT_EQ(back, v);
    EXPECT_EQ(std::signbit(back), std::signbit(v)) << v;
    encoded.push_back(b);
  }
  EXPECT_TRUE(std::is_sorted(encoded.begin(), encoded.end()));
  EXPECT_EQ(std::adjacent_find(encoded.begin(), encoded.end()), encoded.end());  // -0.0 has its own bytes

  Bytes8 b{};
  PutSortableDouble(b.data(), 1.0);
  EXPECT_EQ(b, (Bytes8{0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
  PutSortableDouble(b.data(), 0.0);
  EXPECT_EQ(b, (Bytes8{0x80, 0, 0, 0, 0, 0, 0, 0}));  // zero is a number, not the blank field
  PutSortableDouble(b.data(), -0.0);
  EXPECT_EQ(b, (Bytes8{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ByteCodingTest, SortableDoubleNansStayOutsideTheNumbers) {
  const Bytes8 blank{};
  EXPECT_TRUE(std::isnan(GetSortableDouble(blank.data())));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Bytes8 above{}, below{}, inf{}, minus_inf{};
  PutSortableDouble(above.data(), nan);
  PutSortableDouble(below.data(), -nan);
  PutSortableDouble(inf.data(), std::numeric_limits<double>::infinity());
  PutSortableDouble(minus_inf.data(), -std::numeric_limits<double>::infinity());
  EXPECT_GT(above, inf);
  EXPECT_LT(below, minus_inf);
  EXPECT_TRUE(std::isnan(GetSortableDouble(above.data())));
  EXPECT_TRUE(std::isnan(GetSortableDouble(below.data())));
}

}  // namespace
}  // namespace varnholt
