// ../shared/tools/pxinspect.py (written from the format notes alone) as a third opinion on files our
// engine wrote, for the tests only.
#ifndef VARNHOLT_TESTS_SUPPORT_FORMAT_AUDIT_H_
#define VARNHOLT_TESTS_SUPPORT_FORMAT_AUDIT_H_

#include <string>
#include <vector>

namespace varnholt::paradox::testing {

// The lines of the format audit script's report on `files` that say something is wrong, or that it could not
// run; "" when it has no complaint.
std::string FormatAuditComplaints(const std::vector<std::string>& files);

}  // namespace varnholt::paradox::testing

#endif  // VARNHOLT_TESTS_SUPPORT_FORMAT_AUDIT_H_
