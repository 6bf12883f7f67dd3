#include "base/calendar.h"

#include <gtest/gtest.h>

#include <ctime>

namespace varnholt {
namespace {

CivilDate Date(int64_t year, int month, int day) { return CivilDate{year, month, day}; }

TEST(CalendarTest, EpochsAndStoredValuesLandOnTheirDays) {
  EXPECT_EQ(DayFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DayFromCivil(1969, 12, 31), -1);
  // Paradox date fields: 0001-01-01 is day 1; 2018-01-01 is a value read from a genuine table.
  EXPECT_EQ(DayFromCivil(1, 1, 1) - kParadoxDayZero, 1);
  EXPECT_EQ(DayFromCivil(2018, 1, 1) - kParadoxDayZero, 0x0B3DB7);
  EXPECT_EQ(DayFromCivil(9999, 12, 31) - kParadoxDayZero, 3652059);
  // Date-times: 1899-12-30 is day 0, 1970-01-01 day 25569, as the platform counts them.
  EXPECT_EQ(DayFromCivil(1899, 12, 30) - kDateTimeDayZero, 0);
  EXPECT_EQ(-kDateTimeDayZero, 25569);
  EXPECT_EQ(DayFromCivil(2022, 1, 7) - kDateTimeDayZero, 44568);
  // The two countings differ by the days from 0001-01-01 to 1899-12-30.
  EXPECT_EQ(kDateTimeDayZero - kParadoxDayZero, 693594);
}

TEST(CalendarTest, AgreesWithTheCLibraryAcrossCenturies) {
  // timegm counts the same proleptic calendar; step through 1600..2400 a prime number of days at
  // a time so every month and weekday is met.
#ifdef _WIN32
  GTEST_SKIP() << "the C library's gmtime on Windows has no gmtime_r and no dates before 1970";
#else
  for (DayNumber day = DayFromCivil(1600, 1, 1); day < DayFromCivil(2400, 1, 1); day += 97) {
    const std::time_t seconds = static_cast<std::time_t>(day) * 86400;
    std::tm tm{};
    ASSERT_NE(gmtime_r(&seconds, &tm), nullptr);
    EXPECT_EQ(CivilFromDay(day), Date(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday)) << day;
  }
#endif
}

TEST(CalendarTest, LeapYearsFollowTheGregorianRule) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_TRUE(IsLeapYear(0));
  EXPECT_TRUE(IsLeapYear(-4));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_TRUE(IsCivilDate(2000, 2, 29));
  EXPECT_TRUE(IsCivilDate(1600, 2, 29));
  EXPECT_FALSE(IsCivilDate(1900, 2, 29));
  EXPECT_FALSE(IsCivilDate(2023, 2, 29));
  EXPECT_FALSE(IsCivilDate(2023, 4, 31));
  EXPECT_FALSE(IsCivilDate(2023, 0, 1));
  EXPECT_FALSE(IsCivilDate(2023, 13, 1));
  EXPECT_FALSE(IsCivilDate(2023, 1, 0));
  EXPECT_EQ(DayFromCivil(1900, 3, 1) - DayFromCivil(1900, 2, 28), 1);
  EXPECT_EQ(DayFromCivil(2000, 3, 1) - DayFromCivil(2000, 2, 28), 2);
  EXPECT_EQ(CivilFromDay(DayFromCivil(2000, 2, 29)), Date(2000, 2, 29));
  // A day past the month's end runs into the next month.
  EXPECT_EQ(DayFromCivil(2023, 1, 32), DayFromCivil(2023, 2, 1));
}

TEST(CalendarTest, DaysRoundTripBeforeYearOneAndFarAhead) {
  const DayNumber days[] = {DayFromCivil(-400, 3, 1) - 1, DayFromCivil(0, 1, 1), kParadoxDayZero,
                            kParadoxDayZero + 1, kDateTimeDayZero - 1, kDateTimeDayZero, 0,
                            DayFromCivil(9999, 12, 31), DayFromCivil(10000, 1, 1),
                            // Every int32 Paradox day count stays representable.
                            kParadoxDayZero + INT32_MAX, kParadoxDayZero + INT32_MIN};
  for (DayNumber day : days) {
    const CivilDate date = CivilFromDay(day);
    EXPECT_TRUE(IsCivilDate(date.year, date.month, date.day)) << day;
    EXPECT_EQ(DayFromCivil(date.year, date.month, date.day), day) << day;
  }
  EXPECT_EQ(CivilFromDay(kParadoxDayZero), Date(0, 12, 31));
  EXPECT_EQ(CivilFromDay(DayFromCivil(1, 1, 1) - 366), Date(0, 1, 1));  // year 0 is a leap year
  EXPECT_EQ(CivilFromDay(DayFromCivil(1752, 9, 3)), Date(1752, 9, 3));  // no calendar switch
  EXPECT_EQ(CivilFromDay(kDateTimeDayZero - 1), Date(1899, 12, 29));
  EXPECT_EQ(CivilFromDay(DayFromCivil(275760, 9, 13)), Date(275760, 9, 13));
}

TEST(CalendarTest, DateTimesCountTheTimeOfDayForwardAlsoBeforeDayZero) {
  EXPECT_EQ(DateTimeFromCivil(1899, 12, 30, 0, 0, 0), 0);
  EXPECT_EQ(DateTimeFromCivil(1899, 12, 30, 12, 0, 0), 0.5);
  EXPECT_EQ(DateTimeFromCivil(1900, 1, 1, 12, 0, 0), 2.5);
  EXPECT_EQ(DateTimeFromCivil(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_EQ(DateTimeFromCivil(1800, 1, 1, 18, 0, 0), -36522.75);
  EXPECT_EQ(DateTimeFromCivil(2024, 1, 15, 12, 0, 0), 45306.5);
  EXPECT_DOUBLE_EQ(DateTimeFromCivil(2024, 2, 29, 23, 59, 59), 45351 + 86399 / 86400.0);
}

}  // namespace
}  // namespace varnholt
