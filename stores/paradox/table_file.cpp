#include "stores/paradox/table_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <filesystem>
#include <limits>

#include "stores/paradox/block.h"
#include "stores/paradox/engine_message.h"

namespace varnholt::paradox {

namespace {

constexpr RowId kNoRow = std::numeric_limits<RowId>::max();
constexpr size_t kMaxBlocks = 0xFFFF;  // block numbers are 16-bit

// A file being saved is written under its own name with this suffix, then renamed over it.
constexpr char kSavingSuffix[] = ".saving";
// Tries to take the lock of a file that a saver keeps replacing.
constexpr int kLockAttempts = 8;

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The file of the same family with extension `ext` (e.g. "PX"), found without regard to case;
// when there is none, the name it would have (extension in the case of the .DB's).
std::string SiblingPath(const std::string& db_path, const std::string& ext) {
  namespace fs = std::filesystem;
  const fs::path p(db_path);
  const std::string stem = p.stem().string();
  const std::string wanted = Upper(stem + "." + ext);
  std::error_code ec;
  const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (Upper(entry.path().filename().string()) == wanted) {
      return (p.has_parent_path() ? p.parent_path() / entry.path().filename()
                                  : entry.path().filename())
          .string();
    }
  }
  const std::string db_ext = p.extension().string();
  const bool lower = db_ext.size() > 1 && std::islower(static_cast<unsigned char>(db_ext[1]));
  std::string e = ext;
  if (lower) {
    for (auto& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  fs::path out = p;
  out.replace_extension("." + e);
  return out.string();
}

}  // namespace

std::unique_ptr<Table> Table::Open(const std::string& db_path, bool writable) {
  return std::make_unique<TableFile>(db_path, writable);
}

TableFile::TableFile(std::string path, bool writable)
    : path_(std::move(path)), writable_(writable) {
  px_path_ = SiblingPath(path_, "PX");
  mb_path_ = SiblingPath(path_, "MB");
  OpenAndLock();
  if (writable_) RemoveLeftOverSaves();
  Load();
}

TableFile::~TableFile() {
  // Every command saves before it reports; this only catches a holder that did not. A failure here
  // leaves the files as they were at the last save.
  if (unsaved_) {
    try {
      Save();
    } catch (const std::exception&) {
    }
  }
}

void TableFile::OpenAndLock() {
  for (int attempt = 0;; ++attempt) {
    db_ = OsFile::Open(path_, writable_);
    if (!writable_) return;
    if (!db_.TryLock()) {
      throw EngineError(path_ + ": the table is in use (another program has it open for writing)");
    }
    // A saver may have renamed a new file over the one we opened before we got its lock; the lock
    // of a file no longer in the folder guards nothing.
    if (StampOf(path_).inode == db_.Stamp().inode) return;
    if (attempt + 1 == kLockAttempts) {
      throw EngineError(path_ + ": the table is in use (another program keeps replacing it)");
    }
  }
}

void TableFile::RemoveLeftOverSaves() const {
  // Only a killed save leaves these behind; we hold the lock, so no save of ours is under way.
  std::error_code ec;
  std::filesystem::remove(path_ + kSavingSuffix, ec);
  std::filesystem::remove(px_path_ + kSavingSuffix, ec);
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

void TableFile::Load() {
  ++load_count_;
  const uint64_t file_size = db_.Stamp().size;
  std::vector<uint8_t> head = db_.ReadAt(0, kHeaderFixedSize);
  if (head.size() == kHeaderFixedSize && GetU16(head.data() + kHeaderHeaderSize) > kHeaderFixedSize) {
    head = db_.ReadAt(0, GetU16(head.data() + kHeaderHeaderSize));
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
  try {
    code_page_ = std::make_unique<CodePage>(h.code_page);
  } catch (const EngineError& e) {
    throw EngineError(path_ + ": " + e.what());
  }
  fields_ = h.fields;
  for (auto& f : fields_) {
    f.name = code_page_->ToUtf8(reinterpret_cast<const uint8_t*>(f.name.data()), f.name.size());
  }
  codec_ = std::make_unique<FieldCodec>(fields_, *code_page_, path_);
  key_size_ = 0;
  for (int i = 0; i < h.key_field_count; ++i) key_size_ += StoredSize(h.fields[i]);
  capacity_ = BlockCapacity(h.block_size, h.record_size);
  auto_field_ = -1;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].type == FieldType::kAutoIncrement) {
      auto_field_ = static_cast<int>(i);
      break;
    }
  }
  stamp_k_ = StampOffsetForSortOrder(h.sort_order_byte, h.sort_order);

  const size_t bs = h.block_size;
  const int rs = h.record_size;
  const size_t body = file_size - h.header_size;
  const size_t physical = (body + bs - 1) / bs;  // a short last block reads as zeros
  // Only what the file holds is read; blocks the header claims beyond it make the header stale.
  const size_t held = physical;
  if (held > kMaxBlocks) throw EngineError(path_ + ": damaged (more blocks than a table can have)");
  chunks_.clear();
  block_size_ = bs;
  physical_blocks_ = physical;
  file_size_ = file_size;
  // Read straight into the chunks: no second copy of the file, no zeroing what is read anyway.
  const size_t chunk_bytes = kBlocksPerChunk * bs;
  for (size_t at = 0; at < held * bs; at += chunk_bytes) {
    chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(chunk_bytes));
    uint8_t* chunk = chunks_.back().get();
    size_t got = 0;
    if (at < body) got = db_.ReadInto(h.header_size + at, chunk, std::min(chunk_bytes, body - at));
    std::memset(chunk + got, 0, chunk_bytes - got);  // a short last block reads as zeros
  }

  // Walk the chain: its structure must be sound; counters that lag behind it are repairable.
  bool stale = false;
  chain_.clear();
  block_rows_.assign(held, {});
  rows_.clear();
  std::vector<bool> in_chain(held + 1, false);
  uint16_t prev = 0;
  uint32_t total = 0;
  for (uint16_t b = h.first_block; b != 0;) {
    if (b > physical) {
      throw EngineError(path_ + ": the file is truncated (its block chain reaches block " +
                        std::to_string(b) + " but the file holds " + std::to_string(physical) +
                        ")");
    }
    if (in_chain[b]) {
      throw EngineError(path_ + ": damaged block chain (it returns to block " + std::to_string(b) +
                        ")");
    }
    in_chain[b] = true;
    BlockView v(BlockData(b), rs);
    const int count = v.count();
    if (count < 0 || count > capacity_) {
      throw EngineError(path_ + ": damaged block " + std::to_string(b) +
                        " (impossible record count)");
    }
    if ((b - 1) * bs + kBlockHeaderSize + static_cast<size_t>(count) * rs > body) {
      throw EngineError(path_ + ": the file is truncated (block " + std::to_string(b) +
                        " ends early)");
    }
    if (count == 0 && writable_ && (b != h.first_block || v.next() != 0)) {
      throw EngineError(path_ + ": damaged (block " + std::to_string(b) +
                        " in the chain holds no records); let Paradox rebuild the table first");
    }
    if (v.prev() != prev) stale = true;
    chain_.push_back(b);
    for (int s = 0; s < count; ++s) {
      block_rows_[b - 1].push_back(static_cast<RowId>(rows_.size()));
      rows_.push_back(Location{b, static_cast<uint16_t>(s)});
    }
    total += static_cast<uint32_t>(count);
    prev = b;
    b = v.next();
  }
  if (writable_ && chain_.size() == 1 && block_rows_[chain_[0] - 1].empty()) {
    // Every record was deleted and the first block stayed behind empty: an empty chain with that
    // block on the free list says the same, and inserts then start as in a new table.
    chain_.clear();
    stale = true;
  }
  const uint16_t last = chain_.empty() ? 0 : chain_.back();
  const uint16_t highest = chain_.empty() ? 0 : *std::max_element(chain_.begin(), chain_.end());
  if (total != h.num_records || chain_.size() != h.blocks_in_use || last != h.last_block ||
      highest > h.file_blocks || h.file_blocks > physical) {
    stale = true;
  }
  {  // the free list must stay clear of the chain and inside the file
    std::vector<bool> seen(held + 1, false);
    size_t steps = 0;
    for (uint16_t f = h.first_free_block; f != 0 && !stale; ++steps) {
      if (f > h.file_blocks || f > held || in_chain[f] || seen[f] || steps > held) {
        stale = true;
        break;
      }
      seen[f] = true;
      f = BlockView(BlockData(f), rs).next();
    }
  }
  header_ = std::move(h);
  if (writable_ && header_.key_field_count > 0) {
    for (size_t i = 1; i < rows_.size(); ++i) {
      if (std::memcmp(RecordBytes(static_cast<RowId>(i - 1)), RecordBytes(static_cast<RowId>(i)),
                      key_size_) >= 0) {
        throw EngineError(path_ + ": damaged (records out of key order or with equal keys in block " +
                          std::to_string(rows_[i].block) +
                          "); let Paradox rebuild the table first");
      }
    }
  }
  if (auto_field_ >= 0) {
    for (RowId r = 0; r < rows_.size(); ++r) {
      const uint8_t* p = RecordBytes(r) + codec_->offset(auto_field_);
      if (std::any_of(p, p + 4, [](uint8_t x) { return x != 0; })) {
        const int64_t v = DecodeInt(p, 4);
        if (v > 0 && static_cast<uint64_t>(v) > header_.auto_inc) stale = true;
      }
    }
  }
  decoded_.clear();
  decoded_.resize(rows_.size());
  decoded_order_.clear();
  decoded_next_ = 0;
  indexes_.clear();
  indexes_.resize(fields_.size());
  bool has_memo = false;
  for (const auto& f : fields_) has_memo = has_memo || f.type == FieldType::kMemo;
  memo_ = has_memo ? MemoFile::Load(mb_path_) : MemoFile();
  has_memo_ = has_memo;

  index_.reset();
  index_rebuild_needed_ = false;
  maintained_indexes_.clear();
  repaired_ = false;
  bool index_stale = false;
  if (writable_) {
    FindSecondaryIndexes();
    if (header_.key_field_count > 0) LoadPrimaryIndex(&index_stale);
  }
  RememberFileStamps();
  if (writable_ && (stale || index_stale) && maintained_indexes_.empty()) Repair(stale);
}

void TableFile::FindSecondaryIndexes() {
  namespace fs = std::filesystem;
  const fs::path p(path_);
  const std::string stem = Upper(p.stem().string());
  const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::error_code ec;
  std::vector<std::string> maintained;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    const std::string upper = Upper(name);
    if (upper.size() != stem.size() + 4 || upper.compare(0, stem.size(), stem) != 0 ||
        upper[stem.size()] != '.' || (upper[stem.size() + 1] != 'X' && upper[stem.size() + 1] != 'Y')) {
      continue;
    }
    try {
      OsFile f = OsFile::Open(entry.path().string(), false);
      const auto head = f.ReadAt(0, kHeaderFixedSize);
      if (head.size() <= kHeaderFileType) continue;
      const uint8_t type = head[kHeaderFileType];
      if (type == kFileTypeMaintainedSecondary || type == kFileTypeMaintainedComposite) {
        maintained.push_back(name);
        // its .Y file goes with it
        std::string y = upper;
        y[stem.size() + 1] = 'Y';
        for (const auto& other : fs::directory_iterator(dir, ec)) {
          if (Upper(other.path().filename().string()) == y) {
            maintained.push_back(other.path().filename().string());
          }
        }
      }
    } catch (const EngineError&) {
      continue;  // unreadable: not ours to judge here
    }
  }
  std::sort(maintained.begin(), maintained.end());
  maintained_indexes_ = std::move(maintained);
}

void TableFile::LoadPrimaryIndex(bool* stale) {
  const std::vector<IndexLeafEntry> leaves = LeafEntries();
  std::optional<Header> px_header;
  if (FileExists(px_path_)) {
    const std::vector<uint8_t> bytes = OsFile::Open(px_path_, false).ReadAll();
    try {
      Header ph = ParseHeader(bytes, px_path_);
      bool fits = ph.file_type == kFileTypePrimaryIndex &&
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
  Header base = px_header ? *px_header
                          : BuildPrimaryIndexHeader(
                                header_, Upper(std::filesystem::path(px_path_).filename().string()));
  index_ = PrimaryIndex::Build(std::move(base), leaves);
  index_rebuild_needed_ = true;
  *stale = true;
}

void TableFile::Repair(bool db_stale) {
  const int rs = header_.record_size;
  if (db_stale) {
    uint16_t prev = 0;
    for (uint16_t b : chain_) {
      BlockView v(BlockData(b), rs);
      if (v.prev() != prev) v.set_prev(prev);
      prev = b;
    }
    const uint16_t highest = chain_.empty() ? 0 : *std::max_element(chain_.begin(), chain_.end());
    // Blocks past the header's count that the chain does not use are left-overs: not counted.
    header_.file_blocks = std::max<uint16_t>(
        highest, static_cast<uint16_t>(std::min<size_t>(header_.file_blocks, physical_blocks_)));
    std::vector<bool> in_chain(header_.file_blocks + 1, false);
    for (uint16_t b : chain_) in_chain[b] = true;
    uint16_t head = 0;
    for (int b = header_.file_blocks; b >= 1; --b) {
      if (in_chain[b]) continue;
      BlockView v(BlockData(static_cast<uint16_t>(b)), rs);
      v.set_next(head);
      v.set_count(0);
      head = static_cast<uint16_t>(b);
    }
    header_.first_free_block = head;
    header_.num_records = static_cast<uint32_t>(rows_.size());
    header_.blocks_in_use = static_cast<uint16_t>(chain_.size());
    header_.first_block = chain_.empty() ? 0 : chain_.front();
    header_.last_block = chain_.empty() ? 0 : chain_.back();
    if (auto_field_ >= 0) {
      for (RowId r = 0; r < rows_.size(); ++r) {
        const uint8_t* p = RecordBytes(r) + codec_->offset(auto_field_);
        if (std::any_of(p, p + 4, [](uint8_t x) { return x != 0; })) {
          const int64_t v = DecodeInt(p, 4);
          if (v > 0) header_.auto_inc = std::max<uint32_t>(header_.auto_inc, static_cast<uint32_t>(v));
        }
      }
    }
    header_.change_count1 = NextChangeCount(header_.change_count1);
  }
  if (db_stale) StoreCounters(&header_);
  // The index is written whole at the save, which also puts its stamp right.
  unsaved_ = true;
  Save();
  repaired_ = true;
}

void TableFile::RememberFileStamps() {
  db_stamp_ = StampOf(path_);
  px_stamp_ = StampOf(px_path_);
  mb_stamp_ = StampOf(mb_path_);
  header_bytes_ = db_.ReadAt(0, kHeaderFixedSize);
}

bool TableFile::FilesChanged() const {
  if (StampOf(path_) != db_stamp_) return true;
  if (header_.key_field_count > 0 && StampOf(px_path_) != px_stamp_) return true;
  // Only memo fields read the .MB; posts never write it.
  if (has_memo_ && StampOf(mb_path_) != mb_stamp_) return true;
  // Coarse file times can hide a quick change; the counters in the header cannot.
  return db_.ReadAt(0, kHeaderFixedSize) != header_bytes_;
}

bool TableFile::RefreshIfChanged() {
  if (unsaved_ || !FilesChanged()) return false;
  if (StampOf(path_).inode != db_.Stamp().inode) {  // replaced: follow the new file
    OsFile fresh = OsFile::Open(path_, writable_);
    if (writable_ && !fresh.TryLock()) {
      throw EngineError(path_ + ": the table is in use (another program has it open for writing)");
    }
    db_ = std::move(fresh);
  }
  Load();
  return true;
}

void TableFile::RequireWritable() {
  if (!writable_) throw EngineError(path_ + ": the table is open for reading only");
  if (!maintained_indexes_.empty()) {
    std::string names;
    for (const auto& n : maintained_indexes_) names += (names.empty() ? "" : ", ") + n;
    throw EngineError(path_ + ": cannot write: the table has secondary indexes that Paradox keeps "
                      "current (" + names + "), which this engine does not maintain");
  }
}

uint8_t* TableFile::BlockData(uint16_t block) const {
  const size_t i = static_cast<size_t>(block) - 1;
  return chunks_[i / kBlocksPerChunk].get() + (i % kBlocksPerChunk) * block_size_;
}

void TableFile::HoldBlocks(size_t count) {
  // Not zeroed here: AllocateBlock clears each block as it hands it out, and only blocks handed out
  // or read from the file are ever looked at or saved.
  while (chunks_.size() * kBlocksPerChunk < count) {
    chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlocksPerChunk * block_size_));
  }
}

const uint8_t* TableFile::RecordBytes(RowId row) const {
  const Location& l = rows_[row];
  return BlockData(l.block) + kBlockHeaderSize + static_cast<size_t>(l.slot) * header_.record_size;
}

std::string TableFile::KeyOf(const uint8_t* record) const {
  return std::string(reinterpret_cast<const char*>(record), key_size_);
}

std::string TableFile::FirstKey(uint16_t block) const {
  return KeyOf(BlockData(block) + kBlockHeaderSize);
}

int TableFile::BlockCount(uint16_t block) const {
  return static_cast<int>(block_rows_[block - 1].size());
}

std::vector<IndexLeafEntry> TableFile::LeafEntries() const {
  std::vector<IndexLeafEntry> leaves;
  leaves.reserve(chain_.size());
  for (uint16_t b : chain_) {
    leaves.push_back(IndexLeafEntry{FirstKey(b), b, static_cast<uint32_t>(BlockCount(b))});
  }
  return leaves;
}

uint8_t TableFile::Stamp() const { return IndexStamp(header_.change_count1, stamp_k_); }

std::vector<RowId> TableFile::Rows() {
  std::vector<RowId> out;
  out.reserve(rows_.size());
  for (uint16_t b : chain_) {
    const auto& r = block_rows_[b - 1];
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

size_t TableFile::RecordCount() {
  size_t n = 0;
  for (uint16_t b : chain_) n += block_rows_[b - 1].size();
  return n;
}

Value TableFile::GetField(RowId row, int field) {
  if (row >= rows_.size() || rows_[row].block == 0) {
    throw EngineError(path_ + ": no record " + std::to_string(row));
  }
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) {
    throw EngineError(path_ + ": no field number " + std::to_string(field));
  }
  if (decoded_[row]) return (*decoded_[row])[field];
  return codec_->Decode(field, RecordBytes(row), &memo_);
}

const Record& TableFile::Get(RowId row) {
  if (row >= rows_.size() || rows_[row].block == 0) {
    throw EngineError(path_ + ": no record " + std::to_string(row));
  }
  if (!decoded_[row]) {
    auto record = std::make_unique<Record>();
    record->reserve(fields_.size());
    const uint8_t* bytes = RecordBytes(row);
    for (size_t i = 0; i < fields_.size(); ++i) {
      record->push_back(codec_->Decode(static_cast<int>(i), bytes, &memo_));
    }
    // Only the most recently read rows stay decoded, so a pass over a large table does not keep a
    // second, decoded copy of all of it.
    if (decoded_order_.size() < kDecodedRows) {
      decoded_order_.emplace_back(row, record.get());
    } else {
      auto& [oldest, held] = decoded_order_[decoded_next_];
      if (oldest < decoded_.size() && decoded_[oldest].get() == held) decoded_[oldest].reset();
      decoded_order_[decoded_next_] = {row, record.get()};
      decoded_next_ = (decoded_next_ + 1) % kDecodedRows;
    }
    decoded_[row] = std::move(record);
  }
  return *decoded_[row];
}

std::string_view TableFile::IndexKey(int field, const uint8_t* record, std::string* scratch) {
  const uint8_t* p = record + codec_->offset(field);
  switch (fields_[field].type) {
    case FieldType::kAlpha: {
      const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, codec_->size(field)));
      return std::string_view(reinterpret_cast<const char*>(p), end ? end - p : codec_->size(field));
    }
    case FieldType::kMemo: {
      const Value v = codec_->Decode(field, record, &memo_);
      const auto* s = std::get_if<std::string>(&v);
      *scratch = s ? *s : std::string();
      return *scratch;
    }
    default:
      return std::string_view(reinterpret_cast<const char*>(p), codec_->size(field));
  }
}

uint64_t TableFile::IndexHash(int field, RowId row, std::string* scratch) {
  return FieldIndex::Hash(IndexKey(field, RecordBytes(row), scratch));
}

std::vector<RowId> TableFile::FindEqual(int field, const Value& value) {
  if (field < 0 || static_cast<size_t>(field) >= fields_.size()) {
    throw EngineError(path_ + ": no field number " + std::to_string(field));
  }
  auto& index = indexes_[field];
  std::string scratch;
  if (!index) {
    index = std::make_unique<FieldIndex>();
    index->Reserve(rows_.size());
    for (uint16_t b : chain_) {
      for (RowId r : block_rows_[b - 1]) index->Add(IndexHash(field, r, &scratch), r);
    }
  }
  std::string key;
  if (fields_[field].type == FieldType::kMemo && std::holds_alternative<std::string>(value)) {
    key = std::get<std::string>(value);
  } else {
    probe_.assign(codec_->record_size(), 0);
    bool exact = true;
    try {
      codec_->Encode(field, value, probe_.data(), &exact);
    } catch (const EngineError&) {
      return {};  // a value the field cannot hold equals none of its values
    }
    if (!exact) return {};
    key = IndexKey(field, probe_.data(), &scratch);
  }
  std::vector<RowId> hits;
  index->Find(FieldIndex::Hash(key), &hits);
  // Rows whose key only shares the hash are not hits.
  std::erase_if(hits, [&](RowId r) { return IndexKey(field, RecordBytes(r), &scratch) != key; });
  if (header_.key_field_count > 0) {
    std::sort(hits.begin(), hits.end(), [&](RowId a, RowId b) {
      return std::memcmp(RecordBytes(a), RecordBytes(b), key_size_) < 0;
    });
  } else {
    std::sort(hits.begin(), hits.end());
  }
  return hits;
}

void TableFile::IndexAdd(RowId row) {
  std::string scratch;
  for (size_t f = 0; f < indexes_.size(); ++f) {
    if (indexes_[f]) indexes_[f]->Add(IndexHash(static_cast<int>(f), row, &scratch), row);
  }
}

void TableFile::IndexRemove(RowId row) {
  std::string scratch;
  for (size_t f = 0; f < indexes_.size(); ++f) {
    if (indexes_[f]) indexes_[f]->Remove(IndexHash(static_cast<int>(f), row, &scratch), row);
  }
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

void TableFile::Locate(const std::string& key, size_t* chain_pos, int* slot,
                       RowId* duplicate) const {
  *duplicate = kNoRow;
  *chain_pos = 0;
  *slot = 0;
  if (chain_.empty()) return;
  const int rs = header_.record_size;
  auto record = [&](uint16_t b, int s) {
    return BlockData(b) + kBlockHeaderSize +
           static_cast<size_t>(s) * rs;
  };
  // The block holding the greatest key below the new one; the first block when there is none.
  auto it = std::upper_bound(chain_.begin(), chain_.end(), key, [&](const std::string& k, uint16_t b) {
    return std::memcmp(k.data(), record(b, 0), key_size_) < 0;
  });
  *chain_pos = it == chain_.begin() ? 0 : static_cast<size_t>(it - chain_.begin()) - 1;
  const uint16_t b = chain_[*chain_pos];
  int lo = 0, hi = BlockCount(b);
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (std::memcmp(record(b, mid), key.data(), key_size_) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  *slot = lo;
  if (lo < BlockCount(b) && std::memcmp(record(b, lo), key.data(), key_size_) == 0) {
    *duplicate = block_rows_[b - 1][lo];
  }
}

uint16_t TableFile::AllocateBlock() {
  uint16_t b = header_.first_free_block;
  if (b != 0) {
    HoldBlocks(b);
    header_.first_free_block = BlockView(BlockData(b), header_.record_size).next();
  } else {
    if (header_.file_blocks >= kMaxBlocks) {
      throw EngineError(path_ + ": the table is full (no more blocks can be added)");
    }
    b = ++header_.file_blocks;
    HoldBlocks(b);
    if (block_rows_.size() < b) block_rows_.resize(std::max<size_t>(b, block_rows_.size() * 3 / 2));
  }
  std::memset(BlockData(b), 0, header_.block_size);
  block_rows_[b - 1].clear();
  return b;
}

void TableFile::SetRow(uint16_t block, int slot, RowId row) {
  rows_[row] = Location{block, static_cast<uint16_t>(slot)};
}

RowId TableFile::Place(size_t pos, int slot, const std::vector<uint8_t>& raw, RowId row) {
  const int rs = header_.record_size;
  if (chain_.empty()) {
    const uint16_t b = AllocateBlock();
    BlockView v(BlockData(b), rs);
    v.set_next(0);
    v.set_prev(0);
    v.set_count(1);
    std::memcpy(v.record(0), raw.data(), rs);
    block_rows_[b - 1] = {row};
    SetRow(b, 0, row);
    chain_.push_back(b);
    header_.first_block = header_.last_block = b;
    if (index_) index_->InsertLeafAfter(0, IndexLeafEntry{FirstKey(b), b, 1});
    return row;
  }
  const uint16_t b = chain_[pos];
  const int n = BlockCount(b);
  if (n < capacity_) {
    BlockView v(BlockData(b), rs);
    std::memmove(v.record(slot + 1), v.record(slot), static_cast<size_t>(n - slot) * rs);
    std::memcpy(v.record(slot), raw.data(), rs);
    v.set_count(n + 1);
    auto& r = block_rows_[b - 1];
    r.insert(r.begin() + slot, row);
    for (int i = slot; i <= n; ++i) SetRow(b, i, r[i]);
    if (index_) index_->SetLeaf(b, FirstKey(b), static_cast<uint32_t>(n + 1));
    return row;
  }
  // Full. The tail block gets a new block after it, with the records that sort after the new
  // one (none when appending); any other block splits in half.
  const bool tail = pos + 1 == chain_.size();
  const int keep = tail ? slot : (n + 1) / 2;
  const bool into_old = tail ? slot < n : slot <= keep;
  const uint16_t fresh = AllocateBlock();
  BlockView old_v(BlockData(b), rs);
  BlockView new_v(BlockData(fresh), rs);
  const int moved = n - keep;
  std::memcpy(new_v.record(0), old_v.record(keep), static_cast<size_t>(moved) * rs);
  auto& old_rows = block_rows_[b - 1];
  auto& new_rows = block_rows_[fresh - 1];
  new_rows.assign(old_rows.begin() + keep, old_rows.end());
  old_rows.resize(keep);
  if (into_old) {
    std::memmove(old_v.record(slot + 1), old_v.record(slot), static_cast<size_t>(keep - slot) * rs);
    std::memcpy(old_v.record(slot), raw.data(), rs);
    old_rows.insert(old_rows.begin() + slot, row);
  } else {
    const int s = slot - keep;
    std::memmove(new_v.record(s + 1), new_v.record(s), static_cast<size_t>(moved - s) * rs);
    std::memcpy(new_v.record(s), raw.data(), rs);
    new_rows.insert(new_rows.begin() + s, row);
  }
  const int old_count = static_cast<int>(old_rows.size());
  const int new_count = static_cast<int>(new_rows.size());
  std::memset(old_v.record(old_count), 0, static_cast<size_t>(capacity_ - old_count) * rs);
  old_v.set_count(old_count);
  new_v.set_count(new_count);
  const uint16_t successor = old_v.next();
  new_v.set_next(successor);
  new_v.set_prev(b);
  old_v.set_next(fresh);
  for (int i = 0; i < old_count; ++i) SetRow(b, i, old_rows[i]);
  for (int i = 0; i < new_count; ++i) SetRow(fresh, i, new_rows[i]);
  if (successor != 0) BlockView(BlockData(successor), rs).set_prev(fresh);
  chain_.insert(chain_.begin() + static_cast<std::ptrdiff_t>(pos) + 1, fresh);
  if (tail) header_.last_block = fresh;
  if (index_) {
    index_->SetLeaf(b, FirstKey(b), static_cast<uint32_t>(old_count));
    index_->InsertLeafAfter(b, IndexLeafEntry{FirstKey(fresh), fresh,
                                              static_cast<uint32_t>(new_count)});
  }
  return row;
}

void TableFile::Remove(RowId row) {
  const int rs = header_.record_size;
  const Location loc = rows_[row];
  const uint16_t b = loc.block;
  BlockView v(BlockData(b), rs);
  const int n = BlockCount(b);
  std::memmove(v.record(loc.slot), v.record(loc.slot + 1),
               static_cast<size_t>(n - loc.slot - 1) * rs);
  std::memset(v.record(n - 1), 0, rs);
  v.set_count(n - 1);
  auto& r = block_rows_[b - 1];
  r.erase(r.begin() + loc.slot);
  for (int i = loc.slot; i < n - 1; ++i) SetRow(b, i, r[i]);
  rows_[row] = Location{};
  if (n - 1 > 0) {
    if (index_) index_->SetLeaf(b, FirstKey(b), static_cast<uint32_t>(n - 1));
    return;
  }
  // The block emptied: take it out of the chain and put it on the free list.
  const size_t pos = static_cast<size_t>(std::find(chain_.begin(), chain_.end(), b) - chain_.begin());
  if (chain_.size() == 1) {
    v.set_next(header_.first_free_block);
    header_.first_free_block = b;
    chain_.clear();
    header_.first_block = header_.last_block = 0;
  } else if (pos == 0) {
    // The head stays the head: the next block's records move into it and that block is freed.
    const uint16_t s = chain_[1];
    BlockView sv(BlockData(s), rs);
    const int m = BlockCount(s);
    std::memcpy(v.record(0), sv.record(0), static_cast<size_t>(m) * rs);
    v.set_count(m);
    v.set_next(sv.next());
    v.set_prev(0);
    block_rows_[b - 1] = block_rows_[s - 1];
    block_rows_[s - 1].clear();
    for (int i = 0; i < m; ++i) SetRow(b, i, block_rows_[b - 1][i]);
    if (sv.next() != 0) BlockView(BlockData(sv.next()), rs).set_prev(b);
    sv.set_next(header_.first_free_block);
    sv.set_count(0);
    header_.first_free_block = s;
    chain_.erase(chain_.begin() + 1);
    if (header_.last_block == s) header_.last_block = b;
  } else {
    const uint16_t p = chain_[pos - 1];
    const uint16_t s = pos + 1 < chain_.size() ? chain_[pos + 1] : 0;
    BlockView(BlockData(p), rs).set_next(s);  // unlinks the emptied block
    if (s != 0) {
      BlockView(BlockData(s), rs).set_prev(p);
    } else {
      header_.last_block = p;
    }
    v.set_next(header_.first_free_block);
    header_.first_free_block = b;
    chain_.erase(chain_.begin() + static_cast<std::ptrdiff_t>(pos));
  }
  index_rebuild_needed_ = index_.has_value();
}

void TableFile::FinishPost() {
  header_.blocks_in_use = static_cast<uint16_t>(chain_.size());
  header_.first_block = chain_.empty() ? 0 : chain_.front();
  header_.last_block = chain_.empty() ? 0 : chain_.back();
  header_.change_count1 = NextChangeCount(header_.change_count1);
  if (index_ && index_rebuild_needed_) {
    Header h = std::move(index_->header());
    index_ = PrimaryIndex::Build(std::move(h), LeafEntries());
    index_rebuild_needed_ = false;
  }
  StoreCounters(&header_);
  unsaved_ = true;
}

void TableFile::WriteDbFile(OsFile* file) {
  file->WriteAt(0, header_.raw.data(), header_.raw.size());
  // Every block the header counts, and whatever else the old file held after them, so that saving
  // never drops bytes another program may have put there.
  const size_t blocks = std::max<size_t>(header_.file_blocks, physical_blocks_);
  const uint64_t size =
      std::max<uint64_t>(header_.header_size + blocks * block_size_, file_size_);
  const size_t chunk_bytes = kBlocksPerChunk * block_size_;
  uint64_t at = header_.header_size;
  for (size_t c = 0; c < chunks_.size() && at < size; ++c) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(chunk_bytes, size - at));
    file->WriteAt(at, chunks_[c].get(), length);
    at += length;
  }
  file_size_ = at;
  physical_blocks_ = (at - header_.header_size + block_size_ - 1) / block_size_;
}

void TableFile::Save() {
  if (!unsaved_) return;
  if (FilesChanged()) {
    Load();
    throw EngineError(path_ + ": another program changed the table while this run was writing to "
                      "it; this run's changes to it were not saved, and the table was read again");
  }
  const std::string db_saving = path_ + kSavingSuffix;
  const std::string px_saving = px_path_ + kSavingSuffix;
  try {
    std::optional<OsFile> px_file;
    if (index_) {
      OsFile::RemoveFile(px_saving);
      px_file = OsFile::Create(px_saving, px_path_);
      index_->Flush(&*px_file, Stamp());
      px_file->CopyOwnerAndModeOf(px_path_);
      px_file->SyncData();
    }
    OsFile::RemoveFile(db_saving);
    OsFile db_file = OsFile::Create(db_saving, path_);
    // Ours before it is in the folder: the table's lock passes from the old file to the new one
    // with no moment in between.
    if (!db_file.TryLock()) throw EngineError(db_saving + ": cannot lock the new file");
    WriteDbFile(&db_file);
    db_file.CopyOwnerAndModeOf(path_);
    db_file.SyncData();
    if (px_file) {
      OsFile::RenameBoth(&*px_file, px_path_, &db_file, path_, path_);
    } else {
      db_file.RenameTo(path_);
    }
    OsFile::SyncFolderOf(path_);
    db_ = std::move(db_file);
  } catch (const EngineError&) {
    std::error_code ec;
    std::filesystem::remove(px_saving, ec);
    std::filesystem::remove(db_saving, ec);
    throw;
  }
  unsaved_ = false;
  RememberFileStamps();
}

RowId TableFile::Insert(const Record& record) {
  RequireWritable();
  RefreshIfChanged();
  RequireWritable();
  std::vector<uint8_t> raw = EncodeRecord(record, nullptr);
  uint32_t auto_inc = header_.auto_inc;
  if (auto_field_ >= 0) {
    if (std::holds_alternative<Null>(record[auto_field_])) {
      if (auto_inc >= 2147483647u) throw EngineError(path_ + ": the autoincrement field is exhausted");
      ++auto_inc;
      EncodeInt(auto_inc, 4, raw.data() + codec_->offset(auto_field_));
    } else {
      const int64_t v = DecodeInt(raw.data() + codec_->offset(auto_field_), 4);
      if (v > 0) auto_inc = std::max<uint32_t>(auto_inc, static_cast<uint32_t>(v));
    }
  }
  size_t pos = chain_.empty() ? 0 : chain_.size() - 1;
  int slot = chain_.empty() ? 0 : BlockCount(chain_.back());
  if (header_.key_field_count > 0) {
    RowId duplicate = kNoRow;
    Locate(KeyOf(raw.data()), &pos, &slot, &duplicate);
    if (duplicate != kNoRow) throw KeyViolationError(path_);
  }
  const auto row = static_cast<RowId>(rows_.size());
  try {
    rows_.push_back(Location{});
    decoded_.push_back(nullptr);
    Place(pos, slot, raw, row);
    header_.num_records += 1;
    header_.auto_inc = auto_inc;
    FinishPost();
  } catch (...) {
    // Only running out of memory stops a post half-way: our picture may be half-changed, so the
    // last saved one is taken, and the error ends the command.
    Load();
    throw;
  }
  IndexAdd(row);
  return row;
}

void TableFile::Update(RowId row, const Record& record) {
  RequireWritable();
  if (RefreshIfChanged()) {
    throw EngineError(path_ + ": another program changed the table; it was read again and the "
                      "record was not updated");
  }
  if (row >= rows_.size() || rows_[row].block == 0) {
    throw EngineError(path_ + ": no record " + std::to_string(row));
  }
  const uint8_t* current = RecordBytes(row);
  const std::vector<uint8_t> old(current, current + header_.record_size);
  // A row's decoded record, while held, is exactly what its bytes decode to.
  std::vector<uint8_t> raw = EncodeRecord(record, &old, decoded_[row].get());
  if (raw == old) return;
  const Location loc = rows_[row];
  bool in_place = true;
  size_t pos = 0;
  int slot = 0;
  if (header_.key_field_count > 0 && std::memcmp(raw.data(), old.data(), key_size_) != 0) {
    RowId duplicate = kNoRow;
    Locate(KeyOf(raw.data()), &pos, &slot, &duplicate);
    if (duplicate != kNoRow) throw KeyViolationError(path_);
    in_place = chain_[pos] == loc.block && (slot == loc.slot || slot == loc.slot + 1);
  }
  IndexRemove(row);
  try {
    if (in_place) {
      BlockView v(BlockData(loc.block), header_.record_size);
      std::memcpy(v.record(loc.slot), raw.data(), header_.record_size);
      if (index_ && loc.slot == 0) {
        index_->SetLeaf(loc.block, FirstKey(loc.block),
                        static_cast<uint32_t>(BlockCount(loc.block)));
      }
    } else {
      // The new version first, then the old one goes.
      const auto temp = static_cast<RowId>(rows_.size());
      rows_.push_back(Location{});
      decoded_.push_back(nullptr);
      Place(pos, slot, raw, temp);
      Remove(row);
      const Location moved = rows_[temp];
      rows_[row] = moved;
      block_rows_[moved.block - 1][moved.slot] = row;
      rows_.pop_back();
      decoded_.pop_back();
    }
    FinishPost();
  } catch (...) {
    Load();  // as in Insert
    throw;
  }
  decoded_[row].reset();
  IndexAdd(row);
}

}  // namespace varnholt::paradox
