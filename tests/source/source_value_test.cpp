#include "stores/jet/source_value.h"

#include <gtest/gtest.h>

namespace varnholt {
namespace {

SourceValue Int(int64_t i) {
  SourceValue v;
  v.is_null = false;
  v.integer = i;
  return v;
}
SourceValue Real(double r) {
  SourceValue v;
  v.is_null = false;
  v.real = r;
  return v;
}

TEST(SourceValueTest, NumbersArePlainWithAFullStop) {
  const RegionalSettings rs;
  EXPECT_EQ(FieldTextOf(SourceType::kInteger, Int(-2147483648LL), rs), "-2147483648");
  EXPECT_EQ(FieldTextOf(SourceType::kInteger, SourceValue{}, rs), "");
  EXPECT_EQ(FieldTextOf(SourceType::kBoolean, Int(1), rs), "True");
  EXPECT_EQ(FieldTextOf(SourceType::kBoolean, Int(0), rs), "False");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(0.1), rs), "0.1");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(-2.5), rs), "-2.5");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(3), rs), "3");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(1.0 / 3), rs), "0.333333333333333");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(123456789012345.0), rs), "123456789012345");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(0.00001234), rs), "0.00001234");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(1e20), rs), "1E20");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(-1.5e-7), rs), "-1.5E-7");
  EXPECT_EQ(FieldTextOf(SourceType::kDouble, Real(0), rs), "0");
  EXPECT_EQ(FieldTextOf(SourceType::kSingle, Real(static_cast<float>(0.1)), rs), "0.1");
  EXPECT_EQ(FieldTextOf(SourceType::kCurrency, Int(35000), rs), "3.5");
  EXPECT_EQ(FieldTextOf(SourceType::kCurrency, Int(-12345), rs), "-1.2345");
  EXPECT_EQ(FieldTextOf(SourceType::kCurrency, Int(1230000), rs), "123");
}

TEST(SourceValueTest, DatesFollowTheRegionalSettings) {
  RegionalSettings rs;
  const SourceValue midnight = Real(45351);           // 2024-02-29
  const SourceValue evening = Real(45351.75);         // 18:00
  const SourceValue early = Real(-1.25);              // 1899-12-29 06:00
  const SourceValue almost = Real(45351.9999999999);  // rounds up to the next day's midnight
  EXPECT_EQ(FieldTextOf(SourceType::kDateTime, midnight, rs), "2024/02/29");
  EXPECT_EQ(FieldTextOf(SourceType::kDateTime, evening, rs), "2024/02/29 18:00:00");
  EXPECT_EQ(FieldTextOf(SourceType::kDateTime, early, rs), "1899/12/29 06:00:00");
  EXPECT_EQ(FieldTextOf(SourceType::kDateTime, almost, rs), "2024/03/01");
  rs.short_date_format = "dd/mm/yyyy";
  rs.date_separator = '-';
  rs.long_time_format = "h:nn:ss";
  EXPECT_EQ(FieldTextOf(SourceType::kDateTime, evening, rs), "29-02-2024 18:00:00");
  EXPECT_EQ(FieldTextOf(SourceType::kDateTime, Real(45351.25), rs), "29-02-2024 6:00:00");
  rs.short_date_format = "d/m/yy";
  EXPECT_EQ(FieldTextOf(SourceType::kDateTime, Real(36526), rs), "1-1-00");  // 2000-01-01
  // Zero-padded to the width, as printf's %0*d: wider numbers and years before 1 stay whole.
  EXPECT_EQ(FormatDateTime("yyyy/m/d h:nn", '.', 7, 12, 31, 0, 5, 0), "0007.12.31 0:05");
  EXPECT_EQ(FormatDateTime("yyyy dd", '/', 12345, 3, 10, 0, 0, 0), "12345 10");
  EXPECT_EQ(FormatDateTime("yyyy yy", '/', -5, 1, 1, 0, 0, 0), "-005 95");
}

}  // namespace
}  // namespace varnholt
