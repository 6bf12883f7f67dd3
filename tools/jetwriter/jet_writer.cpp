#include "tools/jetwriter/jet_writer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <stdexcept>

#include "base/ascii.h"
#include "base/calendar.h"
#include "base/os/os_file.h"
#include "tools/jetwriter/catalog.h"
#include "tools/jetwriter/header_page.h"
#include "stores/jet/jet_format.h"
#include "tools/jetwriter/long_value.h"
#include "tools/jetwriter/page_file.h"
#include "tools/jetwriter/row_encoder.h"
#include "tools/jetwriter/row_page.h"
#include "tools/jetwriter/table_definition.h"
#include "tools/jetwriter/table_layout.h"
#include "tools/jetwriter/text_codec.h"
#include "tools/jetwriter/usage_map.h"

namespace varnholt::jet {

namespace {

using namespace jet_format;

constexpr size_t kMaxPasswordLength = kJet4PasswordLength / 2;
constexpr double kUnixEpochJetDay = static_cast<double>(-kDateTimeDayZero);  // 1970-01-01
constexpr double kSecondsPerDay = 86400.0;

DateTime Now() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const double seconds = std::chrono::duration<double>(since_epoch).count();
  return {kUnixEpochJetDay + seconds / kSecondsPerDay};
}

// One table being written: its rows go to data pages as they come; its definition is written
// when the table is complete, with the row count and the usage map.
class TableWriter {
 public:
  TableWriter(PageFile& file, TableLayout layout, uint32_t definition_page)
      : file_(file),
        layout_(std::move(layout)),
        definition_page_(definition_page),
        rows_(file, definition_page, /*lval=*/false),
        long_values_(file) {}

  void Add(const std::vector<Cell>& cells) {
    const std::vector<uint8_t> row = EncodeRow(layout_, cells, long_values_);
    rows_.Add(row);
    ++num_rows_;
  }

  // maps: where the table's usage-map rows go.
  void Finish(RowStream& maps) {
    rows_.Flush();
    long_values_.Flush();
    const uint32_t owned = maps.Add(BuildUsageMap(rows_.pages(), file_));
    const uint32_t free = maps.Add(BuildUsageMap({}, file_));
    WriteTableDefinition(file_, definition_page_,
                         BuildTableDefinition(layout_, num_rows_, owned, free));
  }

 private:
  PageFile& file_;
  TableLayout layout_;
  uint32_t definition_page_;
  RowStream rows_;
  LongValueWriter long_values_;
  uint32_t num_rows_ = 0;
};

}  // namespace

DateTime DateTime::FromCivil(int year, int month, int day, int hour, int minute, int second) {
  return {DateTimeFromCivil(year, month, day, hour, minute, second)};
}

class DatabaseWriter::Impl {
 public:
  Impl(const std::string& path, const WriteOptions& options)
      : password_(CheckedPassword(options.password)),
        created_(options.created.value_or(Now())),
        file_(path),
        maps_(file_, 0, /*lval=*/false) {
    if (!std::isfinite(created_.days)) throw std::invalid_argument("creation date not finite");
    file_.Reserve(kFirstFreePageNumber);
    names_.insert(AsciiLower(kCatalogTableName));
  }

  void BeginTable(const std::string& name, const std::vector<Column>& columns) {
    CheckOpen();
    std::vector<ColumnShape> shapes;
    for (const Column& c : columns) shapes.push_back(ToShape(c));
    TableLayout layout = MakeTableLayout(name, shapes, /*system=*/false);
    if (names_.count(AsciiLower(name)) != 0) {
      throw std::invalid_argument("table '" + name + "': duplicate table name");
    }
    Guarded([&] {
      FinishTable();
      names_.insert(AsciiLower(name));
      const uint32_t page = file_.Allocate();
      tables_.push_back({name, page});
      current_ = std::make_unique<TableWriter>(file_, std::move(layout), page);
    });
  }

  void AddRow(const std::vector<Cell>& cells) {
    CheckOpen();
    if (!current_) throw std::logic_error("AddRow before BeginTable");
    // A rejected cell leaves nothing behind; only file failures spoil the writer.
    Guarded([&] { current_->Add(cells); });
  }

  void Finish() {
    CheckOpen();
    Guarded([&] {
      FinishTable();
      TableWriter catalog(file_, CatalogLayout(), kCatalogDefinitionPage);
      for (const std::vector<Cell>& row : CatalogRows(tables_, created_)) catalog.Add(row);
      catalog.Finish(maps_);
      maps_.Flush();

      // Page 1, the global page map, is read by no reader we know; an empty map keeps its shape.
      RowPageBuilder global(0, /*lval=*/false);
      global.Add(BuildUsageMap({}, file_));
      file_.Write(kGlobalMapPageNumber, global.Take());
      file_.Write(kHeaderPageNumber, BuildHeaderPage(password_, created_.days));
      file_.Close();
    });
    finished_ = true;
  }

 private:
  static std::u16string CheckedPassword(const std::string& utf8) {
    std::u16string password = Utf8ToUtf16(utf8);
    if (password.size() > kMaxPasswordLength) {
      throw std::invalid_argument("password longer than 20 characters");
    }
    if (password.find(u'\0') != std::u16string::npos) {
      throw std::invalid_argument("password holds a NUL character");
    }
    return password;
  }

  void CheckOpen() const {
    if (finished_) throw std::logic_error("database writer already finished");
    if (broken_) throw std::logic_error("database writer failed earlier");
  }

  // Runs f; an error other than a rejected cell or schema leaves the file unusable.
  template <typename F>
  void Guarded(F&& f) {
    try {
      f();
    } catch (const std::invalid_argument&) {
      throw;
    } catch (...) {
      broken_ = true;
      throw;
    }
  }

  void FinishTable() {
    if (!current_) return;
    current_->Finish(maps_);
    current_.reset();
  }

  std::u16string password_;
  DateTime created_;
  PageFile file_;
  RowStream maps_;
  std::unique_ptr<TableWriter> current_;
  std::vector<CatalogTable> tables_;
  std::set<std::string> names_;
  bool finished_ = false;
  bool broken_ = false;
};

DatabaseWriter::DatabaseWriter(const std::string& path, const WriteOptions& options)
    : impl_(std::make_unique<Impl>(path, options)) {}

DatabaseWriter::~DatabaseWriter() = default;

void DatabaseWriter::BeginTable(const std::string& name, const std::vector<Column>& columns) {
  impl_->BeginTable(name, columns);
}

void DatabaseWriter::AddRow(const std::vector<Cell>& cells) { impl_->AddRow(cells); }

void DatabaseWriter::Finish() { impl_->Finish(); }

void WriteDatabase(const std::string& path, const std::vector<TableData>& tables,
                   const WriteOptions& options) {
  DatabaseWriter writer(path, options);
  for (const TableData& table : tables) {
    writer.BeginTable(table.name, table.columns);
    for (const std::vector<Cell>& row : table.rows) writer.AddRow(row);
  }
  writer.Finish();
}

std::string DecodePassword(std::span<const uint8_t> header) {
  return Utf16ToUtf8(DecodeHeaderPassword(header));
}

std::string DecodePasswordOfFile(const std::string& path) {
  const std::vector<uint8_t> header = os::OsFile::Open(path, false).ReadAt(0, kHeaderMinimumSize);
  if (header.size() != kHeaderMinimumSize) throw std::runtime_error("cannot read the header of " + path);
  return DecodePassword(header);
}

}  // namespace varnholt::jet
