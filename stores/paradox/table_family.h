// The files that make up a table family beside its .DB, found without regard to the case of names.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_FAMILY_H_
#define VARNHOLT_STORES_PARADOX_TABLE_FAMILY_H_

#include <string>
#include <utility>
#include <vector>

namespace varnholt::paradox {

// The file of the same family with extension `ext` (e.g. "PX"); when there is none, the name it
// would have (extension in the case of the .DB's).
std::string SiblingPath(const std::string& db_path, const std::string& ext);
// The secondary index files (.Xnn and their .Ynn) that the table's own engine keeps current, sorted
// by name. An unreadable file is left out.
std::vector<std::string> MaintainedSecondaryIndexes(const std::string& db_path);
// The same files as pairs of paths beside the .DB: each maintained X file and its Y file ("" when
// there is none), sorted by the X file's name.
std::vector<std::pair<std::string, std::string>> MaintainedSecondaryIndexPaths(
    const std::string& db_path);
// The file name of `path`, in capitals: how table files name themselves in their headers.
std::string UpperFileName(const std::string& path);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_FAMILY_H_
