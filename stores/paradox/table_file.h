// TableFile: the Table behind Table::Open. Holds the .DB's blocks and the .PX's tree in memory;
// posts change only the memory, and Save replaces the family on disk in one step (table_saver.h).
//
// The pieces: TableLock (the locked .DB and change detection), BlockStore (the blocks in memory),
// BlockChain (rows in blocks, placement), PrimaryIndex (the .PX), RowCache (decoded rows) and
// FieldIndexes (equality lookups). This class loads and validates the family and runs the posts.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_FILE_H_
#define VARNHOLT_STORES_PARADOX_TABLE_FILE_H_

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "stores/paradox/block_chain.h"
#include "stores/paradox/block_store.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/field_indexes.h"
#include "stores/paradox/header.h"
#include "stores/paradox/memo_file.h"
#include "stores/paradox/primary_index.h"
#include "stores/paradox/row_cache.h"
#include "stores/paradox/saved_rows.h"
#include "stores/paradox/secondary_index.h"
#include "stores/paradox/sort_order_guard.h"
#include "stores/paradox/table.h"
#include "stores/paradox/table_lock.h"
#include "stores/paradox/table_saver.h"

namespace varnholt::paradox {

class TableFile final : public Table {
 public:
  TableFile(std::string path, bool writable, std::string password = {});
  ~TableFile() override;

  const std::string& path() const override { return path_; }
  const std::vector<Field>& fields() const override { return fields_; }
  int key_field_count() const override { return header_.key_field_count; }
  int code_page() const override { return header_.code_page; }
  int FindField(std::string_view name) const override;
  size_t StoredLength(std::string_view text) const override;

  std::vector<RowId> Rows() override;
  size_t RecordCount() override;
  const Record& Get(RowId row) override;
  Value GetField(RowId row, int field) override;
  std::vector<RowId> FindEqual(int field, const Value& value) override;

  RowId Insert(const Record& record) override;
  void Update(RowId row, const Record& record) override;
  void CheckUniqueEntries(const std::vector<std::pair<RowId, const Record*>>& changes) override;
  void Save() override;
  void PrepareSave() override;
  void CommitSave() override;
  void AbandonSave() override;
  void JoinSaveSet(std::vector<PreparedSave*>* set) override;
  void SaveSetDone() override;
  void DropUnsaved() override;
  bool unsaved() const override { return unsaved_; }
  void VisitPosted(const std::function<void(RowId row, const uint8_t* saved)>& visit) override;
  const uint8_t* StoredBytes(RowId row) override;
  int FieldOffset(int field) const override { return codec_->offset(field); }
  Value DecodeStored(int field, const uint8_t* record) const override { return codec_->Decode(field, record, &memo_); }
  void PrepareReplacement(const std::vector<std::pair<std::string, std::string>>& copies) override;
  bool RefreshIfChanged() override;
  uint64_t load_count() const override { return load_count_; }

  // Secondary index files that the table's own engine keeps current; we keep them current too, or
  // refuse to write when one of them is of a kind we cannot keep (index_refusal says why).
  const std::vector<std::string>& maintained_indexes() const { return maintained_indexes_; }
  const std::string& index_refusal() const { return index_refusal_; }
  // True when the last read found lagging counters or a .PX behind the blocks and put them right
  // in memory; they reach the disk with the first save that has rows to write.
  bool repaired() const { return repaired_; }

 private:
  int FindFieldByName(std::string_view name) const;
  void Load();
  // Reads and checks the header, and sets up the fields and their codec from it.
  Header LoadHeader();
  void LoadPrimaryIndex(bool* stale);
  // Puts lagging counters (db_stale) right in memory; a rebuilt .PX is already in index_.
  void Repair(bool db_stale);
  void LoadSecondaryIndexes();
  // The sort key of `raw` in every secondary index; throws, changing nothing, when one is refused.
  // `self`: the row being rewritten (its own entries are not compared with), or none.
  std::vector<std::string> SecondaryKeys(const std::vector<uint8_t>& raw, RowId self) const;
  // Throws, changing nothing, when the sort order could place the key of `raw` elsewhere than
  // byte order does.
  void CheckKeyPlacement(const uint8_t* raw, RowId self) const;
  void RequireWritable();
  void CheckRow(RowId row) const;
  uint8_t Stamp() const;

  // old: the stored bytes the record replaces (nullptr for a new one); old_values: their decoded
  // values when at hand, which spares decoding them again.
  std::vector<uint8_t> EncodeRecord(const Record& record, const std::vector<uint8_t>* old,
                                    const Record* old_values = nullptr);
  // Numbers a new record's autoincrement field; returns the table's counter after it.
  uint32_t NumberAutoIncrement(const Record& record, std::vector<uint8_t>* raw) const;
  void FinishPost();

  std::string path_;
  std::string px_path_;
  std::string mb_path_;
  bool writable_;
  std::string password_;
  TableLock lock_;
  std::optional<PreparedSave> prepared_;

  Header header_;
  std::vector<Field> fields_;  // names in UTF-8
  struct AskedAt {  // see FindField
    const char* text = nullptr;
    size_t field = 0;
  };
  mutable std::array<AskedAt, 64> asked_at_{};
  std::unique_ptr<CodePage> code_page_;
  std::unique_ptr<FieldCodec> codec_;
  MemoFile memo_;
  bool has_memo_ = false;
  int key_size_ = 0;
  int auto_field_ = -1;
  int stamp_k_ = 0;
  std::optional<SortOrderGuard> key_guard_;

  BlockStore blocks_;
  std::optional<PrimaryIndex> index_;
  BlockChain chain_{path_, &blocks_, &header_, &index_};
  RowCache decoded_;
  FieldIndexes indexes_{&chain_};
  std::vector<std::string> maintained_indexes_;
  std::vector<std::unique_ptr<SecondaryIndex>> secondary_;
  std::string index_refusal_;
  bool index_refusal_by_file_call_ = false;  // a file call failed, not the index itself
  bool unsaved_ = false;
  bool replacing_ = false;  // the prepared save puts other files' copies in place
  // Since the last save: the rows added, and the saved bytes of each row rewritten.
  std::unordered_set<RowId> added_;
  SavedRows saved_rows_;
  bool repaired_ = false;
  uint64_t load_count_ = 0;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_FILE_H_
