// The one calendar: day numbers in the proleptic Gregorian calendar and the two countings the
// stores keep on disk (Paradox date fields and the source database's date-times).
#ifndef VARNHOLT_BASE_CALENDAR_H_
#define VARNHOLT_BASE_CALENDAR_H_

#include <cstdint>

namespace varnholt {

// Whole days from 1970-01-01 (day 0); earlier days are negative.
using DayNumber = int64_t;

struct CivilDate {
  int64_t year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

constexpr bool IsLeapYear(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// REQUIRES: 1 <= month <= 12.
constexpr int DaysInMonth(int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// 0000-03-01 lies this many days before 1970-01-01.
inline constexpr int64_t kDaysFrom0000March1To1970 = 719468;

// True when month and day name a day of that year.
constexpr bool IsCivilDate(int64_t year, int month, int day) {
  return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

// The day number of a date. REQUIRES: 1 <= month <= 12 (day may run past the month's end:
// day 32 of January is 1 February).
constexpr DayNumber DayFromCivil(int64_t year, int month, int day) {
  // Counted in 400-year eras from 0000-03-01, so that the leap day ends a counted year.
  const int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t year_of_era = y - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - kDaysFrom0000March1To1970;
}

// The date of a day number; every day number has one.
CivilDate CivilFromDay(DayNumber day);

// Paradox date fields count 0001-01-01 as day 1, so their day 0 is 0000-12-31.
inline constexpr DayNumber kParadoxDayZero = DayFromCivil(0, 12, 31);
// The source database's date-times, its filters and the platform count 1899-12-30 as day 0.
inline constexpr DayNumber kDateTimeDayZero = DayFromCivil(1899, 12, 30);

// A date and time of day as a date-time: the whole part counts days from kDateTimeDayZero, the
// fraction is the time of day, which counts forward also before day zero: -1.25 is 1899-12-29
// 06:00. REQUIRES: 1 <= month <= 12.
double DateTimeFromCivil(int64_t year, int month, int day, int hour, int minute, int second);

}  // namespace varnholt

#endif  // VARNHOLT_BASE_CALENDAR_H_
