#include "stores/jet/jet_database.h"

// libmdb's header uses glib types without including glib itself.
#include <glib.h>
#include <mdbtools.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>

#include "base/case_fold.h"
#include "base/store_error.h"
#include "base/utf8.h"

namespace varnholt {

namespace {

// Row offsets on a data page carry flags in their top bits.
constexpr int kRowOffsetMask = 0x1FFF;
constexpr int kDeletedRow = 0x4000;
// Memo header (12 bytes): u32 length with flags in the top byte, u32 page<<8|row of its LVAL row.
constexpr uint32_t kMemoInline = 0x80000000;      // the text follows the header in the row
constexpr uint32_t kMemoSingleLval = 0x40000000;  // the text is one LVAL row
constexpr uint32_t kMemoFlagsMask = 0xFF000000;
constexpr int kMemoPageRowOffset = 4;
constexpr size_t kLvalNextSize = 4;  // each LVAL row of a chain starts with the next page<<8|row
// Jet 4 text starting with these bytes is "compressed": one byte per character until a zero byte
// switches to two-byte characters (and back).
constexpr uint8_t kCompressedMark[2] = {0xFF, 0xFE};
// A database needs at least its header, the global map and the catalog's table definition.
constexpr size_t kMinimumPages = 3;

// The messages, each completed with the file (and table) in quotes.
constexpr char kFileMissing[] = "Could not find file ";
constexpr char kCannotRead[] = "Cannot read ";
constexpr char kIsDirectory[] = ": it is a directory";
constexpr char kUnrecognizedFormat[] = "Unrecognized database format ";
constexpr char kNotJet[] = ": it is not a Jet database";
constexpr char kAceNotOpened[] =
    ": it is an Access 2007 or later database, which the Jet 4.0 provider does not open";
constexpr char kDamaged[] = ": the file is damaged";
constexpr char kWrongPassword[] = "Not a valid password for ";
constexpr char kTableMissing[] = "Cannot find the table ";

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

StoreError Damaged(const std::string& path) { return StoreError(kUnrecognizedFormat + Quoted(path) + kDamaged); }


// True when no byte is zero or above 0x7F; eight bytes at a time, as texts are checked cell by cell.
bool IsPlainAscii(const uint8_t* data, size_t size) {
  constexpr uint64_t kLowBits = 0x0101010101010101ULL;
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= size; i += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    // A high bit set, or a zero byte (the borrow of subtracting 1 reaches its high bit).
    if ((word & kHighBits) != 0 || ((word - kLowBits) & ~word & kHighBits) != 0) return false;
  }
  for (; i < size; ++i) {
    if (data[i] == 0 || data[i] >= 0x80) return false;
  }
  return true;
}

// Appends Jet 4 text (UCS-2LE, or compressed) to `out` as UTF-8; surrogate pairs are joined, a lone
// one is U+FFFD. `units` is scratch space.
void AppendJet4Text(const uint8_t* data, size_t size, std::vector<uint16_t>* units, std::string* out) {
  if (size >= 2 && data[0] == kCompressedMark[0] && data[1] == kCompressedMark[1] && IsPlainAscii(data + 2, size - 2)) {
    // Compressed ASCII without a switch to two-byte units, as most texts are: the bytes are the text.
    out->append(reinterpret_cast<const char*>(data + 2), size - 2);
    return;
  }
  units->clear();
  if (size >= 2 && data[0] == kCompressedMark[0] && data[1] == kCompressedMark[1]) {
    bool compressed = true;
    size_t i = 2;
    while (i < size) {
      if (data[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        units->push_back(data[i++]);
      } else if (i + 1 < size) {
        units->push_back(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < size; i += 2) units->push_back(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
  }
  const std::vector<uint16_t>& u = *units;
  for (size_t i = 0; i < u.size(); ++i) {
    uint32_t unit = u[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (u[i + 1] - 0xDC00), out);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(0xFFFD, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
}

struct HandleCloser {
  void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

}  // namespace

class JetDatabase::Impl {
 public:
  std::string path;
  JetVersion version = JetVersion::kNotJet;
  uint64_t file_size = 0;
  std::unique_ptr<MdbHandle, HandleCloser> mdb;
};

namespace {

// Reads the fields of one table's rows, row after row, into a snapshot's cells.
class FieldReader {
 public:
  FieldReader(const std::string& path, JetVersion version, MdbHandle* mdb, SnapshotCells* cells)
      : path_(path), version_(version), mdb_(mdb), cells_(cells) {}

  // Reads one field of the row cracked on the current data page.
  void Read(const MdbColumn& column, const MdbField& field) {
    const uint8_t* page = mdb_->pg_buf;
    if (column.col_type == MDB_BOOL) {
      // Yes/No lives in the row's null mask: a set bit is Yes; it is never null.
      cells_->AddInteger(field.is_null ? 0 : 1);
      return;
    }
    if (field.is_null) {
      cells_->AddNull();
      return;
    }
    const uint8_t* data = page + field.start;
    const size_t size = field.siz > 0 ? static_cast<size_t>(field.siz) : 0;
    auto need = [&](size_t bytes) {
      if (size < bytes) throw Damaged(path_);
    };
    std::string& texts = cells_->Texts();
    const size_t start = texts.size();
    switch (column.col_type) {
      case MDB_BYTE:
        need(1);
        cells_->AddInteger(data[0]);
        return;
      case MDB_INT:
        need(2);
        cells_->AddInteger(static_cast<int16_t>(data[0] | (data[1] << 8)));
        return;
      case MDB_LONGINT:
      case MDB_COMPLEX:
        need(4);
        cells_->AddInteger(static_cast<int32_t>(U32(data)));
        return;
      case MDB_MONEY: {
        need(8);
        uint64_t raw = U32(data) | (static_cast<uint64_t>(U32(data + 4)) << 32);
        cells_->AddInteger(static_cast<int64_t>(raw));
        return;
      }
      case MDB_FLOAT: {
        need(4);
        float f;
        std::memcpy(&f, data, sizeof f);
        cells_->AddReal(f);
        return;
      }
      case MDB_DOUBLE:
      case MDB_DATETIME: {
        need(8);
        double d;
        std::memcpy(&d, data, sizeof d);
        cells_->AddReal(d);
        return;
      }
      case MDB_TEXT:
        AppendText(data, size, &texts);
        break;
      case MDB_MEMO:
        AppendMemo(data, size, &texts);
        break;
      case MDB_REPID: {
        need(16);
        char* text = mdb_uuid_to_string(page, field.start);
        if (text) texts += text;
        g_free(text);
        break;
      }
      case MDB_NUMERIC: {
        need(17);
        char* text = mdb_numeric_to_string(mdb_, field.start, column.col_scale, column.col_prec);
        const double real = text ? std::strtod(text, nullptr) : 0;
        if (text) texts += text;
        g_free(text);
        CheckTextBytes();
        cells_->AddDecimal(start, real);
        return;
      }
      default:
        // Binary and OLE objects have no text form here: an empty text.
        break;
    }
    CheckTextBytes();
    cells_->AddText(start);
  }

 private:
  void CheckTextBytes() const {
    if (cells_->Texts().size() > SnapshotCells::kMaxTextBytes) throw Damaged(path_);
  }

  void AppendText(const uint8_t* data, size_t size, std::string* out) {
    if (version_ == JetVersion::kJet4) {
      AppendJet4Text(data, size, &units_, out);
      return;
    }
    // Jet 3 text is in the database's code page; libmdb converts it with iconv.
    jet3_text_.resize(size * 4 + 16);
    int length =
        mdb_unicode2ascii(mdb_, reinterpret_cast<const char*>(data), size, jet3_text_.data(), jet3_text_.size());
    if (length > 0) out->append(jet3_text_.data(), static_cast<size_t>(length));
  }

  // The text of a memo whose 12-byte header is at `header` (inside the current data page).
  void AppendMemo(const uint8_t* header, size_t size, std::string* out) {
    if (size < MDB_MEMO_OVERHEAD) return;
    uint32_t length_and_flags = U32(header);
    uint32_t length = length_and_flags & ~kMemoFlagsMask;
    if (length_and_flags & kMemoInline) {
      size_t n = std::min<size_t>(length, size - MDB_MEMO_OVERHEAD);
      AppendText(header + MDB_MEMO_OVERHEAD, n, out);
      return;
    }
    int pg_row = static_cast<int>(U32(header + kMemoPageRowOffset));
    memo_bytes_.clear();
    if (length_and_flags & kMemoSingleLval) {
      void* buffer = nullptr;
      int offset = 0;
      size_t row_size = 0;
      if (mdb_find_pg_row(mdb_, pg_row, &buffer, &offset, &row_size) != 0) throw Damaged(path_);
      const uint8_t* row = static_cast<const uint8_t*>(buffer) + offset;
      memo_bytes_.assign(row, row + std::min<size_t>(row_size, length));
    } else if ((length_and_flags & kMemoFlagsMask) == 0) {
      // A chain of LVAL rows; each names the next, the last names none.
      size_t guard = 0;
      while (pg_row != 0 && memo_bytes_.size() < length) {
        void* buffer = nullptr;
        int offset = 0;
        size_t row_size = 0;
        if (mdb_find_pg_row(mdb_, pg_row, &buffer, &offset, &row_size) != 0 || row_size < kLvalNextSize ||
            ++guard > length) {
          throw Damaged(path_);
        }
        const uint8_t* row = static_cast<const uint8_t*>(buffer) + offset;
        pg_row = static_cast<int>(U32(row));
        memo_bytes_.insert(memo_bytes_.end(), row + kLvalNextSize, row + row_size);
      }
      if (memo_bytes_.size() > length) memo_bytes_.resize(length);
    } else {
      throw Damaged(path_);
    }
    AppendText(memo_bytes_.data(), memo_bytes_.size(), out);
  }

  const std::string& path_;
  JetVersion version_;
  MdbHandle* mdb_;
  SnapshotCells* cells_;
  // Scratch space, reused from field to field.
  std::vector<uint16_t> units_;
  std::vector<char> jet3_text_;
  std::vector<uint8_t> memo_bytes_;
};

SourceType TypeOf(const MdbColumn& column) {
  switch (column.col_type) {
    case MDB_BOOL:
      return SourceType::kBoolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
      return SourceType::kInteger;
    case MDB_MONEY:
      return SourceType::kCurrency;
    case MDB_FLOAT:
      return SourceType::kSingle;
    case MDB_DOUBLE:
      return SourceType::kDouble;
    case MDB_DATETIME:
      return SourceType::kDateTime;
    case MDB_NUMERIC:
      return SourceType::kDecimal;
    default:
      return SourceType::kText;
  }
}

// The page of the system catalog's table definition (fixed in every Jet file).
constexpr unsigned long kCatalogTablePage = 2;

// libmdb reads the catalog without checking that its usage map exists; check it first.
// The number of pages the table's usage map names; nullopt when it names a page past the end of
// the file: a file cut short would otherwise read as one that lacks those rows (or tables, for the
// catalog).
std::optional<uint64_t> MappedPages(MdbHandle* mdb, MdbTableDef* table, uint64_t file_size) {
  const uint64_t pages = file_size / mdb->fmt->pg_size;
  guint32 page = 0;
  uint64_t steps = 0;
  for (; steps <= pages; ++steps) {
    const gint32 next = mdb_map_find_next(mdb, table->usage_map, table->map_sz, page);
    if (next <= 0 || static_cast<guint32>(next) <= page) break;  // the map ends
    if (static_cast<uint64_t>(next) >= pages) return std::nullopt;
    page = static_cast<guint32>(next);
  }
  return steps;
}

bool PagesWithinFile(MdbHandle* mdb, MdbTableDef* table, uint64_t file_size) {
  return MappedPages(mdb, table, file_size).has_value();
}

// The fewest bytes of a data page one of the table's rows can take: its offset entry, column count,
// null mask and fixed-length values. Only sizes the snapshot's first allocation.
size_t MinimumRowBytes(MdbHandle* mdb, MdbTableDef* table) {
  constexpr size_t kOffsetEntry = 2;
  size_t bytes = kOffsetEntry + (IS_JET3(mdb) ? 1 : 2) + (table->num_cols + 7) / 8;
  for (unsigned i = 0; i < table->num_cols; ++i) {
    auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
    if (column->is_fixed && column->col_size > 0) bytes += static_cast<size_t>(column->col_size);
  }
  return bytes;
}

bool CatalogIsReadable(MdbHandle* mdb, uint64_t file_size) {
  MdbCatalogEntry entry;
  std::memset(&entry, 0, sizeof entry);
  entry.mdb = mdb;
  entry.object_type = MDB_TABLE;
  entry.table_pg = kCatalogTablePage;
  std::snprintf(entry.object_name, sizeof entry.object_name, "%s", "MSysObjects");
  std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(&entry));
  return table && table->usage_map && table->map_sz > 0 && PagesWithinFile(mdb, table.get(), file_size);
}

}  // namespace

JetDatabase::JetDatabase(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
JetDatabase::~JetDatabase() = default;

const std::string& JetDatabase::Path() const { return impl_->path; }
JetVersion JetDatabase::Version() const { return impl_->version; }

std::unique_ptr<JetDatabase> JetDatabase::Open(const std::string& path, const std::string& password) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::file_status status = path.empty() ? fs::file_status(fs::file_type::not_found) : fs::status(path, error);
  if (status.type() == fs::file_type::not_found) throw StoreError(kFileMissing + Quoted(path));
  if (status.type() == fs::file_type::directory) throw StoreError(kCannotRead + Quoted(path) + kIsDirectory);

  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw StoreError(kCannotRead + Quoted(path) + ": " + std::strerror(errno));
  std::vector<uint8_t> header(kJetHeaderReadLength);
  size_t got = std::fread(header.data(), 1, header.size(), file);
  std::fseek(file, 0, SEEK_END);
  long file_size = std::ftell(file);
  std::fclose(file);
  header.resize(got);

  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->file_size = file_size > 0 ? static_cast<uint64_t>(file_size) : 0;
  impl->version = ReadJetVersion(header);
  switch (impl->version) {
    case JetVersion::kNotJet:
      throw StoreError(kUnrecognizedFormat + Quoted(path) + kNotJet);
    case JetVersion::kAce:
      throw StoreError(kUnrecognizedFormat + Quoted(path) + kAceNotOpened);
    case JetVersion::kJet3:
    case JetVersion::kJet4:
      break;
  }
  if (file_size < 0 || static_cast<size_t>(file_size) < kMinimumPages * JetPageSize(impl->version)) {
    throw Damaged(path);
  }

  // libmdb never checks the password, so it is compared here. Passwords are case-sensitive.
  const std::string stored = DecodeJetPassword(header);
  if (!stored.empty() && stored != password) throw StoreError(kWrongPassword + Quoted(path));

  // An absolute path keeps libmdb from looking along MDBPATH.
  std::string absolute = fs::absolute(path, error).string();
  if (error) absolute = path;
  impl->mdb.reset(mdb_open(absolute.c_str(), MDB_NOFLAGS));
  if (!impl->mdb) throw Damaged(path);
  if (!CatalogIsReadable(impl->mdb.get(), impl->file_size)) throw Damaged(path);
  // The catalog is read once: reading it again frees the entries that open tables point into.
  if (!mdb_read_catalog(impl->mdb.get(), MDB_TABLE)) throw Damaged(path);
  return std::unique_ptr<JetDatabase>(new JetDatabase(std::move(impl)));
}

std::vector<std::string> JetDatabase::TableNames() const {
  std::vector<std::string> names;
  MdbHandle* mdb = impl_->mdb.get();
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (mdb_is_user_table(entry)) names.emplace_back(entry->object_name);
  }
  return names;
}

TableSnapshot JetDatabase::ReadTable(const std::string& name) const {
  MdbHandle* mdb = impl_->mdb.get();
  MdbCatalogEntry* found = nullptr;
  const std::string wanted = FoldCase(name);
  for (unsigned i = 0; i < mdb->num_catalog && !found; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && FoldCase(entry->object_name) == wanted) found = entry;
  }
  if (!found) throw StoreError(kTableMissing + Quoted(name) + " in " + Quoted(impl_->path));

  std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(found));
  // libmdb walks the usage map without checking it is there.
  std::optional<uint64_t> pages;
  if (!table || !table->usage_map || table->map_sz == 0 ||
      !(pages = MappedPages(mdb, table.get(), impl_->file_size)) || !mdb_read_columns(table.get())) {
    throw Damaged(impl_->path);
  }
  const unsigned column_count = table->num_cols;
  std::vector<SourceColumn> columns;
  std::vector<const MdbColumn*> mdb_columns;
  for (unsigned i = 0; i < column_count; ++i) {
    auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
    mdb_columns.push_back(column);
    columns.push_back(SourceColumn{column->name, TypeOf(*column)});
  }

  // The catalog's row count and the table's pages size the snapshot once; a damaged count cannot ask
  // for more rows than the pages hold, and too small a guess only costs a regrowth.
  SnapshotCells cells;
  const uint64_t page_size = mdb->fmt->pg_size;
  const uint64_t most_rows = *pages * (page_size / MinimumRowBytes(mdb, table.get()));
  cells.Reserve(static_cast<size_t>(std::min<uint64_t>(table->num_rows, most_rows) * column_count),
                static_cast<size_t>(std::min<uint64_t>(*pages * page_size, SnapshotCells::kMaxTextBytes)));
  FieldReader reader(impl_->path, impl_->version, mdb, &cells);
  std::vector<MdbField> fields(column_count > 0 ? column_count : 1);
  // The data pages and rows in the order mdb_fetch_row visits them, each row cracked once. As there,
  // rows that cannot be located, empty rows, deleted rows and rows that do not crack are skipped, and
  // row 0 of each later page is tried even when the page counts no rows.
  mdb_rewind_table(table.get());
  if (column_count > 0 && mdb_read_next_dpg(table.get())) {
    unsigned row = 0;
    for (;;) {
      const unsigned rows = static_cast<unsigned>(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
      if (row >= rows) {
        row = 0;
        if (!mdb_read_next_dpg(table.get())) break;
      }
      int start = 0;
      size_t size = 0;
      if (mdb_find_row(mdb, static_cast<int>(row), &start, &size) == 0 && size != 0 && !(start & kDeletedRow) &&
          mdb_crack_row(table.get(), start & kRowOffsetMask, size, fields.data()) >= 0) {
        for (unsigned i = 0; i < column_count; ++i) reader.Read(*mdb_columns[i], fields[i]);
      }
      ++row;
    }
  }
  return TableSnapshot(found->object_name, std::move(columns), std::move(cells));
}

}  // namespace varnholt
