// The source database of a School: Learner_info, Parent_info, Parent_child and Classes in a Jet 4
// file, with the column names and types of the school-administration system.
//
// Column types: ids (id, LearnerID, Class, ParentId, childid, learnerid, Parentid, Classid) Long
// Integer; thedate Date/Time; everything else Text, with the system's lengths (BirthDate Text(8),
// Status Text(1), ...). A Text column is widened to the longest value a hand-built school puts in
// it (up to 255 characters), so tests can store "AC" as a status.
#ifndef VARNHOLT_TOOLS_SAMPLE_SCHOOL_SOURCE_DATABASE_H_
#define VARNHOLT_TOOLS_SAMPLE_SCHOOL_SOURCE_DATABASE_H_

#include <string>
#include <vector>

#include "tools/jetwriter/jet_writer.h"
#include "tools/sample_school/school.h"

namespace varnholt::sample {

inline constexpr char kSourceFileName[] = "torbek.mdb";
inline constexpr char kSourcePassword[] = "Talvern";

// The four tables as data, for tests that alter the schema (drop or retype a column) before
// writing them with jet::WriteDatabase.
std::vector<jet::TableData> SourceTables(const School& school);

// Writes the four tables to path, rows streamed to disk. The header's creation date is fixed, so
// the same school gives the same bytes. Throws as jet::DatabaseWriter does.
void WriteSourceDatabase(const std::string& path, const School& school,
                         const std::string& password = kSourcePassword);

}  // namespace varnholt::sample

#endif  // VARNHOLT_TOOLS_SAMPLE_SCHOOL_SOURCE_DATABASE_H_
