#include "stores/backup/posted_changes.h"

#include <algorithm>
#include <cstring>

#include "stores/backup/change_list_file.h"

namespace varnholt {

namespace {

constexpr unsigned char kFirstNonAscii = 0x80;

size_t TextLength(const uint8_t* bytes, size_t size) {
  const auto* end = static_cast<const uint8_t*>(std::memchr(bytes, 0, size));
  return end == nullptr ? size : static_cast<size_t>(end - bytes);
}

bool AllAscii(const uint8_t* bytes, size_t length) {
  return std::all_of(bytes, bytes + length, [](uint8_t b) { return b < kFirstNonAscii; });
}

// True when `field` reads otherwise in the two records' bytes.
bool ReadsOtherwise(const paradox::Table& table, int field, const uint8_t* before, const uint8_t* after) {
  const int at = table.FieldOffset(field);
  const auto size = static_cast<size_t>(table.fields()[field].size);
  if (std::memcmp(before + at, after + at, size) == 0) return false;
  if (table.fields()[field].type == paradox::FieldType::kAlpha) {
    // A text ends at its first NUL; ASCII reads as itself in every code page, so only other
    // bytes need the decoding to tell.
    const size_t length = TextLength(before + at, size);
    if (length == TextLength(after + at, size) && std::memcmp(before + at, after + at, length) == 0) return false;
    if (AllAscii(before + at, length) && AllAscii(after + at, TextLength(after + at, size))) return true;
  }
  return !(table.DecodeStored(field, before) == table.DecodeStored(field, after));
}

}  // namespace

PostedChanges::PostedChanges(std::vector<std::pair<paradox::Table*, std::string>> tables) {
  for (auto& [table, file_name] : tables) {
    TablePosts t{table, {}, {}, {}};
    t.counts.table = std::move(file_name);
    const int field_count = static_cast<int>(table->fields().size());
    table->VisitPosted([&](paradox::RowId row, const uint8_t* saved) {
      if (saved == nullptr) {
        t.rows.push_back(Listed{row, nullptr, 0, 0});
        ++t.counts.added;
        return;
      }
      const uint8_t* now = table->StoredBytes(row);
      const auto first = static_cast<uint32_t>(t.fields.size());
      for (int f = 0; f < field_count; ++f) {
        if (ReadsOtherwise(*table, f, saved, now)) t.fields.push_back(static_cast<uint16_t>(f));
      }
      const auto changed = static_cast<uint32_t>(t.fields.size()) - first;
      if (changed == 0) return;
      t.rows.push_back(Listed{row, saved, first, changed});
      ++t.counts.rewritten;
    });
    const size_t rows = table->RecordCount();
    t.counts.unchanged = rows - std::min(rows, t.counts.added + t.counts.rewritten);
    tables_.push_back(std::move(t));
  }
}

std::vector<TableCounts> PostedChanges::Counts() const {
  std::vector<TableCounts> counts;
  for (const TablePosts& t : tables_) counts.push_back(t.counts);
  return counts;
}

std::string PostedChanges::KeyOf(const TablePosts& t, const Listed& row) {
  const uint8_t* bytes = row.saved != nullptr ? row.saved : t.table->StoredBytes(row.row);
  const size_t key_fields = std::min<size_t>(std::max(1, t.table->key_field_count()), t.table->fields().size());
  paradox::Record key;
  for (size_t f = 0; f < key_fields; ++f) key.push_back(t.table->DecodeStored(static_cast<int>(f), bytes));
  return KeyText(*t.table, key);
}

void PostedChanges::WriteRows(ChangeListFile* file) const {
  for (const TablePosts& t : tables_) {
    const std::vector<paradox::Field>& fields = t.table->fields();
    for (const Listed& row : t.rows) {
      file->BeginRow(t.counts.table, KeyOf(t, row), row.saved == nullptr ? RowChangeKind::kAdded : RowChangeKind::kRewritten);
      if (row.saved == nullptr) {
        file->WholeRowLine();
        continue;
      }
      const uint8_t* now = t.table->StoredBytes(row.row);
      for (uint32_t i = row.first_field; i < row.first_field + row.field_count; ++i) {
        const int f = t.fields[i];
        file->FieldValuesLine(fields[f].name, t.table->DecodeStored(f, row.saved), t.table->DecodeStored(f, now));
      }
    }
  }
}

std::vector<RowChange> PostedChanges::Rows(size_t index) const {
  const TablePosts& t = tables_.at(index);
  std::vector<RowChange> rows;
  for (const Listed& row : t.rows) {
    RowChange change{row.saved == nullptr ? RowChangeKind::kAdded : RowChangeKind::kRewritten, KeyOf(t, row), {}};
    if (row.saved != nullptr) {
      const uint8_t* now = t.table->StoredBytes(row.row);
      for (uint32_t i = row.first_field; i < row.first_field + row.field_count; ++i) {
        const int f = t.fields[i];
        change.fields.push_back(FieldChange{t.table->fields()[f].name, ValueText(t.table->DecodeStored(f, row.saved)),
                                            ValueText(t.table->DecodeStored(f, now))});
      }
    }
    rows.push_back(std::move(change));
  }
  return rows;
}

}  // namespace varnholt
