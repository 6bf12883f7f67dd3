// varnholt-restore: lists the backups of a target folder, and puts one back (stores/backup).
//   varnholt-restore --target DIR --list
//       one line a backup, newest first, tab-separated: id, time, command, folder, rows added,
//       rows rewritten
//   varnholt-restore --target DIR --restore ID|latest [--table-password TEXT]
//       puts the tables back as they were before that backup's command, and prints a line a table
//       of what changed and the backup that undoes the restore
// Exits 0 when done, 1 when the restore or the listing failed (the reason on the error stream,
// the tables as before), 2 for a bad command line.
#ifndef VARNHOLT_TOOLS_RESTORE_RESTORE_TOOL_H_
#define VARNHOLT_TOOLS_RESTORE_RESTORE_TOOL_H_

#include <ctime>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace varnholt {

// `arguments` without the program's name; `now` the local time, for the restore's own backup.
int RunRestoreTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const std::function<std::time_t()>& now = [] { return std::time(nullptr); });

}  // namespace varnholt

#endif  // VARNHOLT_TOOLS_RESTORE_RESTORE_TOOL_H_
