// ../shared/tools/pxinspect.py (written from the format notes alone) as a third opinion on files our
// engine wrote, for the tests only.
#ifndef VARNHOLT_TESTS_SUPPORT_FORMAT_INSPECTOR_H_
#define VARNHOLT_TESTS_SUPPORT_FORMAT_INSPECTOR_H_

#include <string>
#include <vector>

namespace varnholt::paradox::testing {

// The lines of the format inspector's report on `files` that say something is wrong, or that it could not
// run; "" when it has no complaint.
std::string FormatInspectorComplaints(const std::vector<std::string>& files);

}  // namespace varnholt::paradox::testing

#endif  // VARNHOLT_TESTS_SUPPORT_FORMAT_INSPECTOR_H_
