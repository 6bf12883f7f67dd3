// The target half of a sample school: the four Varnholt tables, empty or pre-filled with a share of
// the school's classes, parents and learners under their own codes but with other values than the
// source's (so an update has something to rewrite and a test can see what it rewrote).
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_TARGET_TABLES_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_TARGET_TABLES_H_

#include <string>

#include "tools/sample_school/school.h"

namespace varnholt::sample {

inline constexpr char kTargetFolderName[] = "varnholt";

// Creates the four tables in directory (which must exist and hold none of them) and fills them with
// holds (0 to 1) of the school's classes, parents and learners, spread evenly over each list.
// indexed: the tables get their secondary indexes first (AddVarnholtIndexes), kept as rows arrive.
void WriteTargetTables(const std::string& directory, const School& school, double holds,
                       bool indexed = false);

// True for the items the share takes: item i of a list when holds * (i + 1) crosses a whole number.
bool TakenByShare(size_t index, double holds);

}  // namespace varnholt::sample

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_TARGET_TABLES_H_
