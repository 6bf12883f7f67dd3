// Learners' dates that tell a right date path from a wrong one: a day and month that could be read
// either way round, a time of day, a leap day, days before 1970 and before the source's day zero,
// and a time that rounds to the next midnight. Each with the day the target must hold.
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_DATE_EDGE_CASES_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_DATE_EDGE_CASES_H_

#include <vector>

#include "tools/sample_school/school.h"

namespace varnholt::sample {

struct DateEdgeCase {
  const char* birth_date;  // BirthDate as the school program keeps it
  jet::DateTime admitted;  // thedate
  const char* birth_day;     // the target's CH01_DATE_OF_BIRTH, DD/MM/YYYY
  const char* admitted_day;  // the target's CH01_ADM_DATE, DD/MM/YYYY
};

std::vector<DateEdgeCase> DateEdgeCases();

// Gives the school's first learners (as many as there are cases) the cases' dates, in order.
void UseDateEdgeCases(School& school);

}  // namespace varnholt::sample

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_DATE_EDGE_CASES_H_
