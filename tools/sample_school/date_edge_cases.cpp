#include "tools/sample_school/date_edge_cases.h"

#include <algorithm>

namespace varnholt::sample {

std::vector<DateEdgeCase> DateEdgeCases() {
  using jet::DateTime;
  return {
      {"20190304", DateTime::FromCivil(2019, 3, 4), "04/03/2019", "04/03/2019"},  // day and month both 12 or less
      {"20200112", DateTime::FromCivil(2020, 1, 12, 7, 45), "12/01/2020", "12/01/2020"},  // a time of day
      {"20160229", DateTime::FromCivil(2016, 2, 29, 23, 59, 59), "29/02/2016", "29/02/2016"},  // a leap day
      {"19650712", DateTime::FromCivil(1969, 12, 31, 12, 0), "12/07/1965", "31/12/1969"},      // before 1970
      {"18991231", DateTime::FromCivil(1899, 12, 29, 6, 0), "31/12/1899", "29/12/1899"},       // before day zero
      {"20101109 ", DateTime{44561.9999999}, "09/11/2010", "01/01/2022"},  // a blank after; 23:59:59.99
  };
}

void UseDateEdgeCases(School& school) {
  const std::vector<DateEdgeCase> cases = DateEdgeCases();
  const size_t count = std::min(cases.size(), school.learners.size());
  for (size_t i = 0; i < count; ++i) {
    school.learners[i].birth_date = cases[i].birth_date;
    school.learners[i].admitted = cases[i].admitted;
  }
}

}  // namespace varnholt::sample
