// jet-dump: the tables of a Jet database as the program reads them, as CSV. Each table is a line
// of column names, then one line per row in stored order, each value its field text (dates in the
// default regional settings, yyyy/mm/dd hh:nn:ss). NULL is an empty field; an empty text is "".
// Fields holding a comma, a quote or a line break are quoted, quotes doubled. Tables are separated
// by an empty line.
#ifndef VARNHOLT_TOOLS_JET_DUMP_JET_DUMP_H_
#define VARNHOLT_TOOLS_JET_DUMP_JET_DUMP_H_

#include <ostream>
#include <string>
#include <vector>

namespace varnholt {

// Runs jet-dump with its arguments (FILE [TABLE...] [--password TEXT]), writing the CSV to `out`
// and messages to `err`. Returns the exit status: 0, 1 when the file or a table cannot be read
// (the message says why), 2 for bad arguments.
int RunJetDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// `text` as a CSV field: quoted when it holds a comma, a quote or a line break, or is empty.
std::string CsvField(const std::string& text);

}  // namespace varnholt

#endif  // VARNHOLT_TOOLS_JET_DUMP_JET_DUMP_H_
