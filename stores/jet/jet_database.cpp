#include "stores/jet/jet_database.h"

#include <cerrno>
#include <cstdio>
#include <bit>
#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

#include "base/byte_coding.h"
#include "base/case_fold.h"
#include "base/os/folder.h"
#include "base/store_error.h"
#include "stores/jet/catalog.h"
#include "stores/jet/file_image.h"
#include "stores/jet/jet_error.h"
#include "stores/jet/jet_text.h"
#include "stores/jet/long_value_reader.h"
#include "stores/jet/page_reader.h"
#include "stores/jet/table_definition.h"
#include "stores/jet/table_scan.h"
#include "stores/jet/value_text.h"

namespace varnholt {

namespace {

using namespace jet_format;

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

SourceType TypeOf(const JetColumn& column) {
  switch (column.type) {
    case kTypeBoolean:
      return SourceType::kBoolean;
    case kTypeByte:
    case kTypeInteger:
    case kTypeLong:
    case kTypeComplex:
      return SourceType::kInteger;
    case kTypeMoney:
      return SourceType::kCurrency;
    case kTypeSingle:
      return SourceType::kSingle;
    case kTypeDouble:
      return SourceType::kDouble;
    case kTypeDateTime:
      return SourceType::kDateTime;
    case kTypeNumeric:
      return SourceType::kDecimal;
    default:
      return SourceType::kText;
  }
}

// Reads the fields of one table's rows, row after row, into a snapshot's cells.
class FieldReader {
 public:
  FieldReader(const JetPageReader& pages, SnapshotCells* cells)
      : jet4_(pages.Format().jet4), long_values_(pages), cells_(cells) {}

  // Reads one field of `row`.
  void Read(const JetColumn& column, std::span<const uint8_t> row, const JetField& field) {
    if (column.type == kTypeBoolean) {
      // Yes/No lives in the row's null mask: a set bit is Yes; it is never null.
      cells_->AddInteger(field.is_null ? 0 : 1);
      return;
    }
    if (field.is_null) {
      cells_->AddNull();
      return;
    }
    const uint8_t* data = row.data() + field.start;
    const size_t size = field.size;
    auto need = [&](size_t bytes) {
      if (size < bytes) throw JetFormatError("a value is shorter than its type");
    };
    std::string& texts = cells_->Texts();
    const size_t start = texts.size();
    switch (column.type) {
      case kTypeByte:
        need(1);
        cells_->AddInteger(data[0]);
        return;
      case kTypeInteger:
        need(2);
        cells_->AddInteger(static_cast<int16_t>(GetLe16(data)));
        return;
      case kTypeLong:
      case kTypeComplex:
        need(4);
        cells_->AddInteger(static_cast<int32_t>(GetLe32(data)));
        return;
      case kTypeMoney:
        need(8);
        cells_->AddInteger(static_cast<int64_t>(GetLe64(data)));
        return;
      case kTypeSingle: {
        need(4);
        cells_->AddReal(std::bit_cast<float>(GetLe32(data)));
        return;
      }
      case kTypeDouble:
      case kTypeDateTime: {
        need(8);
        cells_->AddReal(GetLeDouble(data));
        return;
      }
      case kTypeText:
        AppendText(data, size, &texts);
        break;
      case kTypeMemo:
        long_values_.Read(row.subspan(field.start, field.size), &memo_bytes_);
        AppendText(memo_bytes_.data(), memo_bytes_.size(), &texts);
        break;
      case kTypeGuid:
        need(kJetGuidSize);
        AppendGuidText(data, &texts);
        break;
      case kTypeNumeric: {
        need(kJetNumericSize);
        AppendNumericText(data, column.scale, &texts);
        const double real = std::strtod(texts.c_str() + start, nullptr);
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
    if (cells_->Texts().size() > SnapshotCells::kMaxTextBytes) throw JetFormatError("the table's texts are too long");
  }

  void AppendText(const uint8_t* data, size_t size, std::string* out) {
    if (jet4_) {
      AppendJet4Text(data, size, &units_, out);
    } else {
      AppendJet3Text(data, size, out);
    }
  }

  bool jet4_;
  JetLongValueReader long_values_;
  SnapshotCells* cells_;
  // Scratch space, reused from field to field.
  std::vector<uint16_t> units_;
  std::vector<uint8_t> memo_bytes_;
};

// The fewest bytes of a data page one of the table's rows can take: its offset entry, column count,
// null mask and fixed-length values. Only sizes the snapshot's first allocation.
size_t MinimumRowBytes(const Format& format, const JetTableDefinition& table) {
  size_t bytes = kRowOffsetSize + format.row_column_count_size + (table.columns.size() + 7) / 8;
  for (const JetColumn& column : table.columns) {
    if (column.fixed) bytes += column.length;
  }
  return bytes;
}

}  // namespace

class JetDatabase::Impl {
 public:
  std::string path;
  JetVersion version = JetVersion::kNotJet;
  FileVersion image_version;  // of the file the pages were copied from
  std::unique_ptr<JetPageReader> pages;
  std::vector<JetCatalogEntry> catalog;

  // The error for pages that do not read as a database: the file changed since it was copied (the
  // school-administration program wrote it meanwhile), or it is damaged.
  [[noreturn]] void ThrowUnreadable() const {
    const std::optional<FileVersion> now = VersionOf(path);
    if (now && !(*now == image_version)) throw FileBeingWritten(path);
    throw Damaged(path);
  }
};

JetDatabase::JetDatabase(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
JetDatabase::~JetDatabase() = default;

const std::string& JetDatabase::Path() const { return impl_->path; }
JetVersion JetDatabase::Version() const { return impl_->version; }

std::unique_ptr<JetDatabase> JetDatabase::Open(const std::string& path, const std::string& password) {
  const os::PathKind kind = path.empty() ? os::PathKind::kMissing : os::KindOf(path);
  if (kind == os::PathKind::kMissing) throw StoreError(kFileMissing + Quoted(path));
  if (kind == os::PathKind::kFolder) throw StoreError(kCannotRead + Quoted(path) + kIsDirectory);

  return OpenImage(path, password, CopyFileImage(path));
}

std::unique_ptr<JetDatabase> JetDatabase::OpenImage(const std::string& path, const std::string& password,
                                                    FileImage image) {
  const std::vector<uint8_t>& bytes = *image.bytes;
  std::vector<uint8_t> header(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(
                                                                 std::min(bytes.size(), kJetHeaderReadLength)));
  const size_t file_size = bytes.size();

  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->image_version = image.version;
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
  if (file_size < kMinimumPages * JetPageSize(impl->version)) impl->ThrowUnreadable();

  // Passwords are case-sensitive.
  const std::string stored = DecodeJetPassword(header);
  if (!stored.empty() && stored != password) throw StoreError(kWrongPassword + Quoted(path));

  try {
    const Format& format = impl->version == JetVersion::kJet3 ? kJet3Format : kJet4Format;
    impl->pages = std::make_unique<JetPageReader>(std::move(image.bytes), format, JetDatabaseKey(header));
    impl->catalog = ReadJetCatalog(*impl->pages);
  } catch (const JetFormatError&) {
    impl->ThrowUnreadable();
  }
  return std::unique_ptr<JetDatabase>(new JetDatabase(std::move(impl)));
}

std::vector<std::string> JetDatabase::TableNames() const {
  std::vector<std::string> names;
  for (const JetCatalogEntry& entry : impl_->catalog) {
    if (entry.IsUserTable()) names.push_back(entry.name);
  }
  return names;
}

TableSnapshot JetDatabase::ReadTable(const std::string& name) const {
  const JetCatalogEntry* found = nullptr;
  const std::string wanted = FoldCase(name);
  for (const JetCatalogEntry& entry : impl_->catalog) {
    if (FoldCase(entry.name) == wanted) {
      found = &entry;
      break;
    }
  }
  if (!found) throw StoreError(kTableMissing + Quoted(name) + " in " + Quoted(impl_->path));

  try {
    const JetPageReader& pages = *impl_->pages;
    const JetTableDefinition table = ReadTableDefinition(pages, found->definition_page);
    const std::vector<uint32_t> table_pages = JetTablePages(pages, table);
    std::vector<SourceColumn> columns;
    for (const JetColumn& column : table.columns) columns.push_back(SourceColumn{column.name, TypeOf(column)});

    // The catalog's row count and the table's pages size the snapshot once; a damaged count cannot
    // ask for more rows than the pages hold, and too small a guess only costs a regrowth.
    SnapshotCells cells;
    const uint64_t page_size = pages.PageSize();
    const uint64_t page_count = table_pages.size();
    const uint64_t most_rows = page_count * (page_size / MinimumRowBytes(pages.Format(), table));
    cells.Reserve(static_cast<size_t>(std::min<uint64_t>(table.row_count, most_rows) * columns.size()),
                  static_cast<size_t>(std::min<uint64_t>(page_count * page_size, SnapshotCells::kMaxTextBytes)));
    FieldReader reader(pages, &cells);
    if (!table.columns.empty()) {
      ScanJetTable(pages, table, [&](std::span<const uint8_t> row, const std::vector<JetField>& fields) {
        for (size_t i = 0; i < fields.size(); ++i) reader.Read(table.columns[i], row, fields[i]);
      });
    }
    return TableSnapshot(found->name, std::move(columns), std::move(cells));
  } catch (const JetFormatError&) {
    impl_->ThrowUnreadable();
  }
}

}  // namespace varnholt
