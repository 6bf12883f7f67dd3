#include "stores/paradox/field_conversion.h"

#include <gtest/gtest.h>

#include "base/calendar.h"

namespace varnholt {
namespace {

using paradox::Field;
using paradox::FieldType;
using paradox::Value;

const RegionalSettings kSettings;

Value Convert(FieldType type, int size, const std::string& text) {
  auto value = ValueFromText(Field{"F", type, size}, text, kSettings);
  EXPECT_TRUE(value.has_value()) << text;
  if (!value) return paradox::Null{};
  return *value;
}

// What a date field stores for the date.
int32_t ParadoxDay(int year, int month, int day) {
  return static_cast<int32_t>(DayFromCivil(year, month, day) - kParadoxDayZero);
}

bool Refused(FieldType type, const std::string& text) {
  return !ValueFromText(Field{"F", type, 8}, text, kSettings).has_value();
}

TEST(FieldConversionTest, DatesReadDayMonthYearThenRegionalThenDayCount) {
  const int32_t jan25 = ParadoxDay(2010, 1, 25);
  EXPECT_EQ(Convert(FieldType::kDate, 4, "25/01/2010"), Value(paradox::Date{jan25}));
  EXPECT_EQ(Convert(FieldType::kDate, 4, "2010/01/25"), Value(paradox::Date{jan25}));
  EXPECT_EQ(Convert(FieldType::kDate, 4, " 5/1/2010 "), Value(paradox::Date{ParadoxDay(2010, 1, 5)}));
  // 40203 days after 30 December 1899.
  EXPECT_EQ(Convert(FieldType::kDate, 4, "40203"), Value(paradox::Date{jan25}));
  // Two-digit years fall into 1930..2029.
  EXPECT_EQ(Convert(FieldType::kDate, 4, "25/01/10"), Value(paradox::Date{jan25}));
  EXPECT_EQ(Convert(FieldType::kDate, 4, "25/01/45"), Value(paradox::Date{ParadoxDay(1945, 1, 25)}));
  // 01/02/2010 is the first of February, not the second of January.
  EXPECT_EQ(Convert(FieldType::kDate, 4, "01/02/2010"), Value(paradox::Date{ParadoxDay(2010, 2, 1)}));
  for (const char* bad : {"31/02/2010", "25/13/2010", "2010-01-25", "25/01", "abc", "2/00/2010",
                          "25/01/2010 10:00", "12/00/2010"}) {
    EXPECT_TRUE(Refused(FieldType::kDate, bad)) << bad;
  }
  RegionalSettings dotted{"dd.mm.yyyy", "hh:nn:ss", '.'};
  EXPECT_EQ(ValueFromText(Field{"F", FieldType::kDate, 4}, "25.01.2010", dotted),
            Value(paradox::Date{jan25}));
}

TEST(FieldConversionTest, EmptyTextIsNullForEveryType) {
  for (FieldType type : {FieldType::kAlpha, FieldType::kDate, FieldType::kMoney,
                         FieldType::kNumber, FieldType::kLogical, FieldType::kShort}) {
    EXPECT_EQ(Convert(type, 4, ""), Value(paradox::Null{}));
  }
}

TEST(FieldConversionTest, AlphaIsCutToItsWidthInCharacters) {
  EXPECT_EQ(Convert(FieldType::kAlpha, 3, "abcdef"), Value(std::string("abc")));
  EXPECT_EQ(Convert(FieldType::kAlpha, 3, "ab"), Value(std::string("ab")));
  EXPECT_EQ(Convert(FieldType::kAlpha, 2, "\xC3\xA9\xC3\xA8\xC3\xA0"),
            Value(std::string("\xC3\xA9\xC3\xA8")));
  // Blanks are kept: nothing is trimmed.
  EXPECT_EQ(Convert(FieldType::kAlpha, 10, " a "), Value(std::string(" a ")));
  EXPECT_EQ(ValueFromText(Field{"F", FieldType::kAlpha, 3}, "abcdef", kSettings, false),
            Value(std::string("abcdef")));
}

TEST(FieldConversionTest, NumbersMoneyAndLogicalParseTheirText) {
  EXPECT_EQ(Convert(FieldType::kMoney, 8, "12.50"), Value(12.5));
  EXPECT_EQ(Convert(FieldType::kNumber, 8, "-3"), Value(-3.0));
  EXPECT_EQ(Convert(FieldType::kNumber, 8, "1e3"), Value(1000.0));
  EXPECT_EQ(Convert(FieldType::kShort, 2, "-32767"), Value(int64_t{-32767}));
  EXPECT_EQ(Convert(FieldType::kLong, 4, "+70000"), Value(int64_t{70000}));
  EXPECT_EQ(Convert(FieldType::kLogical, 1, "true"), Value(true));
  EXPECT_EQ(Convert(FieldType::kLogical, 1, "F"), Value(false));
  for (const char* bad : {"12,5", "1.2.3", "abc", "0x10", "inf", "nan", "-"}) {
    EXPECT_TRUE(Refused(FieldType::kMoney, bad)) << bad;
  }
  EXPECT_TRUE(Refused(FieldType::kShort, "32768"));
  EXPECT_TRUE(Refused(FieldType::kShort, "-32768"));  // the null marker of a short field
  EXPECT_TRUE(Refused(FieldType::kShort, "1.5"));
  EXPECT_TRUE(Refused(FieldType::kLogical, "Truth"));
  EXPECT_TRUE(Refused(FieldType::kLogical, "maybe"));
}

TEST(FieldConversionTest, ValuesReadAsTheSourceSideWritesThem) {
  EXPECT_EQ(TextFromValue(paradox::Null{}, kSettings), "");
  EXPECT_EQ(TextFromValue(std::string("Ab c"), kSettings), "Ab c");
  EXPECT_EQ(TextFromValue(int64_t{-42}, kSettings), "-42");
  EXPECT_EQ(TextFromValue(1234.0, kSettings), "1234");
  EXPECT_EQ(TextFromValue(12.5, kSettings), "12.5");
  EXPECT_EQ(TextFromValue(0.1 + 0.2, kSettings), "0.3");  // 15 significant digits
  EXPECT_EQ(TextFromValue(-0.000001, kSettings), "-1E-6");
  EXPECT_EQ(TextFromValue(1e20, kSettings), "1E20");
  EXPECT_EQ(TextFromValue(true, kSettings), "True");
  EXPECT_EQ(TextFromValue(false, kSettings), "False");
  EXPECT_EQ(TextFromValue(paradox::Date{ParadoxDay(2010, 1, 5)}, kSettings), "2010/01/05");
  EXPECT_EQ(TextFromValue(paradox::Time{(13 * 3600 + 5 * 60 + 9) * 1000}, kSettings), "13:05:09");
  double day = ParadoxDay(2010, 1, 5) * 86'400'000.0;
  EXPECT_EQ(TextFromValue(paradox::Timestamp{day}, kSettings), "2010/01/05");
  EXPECT_EQ(TextFromValue(paradox::Timestamp{day + 3600'000}, kSettings), "2010/01/05 01:00:00");
  RegionalSettings dotted{"dd.mm.yyyy", "hh:nn:ss", '.'};
  EXPECT_EQ(TextFromValue(paradox::Date{ParadoxDay(2010, 1, 5)}, dotted), "05.01.2010");
}

TEST(FieldConversionTest, ValueForFieldKeepsOwnKindsAndConvertsOthersThroughText) {
  Field alpha{"A", FieldType::kAlpha, 4};
  Field money{"M", FieldType::kMoney, 8};
  Field date{"D", FieldType::kDate, 4};
  EXPECT_EQ(ValueForField(alpha, int64_t{357}, kSettings), Value(std::string("357")));
  EXPECT_EQ(ValueForField(alpha, int64_t{123456}, kSettings), Value(std::string("1234")));
  EXPECT_EQ(ValueForField(money, int64_t{5}, kSettings), Value(5.0));
  EXPECT_EQ(ValueForField(date, paradox::Date{7}, kSettings), Value(paradox::Date{7}));
  EXPECT_EQ(ValueForField(date, std::string("25/01/2010"), kSettings),
            Value(paradox::Date{ParadoxDay(2010, 1, 25)}));
  EXPECT_FALSE(ValueForField(money, std::string("x"), kSettings).has_value());
  EXPECT_FALSE(ValueForField(money, true, kSettings).has_value());
}

}  // namespace
}  // namespace varnholt
