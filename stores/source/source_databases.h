// SourceDatabases: the source database files one command reads, each copied into memory once.
// Every source table a command opens on the same file reads the same copy, so the learners, parents,
// links and classes of one command agree with each other even when the school-administration
// program writes the file meanwhile, and a table that several of them read is read from the copy
// once. Between commands nothing is kept: the next command copies the file afresh and sees what
// was written since.
#ifndef VARNHOLT_STORES_SOURCE_SOURCE_DATABASES_H_
#define VARNHOLT_STORES_SOURCE_SOURCE_DATABASES_H_

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "base/command_scope.h"
#include "stores/jet/jet_database.h"
#include "stores/jet/table_snapshot.h"

namespace varnholt {

class SourceDatabases {
 public:
  // Bracket one command; nested brackets count as the one outside them. The copies are dropped at
  // the end of the outermost one.
  void BeginCommand();
  void EndCommand();

  // The database at `path`, opened with `password`: inside a command the copy an earlier table of
  // the command was read from, else a fresh copy (see JetDatabase::Open for the errors).
  std::shared_ptr<const JetDatabase> Open(const std::string& path, const std::string& password);

  // The rows of `table` in the database at `path` (as Open, then JetDatabase::ReadTable): inside a
  // command the snapshot an earlier table of the command took, else a fresh one.
  std::shared_ptr<const TableSnapshot> ReadTable(const std::string& path, const std::string& password,
                                                 const std::string& table);

  // Forgets the copy of `path`, and the tables read from it: it proved to be taken while the file
  // was being written.
  void Forget(const std::string& path);

 private:
  int command_depth_ = 0;
  std::map<std::pair<std::string, std::string>, std::shared_ptr<const JetDatabase>> open_;  // (path, password)
  // (path, password, table)
  std::map<std::tuple<std::string, std::string, std::string>, std::shared_ptr<const TableSnapshot>> tables_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_SOURCE_SOURCE_DATABASES_H_
