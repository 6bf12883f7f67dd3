// SourceTable: a read-only table of the source (Jet) database, the component the passes read
// Learner_info, Parent_info, Parent_child and Classes through.
//
// Open reads the whole table at once (a keyset snapshot); later reads never touch the file. The
// cursor walks the rows that pass the filter in force, in the table's stored order.
//
// Every failure throws StoreError. A component's own messages have the form "<Name>: <message>";
// failures of the database (missing file, wrong password, unreadable filter) carry their own text.
#ifndef VARNHOLT_STORES_SOURCE_SOURCE_TABLE_H_
#define VARNHOLT_STORES_SOURCE_SOURCE_TABLE_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/calendar.h"
#include "base/regional_settings.h"

namespace varnholt {

class SourceDatabases;

class SourceTable {
 public:
  // name: the component's name, first in its messages ("tblLearner_Info"). `databases`, when given
  // (it must outlive the component), shares one copy of the database file among the source tables
  // of a command; without it every Open copies the file.
  SourceTable(std::string name, const RegionalSettings& settings, SourceDatabases* databases = nullptr);
  ~SourceTable();
  SourceTable(const SourceTable&) = delete;
  SourceTable& operator=(const SourceTable&) = delete;

  const std::string& Name() const;

  // The same text as before does nothing; another text on an open component throws
  // "<Name>: Cannot perform this operation on an open dataset"; on a closed one it is stored.
  void SetConnectionString(const std::string& text);
  const std::string& ConnectionString() const;
  void SetTableName(const std::string& text);
  const std::string& TableName() const;

  // Active on: parses the connection string, opens the database read-only, checks the password,
  // reads the table whole and stands on the first row. On an open component does nothing. A failed
  // open leaves the component closed.
  void Open();
  bool Active() const;

  // REQUIRES for the moves and reads below: Active(); on a closed component they throw
  // "<Name>: Cannot perform this operation on a closed dataset".
  void First();
  // At the last row the cursor stays and Eof() becomes true; at the end nothing moves.
  void Next();
  bool Eof() const;
  // Rows that pass the filter in force (all rows when Filtered() is off).
  int RecordCount() const;

  // The same text does nothing. Another text, while open with Filtered() on, takes effect at once and
  // puts the cursor on the first matching row (a filter it cannot read throws, quoting the text);
  // otherwise it is only stored.
  void SetFilter(const std::string& text);
  const std::string& Filter() const;
  // The same value does nothing; a change on an open component applies or removes the stored filter
  // and puts the cursor on the first row.
  void SetFiltered(bool on);
  bool Filtered() const;

  // The current row's value as text; empty when null or when no row passes the filter. Names match
  // regardless of case; a name the table lacks throws "<Name>: Field '<field>' not found".
  std::string FieldText(std::string_view field) const;

  // The current row's value read as a date, without regional text in between: for a Date/Time
  // column its calendar day as FieldText shows it (none when null); for a column of another kind no
  // day, for the caller to read `text` as its form of date says. `text` is always FieldText(field).
  struct Date {
    std::optional<CivilDate> day;
    std::string text;
  };
  Date FieldDate(std::string_view field) const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_SOURCE_SOURCE_TABLE_H_
