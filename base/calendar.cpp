#include "base/calendar.h"

namespace varnholt {

CivilDate CivilFromDay(DayNumber day) {
  // The inverse of DayFromCivil: eras of 146,097 days, years starting in March.
  const int64_t z = day + kDaysFrom0000March1To1970;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t day_of_era = z - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t month_from_march = (5 * day_of_year + 2) / 153;
  CivilDate date;
  date.day = static_cast<int>(day_of_year - (153 * month_from_march + 2) / 5 + 1);
  date.month = static_cast<int>(month_from_march < 10 ? month_from_march + 3 : month_from_march - 9);
  date.year = year_of_era + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

double DateTimeFromCivil(int64_t year, int month, int day, int hour, int minute, int second) {
  constexpr double kSecondsPerDay = 86400.0;
  const double days = static_cast<double>(DayFromCivil(year, month, day) - kDateTimeDayZero);
  const double time_of_day = (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
  return days >= 0 ? days + time_of_day : days - time_of_day;
}

}  // namespace varnholt
