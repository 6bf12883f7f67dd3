#include "stores/backup/posted_changes.h"

#include <algorithm>
#include <cstring>
#include <variant>

#include "base/code_page.h"
#include "stores/backup/change_list_file.h"

namespace varnholt {

namespace {

constexpr unsigned char kFirstNonAscii = 0x80;
constexpr int kByteValues = 256;
constexpr char kKeySeparator[] = " / ";

size_t TextLength(const uint8_t* bytes, size_t size) {
  const auto* end = static_cast<const uint8_t*>(std::memchr(bytes, 0, size));
  return end == nullptr ? size : static_cast<size_t>(end - bytes);
}

bool AllAscii(const uint8_t* bytes, size_t length) {
  return std::all_of(bytes, bytes + length, [](uint8_t b) { return b < kFirstNonAscii; });
}

// True when `field`, whose `size` bytes start at `at` (an alpha field: `alpha`), reads otherwise in
// the two records' bytes.
bool ReadsOtherwise(const paradox::Table& table, int field, size_t at, size_t size, bool alpha, const uint8_t* before,
                    const uint8_t* after) {
  if (std::memcmp(before + at, after + at, size) == 0) return false;
  if (alpha) {
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
    TablePosts t{table, {}, {}, {}, {}, {}, {}};
    for (int f = 0; f < static_cast<int>(table->fields().size()); ++f) {
      const paradox::Field& field = table->fields()[f];
      t.spots.push_back(Spot{static_cast<size_t>(table->FieldOffset(f)), static_cast<size_t>(field.size),
                             field.type == paradox::FieldType::kAlpha});
    }
    t.counts.table = std::move(file_name);
    const CodePage code_page(table->code_page());
    if (code_page.single_byte()) {
      for (int b = 0; b < kByteValues; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        t.listed_bytes.push_back(ListedText(code_page.ToUtf8(&byte, 1)));
      }
    }
    for (const paradox::Field& f : table->fields()) t.listed_names.push_back(ListedText(f.name));
    FindChanges(&t);
    tables_.push_back(std::move(t));
  }
}

void PostedChanges::FindChanges(TablePosts* t) {
  const paradox::Table& table = *t->table;
  const int field_count = static_cast<int>(table.fields().size());
  t->table->VisitPosted([&](paradox::RowId row, const uint8_t* saved) {
    if (saved == nullptr) {
      t->rows.push_back(Listed{row, nullptr, 0, 0});
      ++t->counts.added;
      return;
    }
    const uint8_t* now = t->table->StoredBytes(row);
    const auto first = static_cast<uint32_t>(t->fields.size());
    for (int f = 0; f < field_count; ++f) {
      const Spot& spot = t->spots[f];
      if (ReadsOtherwise(table, f, spot.at, spot.size, spot.alpha, saved, now)) {
        t->fields.push_back(static_cast<uint16_t>(f));
      }
    }
    const auto changed = static_cast<uint32_t>(t->fields.size()) - first;
    if (changed == 0) return;
    t->rows.push_back(Listed{row, saved, first, changed});
    ++t->counts.rewritten;
  });
  const size_t rows = t->table->RecordCount();
  t->counts.unchanged = rows - std::min(rows, t->counts.added + t->counts.rewritten);
}

std::vector<TableCounts> PostedChanges::Counts() const {
  std::vector<TableCounts> counts;
  for (const TablePosts& t : tables_) counts.push_back(t.counts);
  return counts;
}

void PostedChanges::AppendListed(const TablePosts& t, int field, const uint8_t* bytes, std::string* out) {
  const Spot& spot = t.spots[field];
  if (!t.listed_bytes.empty() && spot.alpha) {
    // Each byte of the table's text stands alone in a single-byte code page: no decoding.
    const uint8_t* text = bytes + spot.at;
    const size_t length = TextLength(text, spot.size);
    size_t i = 0;
    while (i < length) {
      const size_t run = i;
      while (i < length && text[i] < kFirstNonAscii) ++i;
      out->append(reinterpret_cast<const char*>(text + run), i - run);
      if (i < length) out->append(t.listed_bytes[text[i++]]);
    }
    return;
  }
  const paradox::Value value = t.table->DecodeStored(field, bytes);
  // Only text can hold letters outside ASCII; every other value reads in ASCII.
  if (const auto* text = std::get_if<std::string>(&value)) {
    out->append(ListedText(*text));
  } else {
    out->append(ValueText(value));
  }
}

std::string PostedChanges::ListedKeyOf(const TablePosts& t, const Listed& row) {
  const uint8_t* bytes = row.saved != nullptr ? row.saved : t.table->StoredBytes(row.row);
  const int key_fields = std::min(std::max(1, t.table->key_field_count()), static_cast<int>(t.table->fields().size()));
  std::string key;
  for (int f = 0; f < key_fields; ++f) {
    if (f > 0) key += kKeySeparator;
    AppendListed(t, f, bytes, &key);
  }
  return key;
}

std::string PostedChanges::KeyOf(const TablePosts& t, const Listed& row) {
  const uint8_t* bytes = row.saved != nullptr ? row.saved : t.table->StoredBytes(row.row);
  const size_t key_fields = std::min<size_t>(std::max(1, t.table->key_field_count()), t.table->fields().size());
  paradox::Record key;
  for (size_t f = 0; f < key_fields; ++f) key.push_back(t.table->DecodeStored(static_cast<int>(f), bytes));
  return KeyText(*t.table, key);
}

void PostedChanges::WriteRows(ChangeListFile* file) const {
  std::string text;
  ChangeLines lines(&text);
  std::string before;
  std::string after;
  for (const TablePosts& t : tables_) {
    for (const Listed& row : t.rows) {
      lines.BeginListedRow(t.counts.table, ListedKeyOf(t, row),
                           row.saved == nullptr ? RowChangeKind::kAdded : RowChangeKind::kRewritten);
      if (row.saved == nullptr) {
        lines.WholeRowLine();
      } else {
        const uint8_t* now = t.table->StoredBytes(row.row);
        for (uint32_t i = row.first_field; i < row.first_field + row.field_count; ++i) {
          const int f = t.fields[i];
          before.clear();
          after.clear();
          AppendListed(t, f, row.saved, &before);
          AppendListed(t, f, now, &after);
          lines.ListedFieldLine(t.listed_names[f], before, after);
        }
      }
      if (text.size() >= ChangeListFile::kPieceBytes) file->Take(&text);
    }
  }
  file->Take(&text);
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
