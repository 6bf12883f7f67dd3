// paradox::Table: one open Paradox table family (.DB with its .PX, .MB and the secondary indexes
// its engine keeps current), held in memory. Posts change the memory only; Save writes them all to
// disk as one step, so the files on disk always hold a whole, consistent state (the one before the
// posts or the one after), whenever the process stops.
//
// This header is the engine's public face, used by the target components and the local SQL.
// Every failure throws EngineError, whose text names the file and what is wrong.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_H_
#define VARNHOLT_STORES_PARADOX_TABLE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/engine_error.h"

namespace varnholt::paradox {

struct PreparedSave;

// Field type codes as stored in the header.
enum class FieldType : uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBlob = 0x0D,
  kFormattedMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoIncrement = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

struct Field {
  std::string name;
  FieldType type;
  int size;  // bytes in the record (alpha: its width in characters of the code page)
};

// Decoded values. Null is told apart from empty text and from zero.
struct Null {
  bool operator==(const Null&) const = default;
};
struct Date {  // days since 1 January of year 1 (day 1), the Paradox day count
  int32_t days;
  bool operator==(const Date&) const = default;
};
struct Time {  // milliseconds since midnight
  int32_t milliseconds;
  bool operator==(const Time&) const = default;
};
struct Timestamp {  // milliseconds since the start of day 1
  double milliseconds;
  bool operator==(const Timestamp&) const = default;
};
struct Bytes {  // bytes, blobs and anything kept opaque
  std::vector<uint8_t> data;
  bool operator==(const Bytes&) const = default;
};
// Text is UTF-8 (alpha and memo); integers: short, long, autoincrement; double: number, money, BCD.
using Value = std::variant<Null, std::string, int64_t, double, bool, Date, Time, Timestamp, Bytes>;
using Record = std::vector<Value>;  // one value per field, in field order

// Stable for the life of the open table: inserts and updates never renumber rows.
using RowId = uint32_t;

struct TableSchema {
  std::vector<Field> fields;
  int key_field_count = 0;  // the first N fields form the primary key (0: not keyed)
  int code_page = 437;
  std::string sort_order = "ascii";
  int block_size = 0;  // bytes per block, 1024 × 1..32; 0: 2048, or more when a record needs it
};

class Table {
 public:
  // Opens the table at db_path (the .DB file). writable: takes an OS lock ("in use" error when
  // another of our processes holds it) and allows Insert/Update. Never writes on open: counters or
  // a .PX that another writer left behind the blocks are put right in memory and reach the disk
  // with the first save that has rows to write. What is unusual but valid (a short last block, .PX
  // blocks listed out of order, a free list in any order, stale bytes after a block's records)
  // stays as it is. A password-protected table opens only with its password (table_crypt.h):
  // without one it throws PasswordRequiredError, with another WrongPasswordError (engine_message.h);
  // it is then read and written scrambled as it was.
  static std::unique_ptr<Table> Open(const std::string& db_path, bool writable,
                                     const std::string& password = {});
  // Creates a new, empty table family as genuine writers do; fails if the file exists.
  static void Create(const std::string& db_path, const TableSchema& schema);

  virtual ~Table() = default;

  virtual const std::string& path() const = 0;
  virtual const std::vector<Field>& fields() const = 0;
  virtual int key_field_count() const = 0;
  // The code page of the table's text.
  virtual int code_page() const = 0;
  // Case-insensitive; -1 when the table has no such field.
  virtual int FindField(std::string_view name) const = 0;
  // The bytes UTF-8 text takes in an alpha field of this table, in its code page and before any
  // cut to width (a character the code page lacks counted as what stands in for it).
  virtual size_t StoredLength(std::string_view text) const = 0;

  // Rows in table order (key order for keyed tables).
  virtual std::vector<RowId> Rows() = 0;
  virtual size_t RecordCount() = 0;
  // The reference stays valid until that row is rewritten, the files are read again, or thousands
  // of other rows have been read.
  virtual const Record& Get(RowId row) = 0;
  // One field of a row, decoded alone: for a caller that looks at a few fields of many rows.
  virtual Value GetField(RowId row, int field) = 0;
  // Rows whose field equals value exactly (text: byte for byte), in table order. O(1) amortised:
  // an index per field, built on first use and kept current.
  virtual std::vector<RowId> FindEqual(int field, const Value& value) = 0;

  // Adds a new record (alpha cut to width, converted to the code page). Keyed: in key order; a
  // duplicate key throws and changes nothing. Every maintained secondary index gets its entry. A key
  // whose place the table's sort order might decide otherwise than byte order, a value a
  // case-insensitive index cannot capitalise, or an index this engine cannot keep throws and
  // changes nothing. On disk at the next Save. REQUIRES: opened writable.
  virtual RowId Insert(const Record& record) = 0;
  // Rewrites a record; a changed key moves it, in the table and in its indexes. A clash with
  // another key, or any refusal Insert makes, throws and changes nothing.
  virtual void Update(RowId row, const Record& record) = 0;

  // Reads only: throws, as Update would, when rewriting the rows of `changes` (each with its new
  // record) as one step would leave two rows under one entry of a unique secondary index, between
  // themselves or with a row they leave alone.
  virtual void CheckUniqueEntries(const std::vector<std::pair<RowId, const Record*>>& changes) = 0;

  // Writes every post since the last save: complete new files beside the old ones, flushed to the
  // disk, then put in their place by rename, the index files first and the .DB last. A failure throws,
  // leaves the old files as they were and keeps the posts for the next Save. When another program
  // changed the files since we read them, nothing is written: the posts are dropped, the files
  // read again, and the error says so. Does nothing when there is nothing to save.
  virtual void Save() = 0;
  // Save in steps, for a command whose tables change together: PrepareSave writes and flushes
  // every new file and throws as Save does, leaving nothing new; CommitSave then puts them in place
  // (its failures as Save's), or AbandonSave drops them and keeps the posts. Several tables are put
  // in place as one by JoinSaveSet on each, CommitSaveSet (table_saver.h) on the set, then
  // SaveSetDone on each when it went through or AbandonSave when it did not. Each does nothing when
  // no save is prepared. REQUIRES: nothing is posted between PrepareSave and the last of the others.
  virtual void PrepareSave() = 0;
  virtual void CommitSave() = 0;
  virtual void AbandonSave() = 0;
  virtual void JoinSaveSet(std::vector<PreparedSave*>* set) = 0;
  virtual void SaveSetDone() = 0;
  // Drops every post since the last save (and a prepared save) and reads the files again, as
  // after a command that failed: what it posted must not reach the disk with a later save.
  // Throws EngineError as opening does when the files cannot be read.
  virtual void DropUnsaved() = 0;
  // True when posts wait for Save.
  virtual bool unsaved() const = 0;
  // Visits the rows posted since the last save, in table order: `saved` holds the row's bytes as
  // last saved, or is nullptr for a row the posts added (a row added and then rewritten counts as
  // added). A row rewritten back to its saved bytes is visited too. Costs nothing until asked: a
  // rewritten row keeps only its saved bytes. The bytes stay valid until the next post, save or read.
  virtual void VisitPosted(const std::function<void(RowId row, const uint8_t* saved)>& visit) = 0;
  // The bytes `row` is stored as now, valid as VisitPosted's.
  virtual const uint8_t* StoredBytes(RowId row) = 0;
  // Where `field` starts in a record's stored bytes (it takes fields()[field].size of them).
  virtual int FieldOffset(int field) const = 0;
  // The value of `field` in stored bytes of this table (StoredBytes, or VisitPosted's saved ones).
  virtual Value DecodeStored(int field, const uint8_t* record) const = 0;

  // A save that puts copies of other files in place of the family's (a way back): each of
  // `copies` is a file of the family, the .DB among them, and the file whose bytes it takes. Written
  // and put in place as PrepareSave's new files are (JoinSaveSet, CommitSaveSet, SaveSetDone or
  // AbandonSave); the table reads its files again at SaveSetDone. Throws EngineError as
  // PrepareSave does. REQUIRES: opened writable, nothing posted.
  virtual void PrepareReplacement(const std::vector<std::pair<std::string, std::string>>& copies) = 0;

  // Reads the files again if another program changed them since we read them; RowIds may change
  // then (returns true). Called before every write and at the start of every command. While posts
  // wait for Save it does not look (the files are ours until then; Save finds a clash).
  virtual bool RefreshIfChanged() = 0;
  // Changes whenever the table reads its files again (by RefreshIfChanged, inside Insert or Update,
  // or after a refused write), after which RowIds may name other rows.
  virtual uint64_t load_count() const = 0;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_H_
