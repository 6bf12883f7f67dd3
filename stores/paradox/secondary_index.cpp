#include "stores/paradox/secondary_index.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <sstream>

#include "base/byte_coding.h"
#include "stores/paradox/engine_files.h"
#include "stores/paradox/engine_message.h"
#include "stores/paradox/block.h"
#include "stores/paradox/secondary_index_layout.h"

namespace varnholt::paradox {

namespace {

constexpr RowId kNoRow = std::numeric_limits<RowId>::max();

std::string Hex(uint8_t b) {
  static const char kDigits[] = "0123456789ABCDEF";
  return std::string{kDigits[b >> 4], kDigits[b & 15]};
}

}  // namespace

SecondaryIndex::SecondaryIndex(std::string x_path, std::string y_path, const IndexedTable& table,
                               const BlockChain& rows)
    : x_path_(std::move(x_path)), y_path_(std::move(y_path)), table_path_(table.path) {
  code_page_ = &table.code_page;
  codec_ = &table.codec;
  sort_order_ = table.header.sort_order.empty() ? "ascii" : table.header.sort_order;
  byte_order_ = KeepsByteOrder(table.header.sort_order);
  table_key_size_ = table.key_size;
  ReadX(table);
  ReadY();
  CheckAgainst(rows);
}

void SecondaryIndex::Refuse(const std::string& why) const { throw EngineError(x_path_ + ": " + why); }

void SecondaryIndex::ReadX(const IndexedTable& table) {
  if (table.header.key_field_count == 0) Refuse("an index of a table without a primary key");
  OsFile file = OsFile::Open(x_path_, false);
  const uint64_t file_size = file.Stamp().size;
  std::vector<uint8_t> head = file.ReadAt(0, kHeaderFixedSize);
  if (head.size() == kHeaderFixedSize && GetLe16(head.data() + kHeaderHeaderSize) > kHeaderFixedSize) {
    head = file.ReadAt(0, GetLe16(head.data() + kHeaderHeaderSize));
  }
  header_ = ParseHeader(head, x_path_);
  const Header& h = header_;
  if (h.file_type != kFileTypeMaintainedSecondary && h.file_type != kFileTypeMaintainedComposite) {
    Refuse("not a maintained secondary index (file type " + std::to_string(h.file_type) + ")");
  }
  if (h.version < kFirstExtendedVersion || h.header_size < kHeaderExtendedEnd) {
    Refuse("a secondary index of a version this engine does not keep");
  }
  if (h.password_checksum != 0) Refuse("a password-protected index, which this engine does not keep");
  const uint8_t flags = h.raw[kXIndexFlags];
  if ((flags & ~kXFlagsKnown) != 0) {
    Refuse("the index has options this engine does not keep (flags 0x" + Hex(flags) + ")");
  }
  case_insensitive_ = (flags & kXFlagCaseInsensitive) != 0;
  unique_ = (flags & kXFlagUnique) != 0;
  std::vector<KeyOrder::Span> descending;
  const int pk = table.header.key_field_count;
  const int n = static_cast<int>(h.fields.size());
  const int indexed = n - pk - 1;
  if (indexed < 1 || h.key_field_count != n - 1) {
    Refuse("damaged header (its fields do not fit the table's primary key)");
  }
  const size_t numbers_at = kHeaderExtendedOffsetBase + GetLe16(h.raw.data() + kHeaderFieldNumbersOffset);
  if (numbers_at + 2 * static_cast<size_t>(n) > h.raw.size()) Refuse("damaged header (field numbers)");
  for (int i = 0; i < n; ++i) {
    const uint16_t number = GetLe16(h.raw.data() + numbers_at + 2 * i);
    const Field& xf = h.fields[i];
    if (i >= indexed) {
      if (number != i + 1) Refuse("damaged header (field numbers)");
      continue;
    }
    const bool down = (number & kFieldNumberDescending) != 0;
    const int f = (number & ~kFieldNumberDescending) - 1;
    if (f < 0 || static_cast<size_t>(f) >= table.header.fields.size()) {
      Refuse("damaged header (field numbers)");
    }
    if (down) descending.push_back(KeyOrder::Span{indexed_size_, static_cast<size_t>(table.codec.size(f))});
    const Field& tf = table.header.fields[f];
    if (xf.type != tf.type || xf.size != tf.size) {
      Refuse("the index's field " + std::to_string(i + 1) + " does not match the table's field " +
             std::to_string(f + 1));
    }
    if (tf.type == FieldType::kMemo || tf.type == FieldType::kBlob ||
        tf.type == FieldType::kFormattedMemo || tf.type == FieldType::kOle ||
        tf.type == FieldType::kGraphic) {
      Refuse("an index over a memo or blob field, which this engine does not keep");
    }
    fields_.push_back(f);
    offsets_.push_back(table.codec.offset(f));
    sizes_.push_back(table.codec.size(f));
    alpha_.push_back(tf.type == FieldType::kAlpha);
    field_names_.push_back(code_page_->ToUtf8(reinterpret_cast<const uint8_t*>(tf.name.data()),
                                              tf.name.size()));
    indexed_size_ += static_cast<size_t>(table.codec.size(f));
  }
  // The flag and the fields' marks say the same in every genuine file; either alone is not known.
  if (descending.empty() == ((flags & kXFlagDescending) != 0)) {
    Refuse("damaged header (the descending flag and the descending fields disagree)");
  }
  for (int j = 0; j < pk; ++j) {
    const Field& xf = h.fields[indexed + j];
    const Field& tf = table.header.fields[j];
    if (xf.type != tf.type || xf.size != tf.size) Refuse("damaged header (primary key fields)");
  }
  if (h.fields.back().type != FieldType::kShort) Refuse("damaged header (no block number field)");
  key_size_ = h.record_size - kBlockHintSize;
  if (static_cast<size_t>(key_size_) != indexed_size_ + static_cast<size_t>(table_key_size_)) {
    Refuse("damaged header (record size)");
  }
  if (h.sort_order != table.header.sort_order) {
    Refuse("the index's sort order (" + h.sort_order + ") is not the table's (" +
           table.header.sort_order + ")");
  }
  std::vector<SortOrderGuard::Span> alpha;
  size_t at = 0;
  for (size_t i = 0; i < offsets_.size(); at += static_cast<size_t>(sizes_[i]), ++i) {
    if (alpha_[i]) alpha.push_back(SortOrderGuard::Span{at, static_cast<size_t>(sizes_[i])});
  }
  for (int j = 0; j < pk; ++j) {
    if (table.header.fields[j].type != FieldType::kAlpha) continue;
    alpha.push_back(SortOrderGuard::Span{indexed_size_ + static_cast<size_t>(table.codec.offset(j)),
                                         static_cast<size_t>(table.codec.size(j))});
  }
  guard_.emplace(table.header.sort_order, std::move(alpha));
  chain_.SetKeyOrder(KeyOrder(std::move(descending)));
  blocks_.Read(file, h.header_size, h.block_size, file_size, x_path_);
}

void SecondaryIndex::CheckPlacement(const std::string& key, RowId db_row) const {
  if (!guard_->needed()) return;
  const RowId self = db_row < entry_of_.size() ? entry_of_[db_row] : kNoRow;
  if (self != kNoRow && std::memcmp(chain_.RecordBytes(self), key.data(), key.size()) == 0) return;
  const std::string other = guard_->Conflict(
      key, [&](const auto& visit) { chain_.ForEachKey(static_cast<size_t>(key_size_), self, visit); });
  if (other.empty()) return;
  throw EngineError(guard_->Refusal(x_path_, key, other, [this](const std::string& text) {
    return code_page_->ToUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }));
}

void SecondaryIndex::ReadY() {
  if (y_path_.empty() || !FileExists(y_path_)) Refuse("its .Y file is missing");
  const std::vector<uint8_t> bytes = OsFile::Open(y_path_, false).ReadAll();
  Header yh = ParseHeader(bytes, y_path_);
  const uint8_t wanted = header_.file_type == kFileTypeMaintainedSecondary ? kFileTypeSecondaryIndex
                                                                            : kFileTypeCompositeIndex;
  bool fits = yh.file_type == wanted && yh.fields.size() + 1 == header_.fields.size() &&
              yh.block_size >= 1024;
  for (size_t i = 0; fits && i < yh.fields.size(); ++i) {
    fits = yh.fields[i].type == header_.fields[i].type && yh.fields[i].size == header_.fields[i].size;
  }
  if (!fits) throw EngineError(y_path_ + ": does not fit its index " + x_path_);
  y_ = PrimaryIndex::Parse(bytes, yh);
  if (!y_) y_ = PrimaryIndex::Build(std::move(yh), {});  // rebuilt below from the X blocks
}

void SecondaryIndex::CheckAgainst(const BlockChain& rows) {
  // The X file must hold one record per row, in order: what the table's engine left is then
  // known to describe the rows, whatever its stamps say.
  if (chain_.Walk(header_, key_size_, true)) chain_.RepairCounters();
  chain_.CheckKeyOrder();
  const std::vector<IndexLeafEntry> leaves = chain_.LeafEntries();
  if (!y_->Matches(leaves)) {
    Header yh = std::move(y_->header());
    y_ = PrimaryIndex::Build(std::move(yh), leaves);
  }
  if (chain_.RecordCount() != rows.RecordCount()) {
    Refuse("the index is out of date (" + std::to_string(chain_.RecordCount()) + " entries for " +
           std::to_string(rows.RecordCount()) + " rows); let Paradox rebuild it first");
  }
  if (unique_) {
    const RowId* last = nullptr;
    for (uint16_t b : chain_.blocks()) {
      for (const RowId& x : chain_.rows_of(b)) {
        if (last != nullptr &&
            std::memcmp(chain_.RecordBytes(*last), chain_.RecordBytes(x), indexed_size_) == 0) {
          Refuse("a unique index with two rows under one entry; let Paradox rebuild it first");
        }
        last = &x;
      }
    }
  }
  entry_of_.assign(rows.row_ids(), kNoRow);
  for (RowId r = 0; r < rows.row_ids(); ++r) {
    if (!rows.Holds(r)) continue;
    size_t pos = 0;
    int slot = 0;
    RowId found = kNoRow;
    chain_.Locate(EntryKey(rows.RecordBytes(r)), &pos, &slot, &found);
    if (found == kNoRow) {
      Refuse("the index is out of date (a row of block " + std::to_string(rows.location(r).block) +
             " has no entry); let Paradox rebuild it first");
    }
    entry_of_[r] = found;
    if (row_of_.size() <= found) row_of_.resize(found + 1, kNoRow);
    row_of_[found] = r;
  }
}

std::string SecondaryIndex::EntryKey(const uint8_t* db_record) const {
  std::string key;
  key.reserve(static_cast<size_t>(key_size_));
  for (size_t i = 0; i < offsets_.size(); ++i) {
    const char* p = reinterpret_cast<const char*>(db_record + offsets_[i]);
    const size_t at = key.size();
    key.append(p, static_cast<size_t>(sizes_[i]));
    if (!case_insensitive_ || !alpha_[i]) continue;
    for (size_t j = at; j < key.size(); ++j) {
      const auto c = static_cast<unsigned char>(key[j]);
      if (c >= 'a' && c <= 'z') {
        key[j] = static_cast<char>(c - 'a' + 'A');
      } else if (c >= 0x80 && !byte_order_) {
        // The byte-order sort orders keep such bytes as they are (the engine's own DBWINUS0 files
        // show it); which letters a collating one capitalises, and how, is not published: refused,
        // not guessed.
        const size_t len = strnlen(p, static_cast<size_t>(sizes_[i]));
        throw EngineError(table_path_ + ": cannot write the value '" +
                          code_page_->ToUtf8(reinterpret_cast<const uint8_t*>(p), len) +
                          "' of field " + field_names_[i] + ": the case-insensitive index " +
                          x_path_ + " would need its capitals under sort order " + sort_order_ +
                          ", which are not known for letters outside ASCII");
      }
    }
  }
  key.append(reinterpret_cast<const char*>(db_record), static_cast<size_t>(table_key_size_));
  return key;
}

void SecondaryIndex::CheckUnique(const std::string& key, const uint8_t* db_record,
                                 const std::function<bool(RowId)>& ignore) const {
  if (!unique_ || chain_.blocks().empty()) return;
  size_t pos = 0;
  int slot = 0;
  RowId same = kNoRow;
  chain_.Locate(key, &pos, &slot, &same);
  const std::vector<uint16_t>& blocks = chain_.blocks();
  // Entries sharing the indexed part lie side by side, around the place `key` would take.
  auto clashes = [&](RowId x) {
    if (std::memcmp(chain_.RecordBytes(x), key.data(), indexed_size_) != 0) return false;
    const RowId owner = x < row_of_.size() ? row_of_[x] : kNoRow;
    if (owner == kNoRow || !ignore(owner)) RefuseDuplicate(db_record);
    return true;  // ignored: look on past it
  };
  for (size_t p = pos, s = static_cast<size_t>(slot); p < blocks.size(); ++p, s = 0) {
    const std::vector<RowId>& rows = chain_.rows_of(blocks[p]);
    bool more = true;
    for (; s < rows.size() && more; ++s) more = clashes(rows[s]);
    if (!more) break;
  }
  for (size_t p = pos + 1, s = static_cast<size_t>(slot); p-- > 0; s = std::string::npos) {
    const std::vector<RowId>& rows = chain_.rows_of(blocks[p]);
    if (s == std::string::npos) s = rows.size();
    bool more = true;
    while (s > 0 && more) more = clashes(rows[--s]);
    if (!more) break;
  }
}

void SecondaryIndex::RefuseDuplicate(const uint8_t* db_record) const {
  std::string fields;
  std::string value;
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields += (i == 0 ? "" : ", ") + field_names_[i];
    const Value v = codec_->Decode(fields_[i], db_record, nullptr);
    std::string text;
    if (const auto* t = std::get_if<std::string>(&v)) {
      text = *t;
    } else if (const auto* n = std::get_if<int64_t>(&v)) {
      text = std::to_string(*n);
    } else if (const auto* d = std::get_if<double>(&v)) {
      std::ostringstream out;
      out << *d;
      text = out.str();
    } else if (const auto* b = std::get_if<bool>(&v)) {
      text = *b ? "True" : "False";
    } else if (!std::holds_alternative<Null>(v)) {
      text = "(stored as in the row)";
    }
    value += (i == 0 ? "" : ", ") + ("'" + text + "'");
  }
  throw UniqueIndexViolationError(table_path_, x_path_, fields, value);
}

std::vector<uint8_t> SecondaryIndex::EntryBytes(const std::string& key) const {
  std::vector<uint8_t> raw(key.begin(), key.end());
  raw.resize(header_.record_size, 0);
  return raw;
}

void SecondaryIndex::Add(RowId db_row, const std::string& key) {
  size_t pos = 0;
  int slot = 0;
  RowId clash = kNoRow;
  chain_.Locate(key, &pos, &slot, &clash);
  if (clash != kNoRow) Refuse("two rows with one entry (the table's keys are not unique)");
  const RowId x = chain_.Insert(pos, slot, EntryBytes(key));
  if (entry_of_.size() <= db_row) entry_of_.resize(db_row + 1, kNoRow);
  entry_of_[db_row] = x;
  if (row_of_.size() <= x) row_of_.resize(x + 1, kNoRow);
  row_of_[x] = db_row;
  header_.num_records += 1;
  FinishPost();
}

void SecondaryIndex::Change(RowId db_row, const std::string& key) {
  const RowId x = entry_of_[db_row];
  if (std::memcmp(chain_.RecordBytes(x), key.data(), key.size()) != 0) {
    size_t pos = 0;
    int slot = 0;
    RowId clash = kNoRow;
    chain_.Locate(key, &pos, &slot, &clash);
    if (clash != kNoRow) Refuse("two rows with one entry (the table's keys are not unique)");
    chain_.Move(x, pos, slot, EntryBytes(key));
  }
  FinishPost();
}

void SecondaryIndex::FinishPost() {
  const auto& blocks = chain_.blocks();
  header_.blocks_in_use = static_cast<uint16_t>(blocks.size());
  header_.first_block = blocks.empty() ? 0 : blocks.front();
  header_.last_block = blocks.empty() ? 0 : blocks.back();
  header_.change_count1 = NextChangeCount(header_.change_count1);
  if (chain_.TakeIndexRebuild() && y_) {
    // A block left the X file: the Y is built anew, once, when the files are next written; until
    // then the chain has no tree to patch.
    y_header_ = std::move(y_->header());
    y_.reset();
  }
  StoreCounters(&header_);
}

PrimaryIndex& SecondaryIndex::Y() {
  if (!y_) y_ = PrimaryIndex::Build(std::move(*y_header_), chain_.LeafEntries());
  return *y_;
}

std::vector<FamilyFile> SecondaryIndex::Files(const BlockChain& rows, uint8_t db_change_count,
                                              int k) {
  // Rows a post moved to another block (a split, a key change) take their entry's number along.
  for (RowId r = 0; r < rows.row_ids() && r < entry_of_.size(); ++r) {
    if (!rows.Holds(r) || entry_of_[r] == kNoRow) continue;
    uint8_t* hint = chain_.MutableRecordBytes(entry_of_[r]) + key_size_;
    PutSortableInt(hint, kBlockHintSize, rows.location(r).block);
  }
  header_.raw[kHeaderSecondaryStamp] = IndexStamp(db_change_count, k);
  StoreCounters(&header_);
  const uint8_t y_stamp = IndexStamp(header_.change_count1, k);
  std::vector<FamilyFile> files;
  files.push_back(FamilyFile{x_path_, [this](OsFile* file) {
                               file->WriteAt(0, header_.raw.data(), header_.raw.size());
                               blocks_.Write(file, header_.header_size, header_.file_blocks,
                                             [this](uint16_t b) { return chain_.UsedBytes(b); });
                             }});
  files.push_back(FamilyFile{y_path_, [this, y_stamp](OsFile* file) { Y().Flush(file, y_stamp); }});
  return files;
}

}  // namespace varnholt::paradox
