// A maintained secondary index of a keyed table, held in memory and kept current with every post.
//
// The .Xnn/.XGn file is a keyed table of its own: each record holds the indexed fields (capitals
// for a case-insensitive index: a-z upper-cased, every other byte kept, under the byte-order sort
// orders), then the table's primary key, then "Blk Num", the number of the
// .DB block holding the row. Records sort by everything but that number. The .Ynn/.YGn file is a
// primary index over the X file's blocks. Both are handled by the engine's own block placement
// (BlockChain) and index tree (PrimaryIndex); the table saves them with its .DB and .PX.
//
// Stamps: the X file's own change counter moves with every post; its 0x2F byte follows the .DB's
// change counter and the Y file's stamp follows the X file's counter, with the table's offset k.
//
// Descending fields (0x8000 on their field number, with the 0x10 flag) sort their values the other
// way round; ties still go to the primary key, ascending. A unique index (flag 0x20) refuses a row
// whose indexed fields, capitals and all, equal another row's, as a key violation.
//
// Refused (the constructor throws, naming the file): flags this engine does not know, a descending
// flag without descending fields or the reverse, a password-protected X file, an X file that does
// not hold exactly one record per row of the table in order, a missing or unreadable Y file.
#ifndef VARNHOLT_STORES_PARADOX_SECONDARY_INDEX_H_
#define VARNHOLT_STORES_PARADOX_SECONDARY_INDEX_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "stores/paradox/block_chain.h"
#include "stores/paradox/block_store.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/header.h"
#include "stores/paradox/primary_index.h"
#include "stores/paradox/sort_order_guard.h"
#include "stores/paradox/table_saver.h"

namespace varnholt::paradox {

// What an index needs to know of its table.
struct IndexedTable {
  const std::string& path;
  const Header& header;
  const FieldCodec& codec;
  const CodePage& code_page;
  int key_size = 0;
};

class SecondaryIndex {
 public:
  // Reads the X and Y files and checks the X file against every row of `rows`.
  SecondaryIndex(std::string x_path, std::string y_path, const IndexedTable& table,
                 const BlockChain& rows);
  SecondaryIndex(const SecondaryIndex&) = delete;
  SecondaryIndex& operator=(const SecondaryIndex&) = delete;

  const std::string& x_path() const { return x_path_; }
  const std::string& y_path() const { return y_path_; }
  bool case_insensitive() const { return case_insensitive_; }
  bool unique() const { return unique_; }

  // The sort key of the X record of a table record (everything but the block number). Throws
  // EngineError naming the index, the field and the value when it cannot be made (a byte outside
  // ASCII in a case-insensitive index of a collating sort order, whose capitals are not known).
  std::string EntryKey(const uint8_t* db_record) const;
  // Throws EngineError, naming the index, the key and the sort order, when the table's sort order
  // could place `key` elsewhere than byte order does (sort_order_guard.h). `db_row`: the row being
  // rewritten, whose own entry is not compared with (kNoRow for a new row).
  void CheckPlacement(const std::string& key, RowId db_row) const;
  // The stored bytes of the indexed fields only (the part of the key before the primary key).
  size_t indexed_size() const { return indexed_size_; }
  // A unique index: throws the key violation (engine_message.h) naming the table, the index, its
  // fields and the value of `db_record` when an entry whose indexed part equals that of `key` belongs
  // to a row `ignore` does not accept. Does nothing for an index that is not unique.
  void CheckUnique(const std::string& key, const uint8_t* db_record,
                   const std::function<bool(RowId)>& ignore) const;
  // Throws that key violation for `db_record`.
  [[noreturn]] void RefuseDuplicate(const uint8_t* db_record) const;

  // A new row of the table, with the key EntryKey gave for it.
  void Add(RowId db_row, const std::string& key);
  // A changed row: its entry now has `key` (moved when that changed).
  void Change(RowId db_row, const std::string& key);

  // The files as they must be saved after the posts: every block number put right, the stamps
  // tied to the table's change counter `db_change_count` with offset `k`.
  std::vector<FamilyFile> Files(const BlockChain& rows, uint8_t db_change_count, int k);

 private:
  void ReadX(const IndexedTable& table);
  void ReadY();
  void CheckAgainst(const BlockChain& rows);
  std::vector<uint8_t> EntryBytes(const std::string& key) const;
  void FinishPost();
  // The Y tree, built from the X blocks when a post left it to be built anew.
  PrimaryIndex& Y();
  [[noreturn]] void Refuse(const std::string& why) const;

  std::string x_path_;
  std::string y_path_;
  std::string table_path_;
  std::vector<int> offsets_;  // of the indexed fields in the table's records
  std::vector<int> sizes_;
  std::vector<bool> alpha_;
  std::vector<std::string> field_names_;
  std::vector<int> fields_;  // the table's field numbers (0-based) of the indexed fields
  const FieldCodec* codec_ = nullptr;
  const CodePage* code_page_ = nullptr;
  std::string sort_order_;
  int table_key_size_ = 0;
  size_t indexed_size_ = 0;
  int key_size_ = 0;  // of an X record: everything but the block number
  bool case_insensitive_ = false;
  bool unique_ = false;
  bool byte_order_ = false;  // the sort order keeps bytes >= 0x80 as they are (KeepsByteOrder)
  std::optional<SortOrderGuard> guard_;

  Header header_;
  BlockStore blocks_;
  std::optional<PrimaryIndex> y_;  // empty while it waits to be built anew (y_header_ then)
  std::optional<Header> y_header_;
  BlockChain chain_{x_path_, &blocks_, &header_, &y_};
  std::vector<RowId> entry_of_;  // table row -> X row
  std::vector<RowId> row_of_;    // X row -> table row
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_SECONDARY_INDEX_H_
