// TargetTable: a table of the target (Paradox) directory as the passes use it: bind, open, filter,
// read the current row, insert one new row and post it.
//
// All components and statements of one TargetSession share one open table per file, so a row
// posted here is seen at once by a statement and the other way round.
//
// Every failure throws StoreError. Own messages: "<Name>: Cannot perform this operation on an open
// dataset", "<Name>: Field '<f>' not found", "<Name>: Cannot perform this operation on a closed
// dataset", "<Name>: Dataset not in edit or insert mode" (a field set with no new row); unprefixed
// "Field '<f>' must have a value" and "Invalid value for field '<f>'" (an InvalidFieldValue, which
// keeps the field and the value for the pass to name its row); engine failures as the
// engine's texts, each line once.
#ifndef VARNHOLT_STORES_TARGET_TARGET_TABLE_H_
#define VARNHOLT_STORES_TARGET_TARGET_TABLE_H_

#include <memory>
#include <string>
#include <string_view>

#include "base/calendar.h"
#include "base/regional_settings.h"

namespace varnholt {

class TargetSession;

class TargetTable {
 public:
  TargetTable(std::string name, TargetSession& session, const RegionalSettings& settings);
  ~TargetTable();
  TargetTable(const TargetTable&) = delete;
  TargetTable& operator=(const TargetTable&) = delete;

  const std::string& Name() const;

  // Directory and file name of the table. The same text (case included) does nothing; another text
  // on an open component throws "<Name>: Cannot perform this operation on an open dataset".
  void SetDatabaseName(const std::string& directory);
  void SetTableName(const std::string& file_name);
  const std::string& DatabaseName() const;
  const std::string& TableName() const;

  // Opens the table (file name resolved in the directory without regard to case). On an open
  // component does nothing; a failed open leaves it closed.
  void Open();
  bool Active() const;

  // REQUIRES for everything below: Active().
  void First();
  void Next();
  bool Eof() const;

  // Setting Filter or Filtered first posts a pending new row. A changed filter is parsed at once
  // (a bad one throws even with Filtered off); with Filtered on it takes effect and the cursor goes
  // to the first matching row, also for an unchanged text. SetFiltered switches if changed and
  // always puts the cursor on the first row.
  void SetFilter(const std::string& text);
  void SetFiltered(bool on);
  const std::string& Filter() const;
  bool Filtered() const;

  // The current row's value as text; empty when null or when no row passes the filter.
  std::string FieldText(std::string_view field) const;

  // The width of a field as the table's own definition on disk gives it (alpha: bytes of the
  // table's code page), and whether a character field stores `text` whole, uncut: its bytes in that
  // code page fit the width. Fields of other kinds count as holding any text whole. Both throw
  // "<Name>: Field '<f>' not found".
  int FieldWidth(std::string_view field) const;
  bool HoldsWhole(std::string_view field, std::string_view text) const;
  // The code page of the table's text, as its header gives it.
  int CodePageNumber() const;

  // A new blank row, pending until Post(); a pending row is posted first.
  void Insert();
  // Sets a field of the pending row from text (see the contract in the .cpp for conversions). A
  // text the field cannot take throws InvalidFieldValue.
  void SetFieldText(std::string_view field, const std::string& text);
  // Sets a field of the pending row to a calendar date, without passing through regional text: a
  // date field takes the day, a character field the text "DD/MM/YYYY". Another kind of field, or a
  // year outside 1..9999, throws InvalidFieldValue quoting `shown`, the date as the source shows it.
  void SetFieldDate(std::string_view field, const CivilDate& date, const std::string& shown);
  // Writes the pending row through the engine. A refused post throws and leaves the table as it
  // was; the row stays pending until DiscardPending().
  void Post();
  // Drops a pending new row without writing it (after a command ended with an error).
  void DiscardPending();
  bool HasPending() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_TARGET_TARGET_TABLE_H_
