// TableFile: the Table behind Table::Open. Holds the .DB's blocks and the .PX's tree in memory;
// posts change only the memory.
//
// Save writes the whole family anew: <name>.PX.saving and <name>.DB.saving, flushed to the disk,
// then renamed over the .PX and then the .DB by a child process that our being killed does not
// stop. A process killed at any moment therefore leaves the family either as it was or as saved,
// never a half-written file nor a new .PX beside an old .DB. (A power cut between the two renames
// can still do that; the next writable open then rebuilds the .PX.) The new .DB is locked before
// it replaces the old one, so the lock never lapses.
#ifndef VARNHOLT_STORES_PARADOX_TABLE_FILE_H_
#define VARNHOLT_STORES_PARADOX_TABLE_FILE_H_

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "stores/paradox/field_codec.h"
#include "stores/paradox/field_index.h"
#include "stores/paradox/header.h"
#include "stores/paradox/memo_file.h"
#include "base/os/os_file.h"
#include "stores/paradox/primary_index.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

class TableFile final : public Table {
 public:
  TableFile(std::string path, bool writable);
  ~TableFile() override;

  const std::string& path() const override { return path_; }
  const std::vector<Field>& fields() const override { return fields_; }
  int key_field_count() const override { return header_.key_field_count; }
  int FindField(std::string_view name) const override;
  size_t StoredLength(std::string_view text) const override;

  std::vector<RowId> Rows() override;
  size_t RecordCount() override;
  const Record& Get(RowId row) override;
  Value GetField(RowId row, int field) override;
  std::vector<RowId> FindEqual(int field, const Value& value) override;

  RowId Insert(const Record& record) override;
  void Update(RowId row, const Record& record) override;
  void Save() override;
  bool unsaved() const override { return unsaved_; }
  bool RefreshIfChanged() override;
  uint64_t load_count() const override { return load_count_; }

  // Secondary index files that the table's own engine keeps current (we refuse to write then).
  const std::vector<std::string>& maintained_indexes() const { return maintained_indexes_; }
  // True when the last open found lagging counters or index entries and rewrote them.
  bool repaired() const { return repaired_; }

 private:
  struct Location {
    uint16_t block = 0;  // 0: not in the table
    uint16_t slot = 0;
  };

  // Opens path_ and takes its lock; follows a file that a saver replaced meanwhile.
  void OpenAndLock();
  int FindFieldByName(std::string_view name) const;
  void Load();
  void LoadPrimaryIndex(bool* stale);
  void FindSecondaryIndexes();
  void Repair(bool db_stale);
  void RemoveLeftOverSaves() const;
  void WriteDbFile(OsFile* file);
  void RememberFileStamps();
  bool FilesChanged() const;
  void RequireWritable();

  uint8_t* BlockData(uint16_t block) const;
  void HoldBlocks(size_t count);  // zero-filled room for blocks 1..count
  const uint8_t* RecordBytes(RowId row) const;
  std::string KeyOf(const uint8_t* record) const;
  std::string FirstKey(uint16_t block) const;
  int BlockCount(uint16_t block) const;
  std::vector<IndexLeafEntry> LeafEntries() const;
  uint8_t Stamp() const;

  // old: the stored bytes the record replaces (nullptr for a new one); old_values: their decoded
  // values when at hand, which spares decoding them again.
  std::vector<uint8_t> EncodeRecord(const Record& record, const std::vector<uint8_t>* old,
                                    const Record* old_values = nullptr);
  // Where a record with `key` belongs: chain position and slot; *duplicate when the key is there.
  void Locate(const std::string& key, size_t* chain_pos, int* slot, RowId* duplicate) const;
  uint16_t AllocateBlock();
  void SetRow(uint16_t block, int slot, RowId row);
  RowId Place(size_t chain_pos, int slot, const std::vector<uint8_t>& raw, RowId row);
  void Remove(RowId row);
  void FinishPost();
  // The bytes a field index keys `record` by (a memo's text is decoded into *scratch).
  std::string_view IndexKey(int field, const uint8_t* record, std::string* scratch);
  // The field index's hash of `row`'s key in `field`.
  uint64_t IndexHash(int field, RowId row, std::string* scratch);
  void IndexAdd(RowId row);
  void IndexRemove(RowId row);

  std::string path_;
  std::string px_path_;
  std::string mb_path_;
  bool writable_;
  OsFile db_;
  FileStamp db_stamp_, px_stamp_, mb_stamp_;
  std::vector<uint8_t> header_bytes_;  // fixed part as last read or written

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
  int capacity_ = 0;
  int auto_field_ = -1;
  int stamp_k_ = 0;

  // Blocks live in fixed chunks, so that growing the table never moves the blocks already held.
  static constexpr size_t kBlocksPerChunk = 64;
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  size_t block_size_ = 0;
  size_t physical_blocks_ = 0;  // whole or partial blocks in the file at the last read
  uint64_t file_size_ = 0;      // of the .DB as last read or saved
  std::vector<uint16_t> chain_;              // blocks in chain order
  std::vector<std::vector<RowId>> block_rows_;  // per block (n − 1): row of each slot
  std::vector<Location> rows_;
  std::vector<std::unique_ptr<Record>> decoded_;
  // The rows decoded last, oldest first from decoded_next_ once full; each with the record it got
  // (the row may have been decoded again since).
  static constexpr size_t kDecodedRows = 4096;
  std::vector<std::pair<RowId, const Record*>> decoded_order_;
  size_t decoded_next_ = 0;
  std::vector<std::unique_ptr<FieldIndex>> indexes_;
  std::vector<uint8_t> probe_;  // FindEqual encodes the value looked for here
  std::optional<PrimaryIndex> index_;
  bool index_rebuild_needed_ = false;
  std::vector<std::string> maintained_indexes_;
  bool unsaved_ = false;
  bool repaired_ = false;
  uint64_t load_count_ = 0;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_TABLE_FILE_H_
