// JetDatabase: a Jet 3 or Jet 4 database file opened read-only by our own reader (catalog, table
// definitions, data pages), with its password checked; reads a table whole into a TableSnapshot.
// The file is copied into memory once at Open and everything is read from that copy, so a table
// never mixes pages from before and after a write of the school-administration program.
//
// Messages (StoreError), each naming the file:
//   Could not find file '<path>'
//   Cannot read '<path>': <system reason>
//   Unrecognized database format '<path>': it is not a Jet database
//   Unrecognized database format '<path>': it is an Access 2007 or later database, which the
//     Jet 4.0 provider does not open
//   Unrecognized database format '<path>': the file is damaged
//   Not a valid password for '<path>'
//   Cannot find the table '<table>' in '<path>'
//   Cannot read '<path>': the school-administration program is writing the database; try again
//     when it is idle (FileBeingWritten: the file changed while it was copied, or its pages
//     disagree and it changed since; a caller may copy again)
#ifndef VARNHOLT_STORES_JET_JET_DATABASE_H_
#define VARNHOLT_STORES_JET_JET_DATABASE_H_

#include <memory>
#include <string>
#include <vector>

#include "stores/jet/file_image.h"
#include "stores/jet/jet_header.h"
#include "stores/jet/table_snapshot.h"

namespace varnholt {

class JetDatabase {
 public:
  // Opens `path` read-only and reads its catalog. A database with a password opens only with that
  // password (case counts); one without opens with any. Throws StoreError (see above).
  static std::unique_ptr<JetDatabase> Open(const std::string& path, const std::string& password);

  ~JetDatabase();
  JetDatabase(const JetDatabase&) = delete;
  JetDatabase& operator=(const JetDatabase&) = delete;

  const std::string& Path() const;
  JetVersion Version() const;
  // The user tables, in catalog order.
  std::vector<std::string> TableNames() const;

  // Reads the table called `name` (any case) whole. Throws StoreError for a table the database
  // lacks, or a table whose pages cannot be read: FileBeingWritten when the file changed since Open
  // (open it again to read it afresh).
  TableSnapshot ReadTable(const std::string& name) const;

 private:
  class Impl;
  // Open on one copy of the file.
  static std::unique_ptr<JetDatabase> OpenImage(const std::string& path, const std::string& password,
                                                FileImage image);
  explicit JetDatabase(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_JET_DATABASE_H_
