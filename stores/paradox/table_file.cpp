#include "stores/paradox/table_file.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <unordered_set>

#include "base/ascii.h"
#include "base/os/folder.h"
#include "base/path_text.h"

#include "stores/paradox/block.h"
#include "stores/paradox/engine_message.h"
#include "stores/paradox/table_crypt.h"
#include "stores/paradox/table_family.h"
#include "stores/paradox/table_saver.h"

namespace varnholt::paradox {

namespace {

constexpr RowId kNoRow = std::numeric_limits<RowId>::max();
// The largest value an autoincrement field holds.
constexpr uint32_t kMaxAutoIncrement = 2147483647u;

}  // namespace

std::unique_ptr<Table> Table::Open(const std::string& db_path, bool writable,
                                   const std::string& password) {
  return std::make_unique<TableFile>(db_path, writable, password);
}

TableFile::TableFile(std::string path, bool writable, std::string password)
    : path_(std::move(path)),
      px_path_(SiblingPath(path_, "PX")),
      mb_path_(SiblingPath(path_, "MB")),
      writable_(writable),
      password_(std::move(password)),
      lock_(path_, px_path_, mb_path_, writable) {
  if (writable_) {
    if (std::optional<OsFile> finished = FinishStoppedSave(path_)) {
      lock_.Adopt(std::move(*finished));
    } else {
      lock_.FollowReplaced();  // a set put back brings the old .DB back to its name
    }
    std::vector<std::string> family{path_, px_path_};
    for (const auto& [x, y] : MaintainedSecondaryIndexPaths(path_)) {
      family.push_back(x);
      if (!y.empty()) family.push_back(y);
    }
    RemoveLeftOverSaves(family);
  }
  Load();
}

TableFile::~TableFile() {
  // Every command saves before it reports; this only catches a holder that did not. A failure here
  // leaves the files as they were at the last save. A prepared save not put in place is dropped.
  AbandonSave();
  if (unsaved_) {
    try {
      Save();
    } catch (const std::exception&) {
    }
  }
}

size_t TableFile::StoredLength(std::string_view text) const {
  // ASCII is one byte in every code page: most codes are counted without converting them.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return text.size();
  }
  return code_page_->FromUtf8(text, std::string::npos).size();
}

int TableFile::FindField(std::string_view name) const {
  // Called for every field read and written, mostly with the same literals row after row: the field
  // last found for a text at that address is tried first, taken when its name equals the text.
  AskedAt& at = asked_at_[(reinterpret_cast<uintptr_t>(name.data()) >> 3) % asked_at_.size()];
  if (at.text == name.data() && at.field < fields_.size() && fields_[at.field].name == name) {
    return static_cast<int>(at.field);
  }
  const int found = FindFieldByName(name);
  if (found >= 0 && fields_[found].name == name) at = AskedAt{name.data(), static_cast<size_t>(found)};
  return found;
}

int TableFile::FindFieldByName(std::string_view name) const {
  // The name as stored is looked for first, then without regard to the case of ASCII letters
  // (field names are ASCII; the locale must not matter).
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].name == name) return static_cast<int>(i);
  }
  auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  auto same = [&](char a, char b) { return fold(a) == fold(b); };
  for (size_t i = 0; i < fields_.size(); ++i) {
    const std::string& field = fields_[i].name;
    if (field.size() == name.size() && std::equal(field.begin(), field.end(), name.begin(), same)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

Header TableFile::LoadHeader() {
  const OsFile& db = lock_.file();
  std::vector<uint8_t> head = db.ReadAt(0, kHeaderFixedSize);
  if (head.size() == kHeaderFixedSize && GetLe16(head.data() + kHeaderHeaderSize) > kHeaderFixedSize) {
    head = db.ReadAt(0, GetLe16(head.data() + kHeaderHeaderSize));
  }
  unsaved_ = false;
  Header h = ParseHeader(head, path_);
  if (h.file_type != kFileTypeKeyedDb && h.file_type != kFileTypeUnkeyedDb) {
    throw EngineError(path_ + ": not a Paradox table but an index file (type " +
                      std::to_string(h.file_type) + ")");
  }
  if ((h.file_type == kFileTypeKeyedDb) != (h.key_field_count > 0)) {
    throw EngineError(path_ + ": damaged header (the key field count does not match the file type)");
  }
  // Checked at every read, so a table whose password changed since is neither read nor written.
  if (h.password_checksum != 0 && PasswordChecksum(password_) != h.password_checksum) {
    if (password_.empty()) throw PasswordRequiredError(path_);
    throw WrongPasswordError(path_);
  }
  try {
    code_page_ = std::make_unique<CodePage>(h.code_page);
  } catch (const StoreError& e) {
    throw EngineError(path_ + ": " + e.what());
  }
  fields_ = h.fields;
  for (auto& f : fields_) {
    f.name = code_page_->ToUtf8(reinterpret_cast<const uint8_t*>(f.name.data()), f.name.size());
  }
  codec_ = std::make_unique<FieldCodec>(fields_, *code_page_, path_);
  key_size_ = 0;
  for (int i = 0; i < h.key_field_count; ++i) key_size_ += StoredSize(h.fields[i]);
  auto_field_ = -1;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].type == FieldType::kAutoIncrement) {
      auto_field_ = static_cast<int>(i);
      break;
    }
  }
  stamp_k_ = StampOffsetForSortOrder(h.sort_order_byte, h.sort_order);
  std::vector<SortOrderGuard::Span> alpha;
  for (int i = 0; i < h.key_field_count; ++i) {
    if (fields_[i].type != FieldType::kAlpha) continue;
    alpha.push_back(SortOrderGuard::Span{static_cast<size_t>(codec_->offset(i)),
                                         static_cast<size_t>(codec_->size(i))});
  }
  key_guard_.emplace(h.sort_order, std::move(alpha));
  return h;
}

void TableFile::Load() {
  ++load_count_;
  added_.clear();
  saved_rows_.Clear();
  const uint64_t file_size = lock_.file().Stamp().size;
  Header h = LoadHeader();
  blocks_.Read(lock_.file(), h.header_size, h.block_size, file_size, path_, h.password_checksum);
  bool stale = chain_.Walk(h, key_size_, writable_);
  header_ = std::move(h);
  if (writable_ && header_.key_field_count > 0) chain_.CheckKeyOrder();
  if (auto_field_ >= 0 &&
      chain_.HighestAutoIncrement(codec_->offset(auto_field_)) > header_.auto_inc) {
    stale = true;
  }
  decoded_.Reset(chain_.row_ids());
  bool has_memo = false;
  for (const auto& f : fields_) has_memo = has_memo || f.type == FieldType::kMemo;
  if (has_memo && header_.password_checksum != 0) {
    // Its .MB is scrambled another way, which this engine does not do: refused rather than misread.
    throw EngineError(path_ + ": a password-protected table with memo fields, which this engine "
                      "does not read");
  }
  memo_ = has_memo ? MemoFile::Load(mb_path_) : MemoFile();
  has_memo_ = has_memo;
  indexes_.Reset(codec_.get(), &memo_);

  index_.reset();
  maintained_indexes_.clear();
  secondary_.clear();
  index_refusal_.clear();
  index_refusal_by_file_call_ = false;
  repaired_ = false;
  bool index_stale = false;
  if (writable_) {
    maintained_indexes_ = MaintainedSecondaryIndexes(path_);
    if (header_.key_field_count > 0) LoadPrimaryIndex(&index_stale);
    LoadSecondaryIndexes();
  }
  lock_.Remember();
  if (writable_ && (stale || index_stale) && index_refusal_.empty()) Repair(stale);
}

void TableFile::LoadSecondaryIndexes() {
  if (maintained_indexes_.empty()) return;
  const IndexedTable table{path_, header_, *codec_, *code_page_, key_size_};
  try {
    for (const auto& [x, y] : MaintainedSecondaryIndexPaths(path_)) {
      secondary_.push_back(std::make_unique<SecondaryIndex>(x, y, table, chain_));
    }
  } catch (const EngineError& e) {
    // Not written at all rather than written with an index left behind.
    secondary_.clear();
    index_refusal_ = e.what();
    index_refusal_by_file_call_ = dynamic_cast<const FileError*>(&e) != nullptr;
  }
}

std::vector<std::string> TableFile::SecondaryKeys(const std::vector<uint8_t>& raw, RowId self) const {
  std::vector<std::string> keys;
  keys.reserve(secondary_.size());
  for (const auto& index : secondary_) {
    keys.push_back(index->EntryKey(raw.data()));
    index->CheckPlacement(keys.back(), self);
    index->CheckUnique(keys.back(), raw.data(), [self](RowId owner) { return owner == self; });
  }
  return keys;
}

void TableFile::CheckKeyPlacement(const uint8_t* raw, RowId self) const {
  if (!key_guard_ || !key_guard_->needed()) return;
  const std::string_view key(reinterpret_cast<const char*>(raw), static_cast<size_t>(key_size_));
  const std::string other = key_guard_->Conflict(
      key, [&](const auto& visit) { chain_.ForEachKey(static_cast<size_t>(key_size_), self, visit); });
  if (other.empty()) return;
  throw EngineError(key_guard_->Refusal(path_, key, other, [this](const std::string& text) {
    return code_page_->ToUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }));
}

void TableFile::LoadPrimaryIndex(bool* stale) {
  const std::vector<IndexLeafEntry> leaves = chain_.LeafEntries();
  std::optional<Header> px_header;
  if (FileExists(px_path_)) {
    const std::vector<uint8_t> bytes = OsFile::Open(px_path_, false).ReadAll();
    try {
      Header ph = ParseHeader(bytes, px_path_);
      // A protected table's index is scrambled with the table's own code, or not at all.
      bool fits = ph.file_type == kFileTypePrimaryIndex &&
                  (ph.password_checksum == 0 || ph.password_checksum == header_.password_checksum) &&
                  ph.fields.size() == static_cast<size_t>(header_.key_field_count) &&
                  ph.block_size >= 1024;
      for (size_t i = 0; fits && i < ph.fields.size(); ++i) {
        fits = ph.fields[i].type == header_.fields[i].type &&
               ph.fields[i].size == header_.fields[i].size;
      }
      if (fits) {
        px_header = ph;
        if (auto parsed = PrimaryIndex::Parse(bytes, std::move(ph))) {
          if (parsed->Matches(leaves)) {
            index_ = std::move(*parsed);
            if (index_->header().index_stamp != Stamp()) *stale = true;  // header only
            return;
          }
        }
      }
    } catch (const EngineError&) {
      px_header.reset();  // unreadable header: written anew below
    }
  }
  Header base = px_header ? *px_header : BuildPrimaryIndexHeader(header_, UpperFileName(px_path_));
  if (!px_header && header_.password_checksum != 0) {
    base.password_checksum = header_.password_checksum;
    PutLe32(base.raw.data() + kHeaderEncryption1, base.password_checksum);
  }
  index_ = PrimaryIndex::Build(std::move(base), leaves);
  *stale = true;
}

void TableFile::Repair(bool db_stale) {
  if (db_stale) {
    chain_.RepairCounters();
    if (auto_field_ >= 0) {
      header_.auto_inc = std::max(header_.auto_inc,
                                  chain_.HighestAutoIncrement(codec_->offset(auto_field_)));
    }
    header_.change_count1 = NextChangeCount(header_.change_count1);
    StoreCounters(&header_);
  }
  // In memory only: opening writes nothing. The repair reaches the disk with the first save that
  // has rows to write, whose .PX also carries the right stamp.
  repaired_ = true;
}

bool TableFile::RefreshIfChanged() {
  if (unsaved_ || !lock_.Changed(header_.key_field_count > 0, has_memo_)) return false;
  lock_.FollowReplaced();
  Load();
  return true;
}

void TableFile::RequireWritable() {
  if (!writable_) throw EngineError(path_ + ": the table is open for reading only");
  if (!index_refusal_.empty()) {
    std::string names;
    for (const auto& n : maintained_indexes_) names += (names.empty() ? "" : ", ") + n;
    const std::string text = path_ + ": cannot write: the table has secondary indexes that Paradox keeps current (" +
                             names + "), and this engine cannot keep them: " + index_refusal_;
    if (index_refusal_by_file_call_) throw FileError(text);
    throw EngineError(text);
  }
}

void TableFile::CheckRow(RowId row) const {
  if (!chain_.Holds(row)) throw EngineError(path_ + ": no record " + std::to_string(row));
}

uint8_t TableFile::Stamp() const { return IndexStamp(header_.change_count1, stamp_k_); }

std::vector<RowId> TableFile::Rows() {
  std::vector<RowId> out;
  out.reserve(chain_.row_ids());
  for (uint16_t b : chain_.blocks()) {
    const auto& r = chain_.rows_of(b);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

size_t TableFile::RecordCount() { return chain_.RecordCount(); }

Value TableFile::GetField(RowId row, int field) {
  CheckRow(row);
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) {
    throw EngineError(path_ + ": no field number " + std::to_string(field));
  }
  if (const Record* held = decoded_.Find(row)) return (*held)[field];
  return codec_->Decode(field, chain_.RecordBytes(row), &memo_);
}

const Record& TableFile::Get(RowId row) {
  CheckRow(row);
  if (const Record* held = decoded_.Find(row)) return *held;
  auto record = std::make_unique<Record>();
  record->reserve(fields_.size());
  const uint8_t* bytes = chain_.RecordBytes(row);
  for (size_t i = 0; i < fields_.size(); ++i) {
    record->push_back(codec_->Decode(static_cast<int>(i), bytes, &memo_));
  }
  return decoded_.Keep(row, std::move(record));
}

std::vector<RowId> TableFile::FindEqual(int field, const Value& value) {
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) {
    throw EngineError(path_ + ": no field number " + std::to_string(field));
  }
  std::vector<RowId> hits = indexes_.Find(field, value);
  if (header_.key_field_count > 0) {
    std::sort(hits.begin(), hits.end(), [&](RowId a, RowId b) {
      return std::memcmp(chain_.RecordBytes(a), chain_.RecordBytes(b), key_size_) < 0;
    });
  } else {
    std::sort(hits.begin(), hits.end());
  }
  return hits;
}

std::vector<uint8_t> TableFile::EncodeRecord(const Record& record, const std::vector<uint8_t>* old,
                                             const Record* old_values) {
  if (record.size() != fields_.size()) {
    throw EngineError(path_ + ": a record of " + std::to_string(record.size()) +
                      " values for a table of " + std::to_string(fields_.size()) + " fields");
  }
  std::vector<uint8_t> raw(header_.record_size, 0);
  for (size_t i = 0; i < fields_.size(); ++i) {
    const int f = static_cast<int>(i);
    if (old != nullptr && (old_values != nullptr ? (*old_values)[i] == record[i]
                                                 : codec_->Decode(f, old->data(), &memo_) == record[i])) {
      // Unchanged: keep the stored bytes (blob pointers, bytes after an alpha's NUL).
      std::memcpy(raw.data() + codec_->offset(f), old->data() + codec_->offset(f), codec_->size(f));
      continue;
    }
    codec_->Encode(f, record[i], raw.data());
  }
  return raw;
}

void TableFile::FinishPost() {
  header_.blocks_in_use = static_cast<uint16_t>(chain_.blocks().size());
  header_.first_block = chain_.blocks().empty() ? 0 : chain_.blocks().front();
  header_.last_block = chain_.blocks().empty() ? 0 : chain_.blocks().back();
  header_.change_count1 = NextChangeCount(header_.change_count1);
  if (chain_.TakeIndexRebuild() && index_) {
    Header h = std::move(index_->header());
    index_ = PrimaryIndex::Build(std::move(h), chain_.LeafEntries());
  }
  StoreCounters(&header_);
  unsaved_ = true;
}

void TableFile::Save() {
  PrepareSave();
  CommitSave();
}

void TableFile::PrepareSave() {
  if (!unsaved_ || prepared_) return;
  if (lock_.Changed(header_.key_field_count > 0, has_memo_)) {
    Load();
    throw EngineError(path_ + ": another program changed the table while this run was writing to "
                      "it; this run's changes to it were not saved, and the table was read again");
  }
  std::vector<FamilyFile> others;
  for (const auto& index : secondary_) {
    for (FamilyFile& f : index->Files(chain_, header_.change_count1, stamp_k_)) {
      others.push_back(std::move(f));
    }
  }
  try {
    prepared_ = PrepareFamilySave(path_, px_path_, index_ ? &*index_ : nullptr, Stamp(), others,
                                  [this](OsFile* file) {
      file->WriteAt(0, header_.raw.data(), header_.raw.size());
      blocks_.Write(file, header_.header_size, header_.file_blocks,
                    [this](uint16_t block) { return chain_.UsedBytes(block); });
    });
  } catch (const AccessDeniedError&) {
    // A save writes new files beside the old ones: a read-only folder refuses it.
    throw SaveDeniedError(FolderOfPath(path_), path_);
  }
}

void TableFile::CommitSave() {
  if (!prepared_) return;
  std::vector<PreparedSave*> set{&*prepared_};
  try {
    CommitSaveSet(set);
  } catch (const AccessDeniedError&) {
    prepared_.reset();
    throw SaveDeniedError(FolderOfPath(path_), path_);
  } catch (...) {
    prepared_.reset();
    throw;
  }
  SaveSetDone();
}

void TableFile::JoinSaveSet(std::vector<PreparedSave*>* set) {
  if (prepared_) set->push_back(&*prepared_);
}

void TableFile::SaveSetDone() {
  if (!prepared_) return;
  lock_.Adopt(std::move(prepared_->db_file));
  prepared_.reset();
  unsaved_ = false;
  added_.clear();
  saved_rows_.Clear();
  if (replacing_) {
    replacing_ = false;
    Load();
  }
  lock_.Remember();
}

void TableFile::VisitPosted(const std::function<void(RowId row, const uint8_t* saved)>& visit) {
  if (added_.empty() && saved_rows_.empty()) return;
  for (uint16_t b : chain_.blocks()) {
    for (const RowId row : chain_.rows_of(b)) {
      if (added_.count(row) != 0) {
        visit(row, nullptr);
      } else if (const uint8_t* saved = saved_rows_.Find(row)) {
        visit(row, saved);
      }
    }
  }
}

const uint8_t* TableFile::StoredBytes(RowId row) {
  CheckRow(row);
  return chain_.RecordBytes(row);
}

void TableFile::PrepareReplacement(const std::vector<std::pair<std::string, std::string>>& copies) {
  RequireWritable();
  if (unsaved_ || prepared_) throw EngineError(path_ + ": cannot be put back while changes to it wait to be saved");
  const auto copy_of = [](const std::string& source) {
    return [source](OsFile* file) {
      std::string reason;
      const std::optional<std::vector<uint8_t>> bytes = os::ReadWholeFile(source, &reason);
      if (!bytes) throw FileError(source + ": cannot read (" + reason + ")");
      file->WriteAt(0, bytes->data(), bytes->size());
    };
  };
  std::vector<FamilyFile> others;
  std::function<void(OsFile*)> write_db;
  for (const auto& [target, source] : copies) {
    if (AsciiUpper(target) == AsciiUpper(path_)) {
      write_db = copy_of(source);
    } else {
      others.push_back(FamilyFile{target, copy_of(source)});
    }
  }
  if (!write_db) throw EngineError(path_ + ": nothing to put in its place");
  try {
    prepared_ = PrepareFamilySave(path_, px_path_, nullptr, 0, others, write_db);
  } catch (const AccessDeniedError&) {
    throw SaveDeniedError(FolderOfPath(path_), path_);
  }
  replacing_ = true;
}

void TableFile::DropUnsaved() {
  AbandonSave();
  if (unsaved_) Load();
}

void TableFile::AbandonSave() {
  if (!prepared_) return;
  AbandonFamilySave(&*prepared_);
  prepared_.reset();
  replacing_ = false;
}

uint32_t TableFile::NumberAutoIncrement(const Record& record, std::vector<uint8_t>* raw) const {
  uint32_t auto_inc = header_.auto_inc;
  if (auto_field_ < 0) return auto_inc;
  uint8_t* stored = raw->data() + codec_->offset(auto_field_);
  if (std::holds_alternative<Null>(record[auto_field_])) {
    if (auto_inc >= kMaxAutoIncrement) throw EngineError(path_ + ": the autoincrement field is exhausted");
    ++auto_inc;
    PutSortableInt(stored, 4, auto_inc);
  } else {
    const int64_t v = GetSortableInt(stored, 4);
    if (v > 0) auto_inc = std::max<uint32_t>(auto_inc, static_cast<uint32_t>(v));
  }
  return auto_inc;
}

RowId TableFile::Insert(const Record& record) {
  RequireWritable();
  RefreshIfChanged();
  RequireWritable();
  std::vector<uint8_t> raw = EncodeRecord(record, nullptr);
  const uint32_t auto_inc = NumberAutoIncrement(record, &raw);
  const auto& chain = chain_.blocks();
  size_t pos = chain.empty() ? 0 : chain.size() - 1;
  int slot = chain.empty() ? 0 : chain_.BlockCount(chain.back());
  if (header_.key_field_count > 0) {
    RowId duplicate = kNoRow;
    chain_.Locate(chain_.KeyOf(raw.data()), &pos, &slot, &duplicate);
    if (duplicate != kNoRow) throw KeyViolationError(path_);
    CheckKeyPlacement(raw.data(), kNoRow);
  }
  const std::vector<std::string> keys = SecondaryKeys(raw, kNoRow);
  RowId row = kNoRow;
  try {
    decoded_.AddRow();
    row = chain_.Insert(pos, slot, raw);
    for (size_t i = 0; i < secondary_.size(); ++i) secondary_[i]->Add(row, keys[i]);
    header_.num_records += 1;
    header_.auto_inc = auto_inc;
    FinishPost();
    added_.insert(row);
  } catch (...) {
    // Only running out of memory or room stops a post half-way: our picture may be half-changed,
    // so the last saved one is taken, and the error ends the command.
    Load();
    throw;
  }
  indexes_.Add(row);
  return row;
}

void TableFile::CheckUniqueEntries(const std::vector<std::pair<RowId, const Record*>>& changes) {
  if (std::none_of(secondary_.begin(), secondary_.end(), [](const auto& i) { return i->unique(); })) return;
  std::unordered_set<RowId> selected;
  std::vector<std::vector<uint8_t>> raws;
  for (const auto& [row, record] : changes) {
    CheckRow(row);
    selected.insert(row);
    const uint8_t* current = chain_.RecordBytes(row);
    const std::vector<uint8_t> old(current, current + header_.record_size);
    raws.push_back(EncodeRecord(*record, &old, decoded_.Find(row)));
  }
  for (const auto& index : secondary_) {
    if (!index->unique()) continue;
    std::unordered_set<std::string> taken;
    for (const std::vector<uint8_t>& raw : raws) {
      const std::string key = index->EntryKey(raw.data());
      if (!taken.insert(key.substr(0, index->indexed_size())).second) index->RefuseDuplicate(raw.data());
      index->CheckUnique(key, raw.data(), [&](RowId owner) { return selected.count(owner) != 0; });
    }
  }
}

void TableFile::Update(RowId row, const Record& record) {
  RequireWritable();
  if (RefreshIfChanged()) {
    throw EngineError(path_ + ": another program changed the table; it was read again and the "
                      "record was not updated");
  }
  CheckRow(row);
  const uint8_t* current = chain_.RecordBytes(row);
  const std::vector<uint8_t> old(current, current + header_.record_size);
  // A row's decoded record, while held, is exactly what its bytes decode to.
  std::vector<uint8_t> raw = EncodeRecord(record, &old, decoded_.Find(row));
  if (raw == old) return;
  const BlockChain::Location loc = chain_.location(row);
  bool in_place = true;
  size_t pos = 0;
  int slot = 0;
  if (header_.key_field_count > 0 && std::memcmp(raw.data(), old.data(), key_size_) != 0) {
    RowId duplicate = kNoRow;
    chain_.Locate(chain_.KeyOf(raw.data()), &pos, &slot, &duplicate);
    if (duplicate != kNoRow) throw KeyViolationError(path_);
    CheckKeyPlacement(raw.data(), row);
    in_place = chain_.blocks()[pos] == loc.block && (slot == loc.slot || slot == loc.slot + 1);
  }
  const std::vector<std::string> keys = SecondaryKeys(raw, row);
  indexes_.Remove(row);
  try {
    if (added_.count(row) == 0) saved_rows_.Keep(row, old.data(), old.size());
    if (in_place) {
      std::memcpy(chain_.MutableRecordBytes(row), raw.data(), header_.record_size);
      if (index_ && loc.slot == 0) {
        index_->SetLeaf(loc.block, chain_.FirstKey(loc.block),
                        static_cast<uint32_t>(chain_.BlockCount(loc.block)));
      }
    } else {
      chain_.Move(row, pos, slot, raw);
    }
    for (size_t i = 0; i < secondary_.size(); ++i) secondary_[i]->Change(row, keys[i]);
    FinishPost();
  } catch (...) {
    Load();  // as in Insert
    throw;
  }
  decoded_.Forget(row);
  indexes_.Add(row);
}

}  // namespace varnholt::paradox
