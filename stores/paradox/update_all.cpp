#include "stores/paradox/update_all.h"

#include <string>
#include <type_traits>
#include <unordered_set>
#include <variant>

#include "stores/paradox/engine_message.h"

namespace varnholt::paradox {

namespace {

// The key fields' values as bytes, equal exactly when the values are.
std::string KeyBytes(const Record& record, int key_fields) {
  std::string bytes;
  for (int i = 0; i < key_fields; ++i) {
    const Value& value = record[i];
    bytes += static_cast<char>(value.index());
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string>) {
            bytes += std::to_string(v.size()) + ":" + v;
          } else if constexpr (std::is_same_v<T, Bytes>) {
            bytes += std::to_string(v.data.size()) + ":" + std::string(v.data.begin(), v.data.end());
          } else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, double> ||
                               std::is_same_v<T, bool>) {
            bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
          } else if constexpr (std::is_same_v<T, Date>) {
            bytes.append(reinterpret_cast<const char*>(&v.days), sizeof v.days);
          } else if constexpr (!std::is_same_v<T, Null>) {
            bytes.append(reinterpret_cast<const char*>(&v.milliseconds), sizeof v.milliseconds);
          }
        },
        value);
  }
  return bytes;
}

bool KeysEqual(const Record& a, const Record& b, int key_fields) {
  for (int i = 0; i < key_fields; ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

// Every selected row's final key is distinct, and no changed key is held by a row the update
// leaves alone.
void CheckKeys(Table& table, const std::vector<std::pair<RowId, Record>>& updates,
               const std::vector<RecordChange>& changes) {
  const int key_fields = table.key_field_count();
  std::unordered_set<std::string> final_keys;
  std::unordered_set<RowId> selected;
  for (const auto& [row, record] : updates) {
    selected.insert(row);
    if (!final_keys.insert(KeyBytes(record, key_fields)).second) throw KeyViolationError(table.path());
  }
  for (const RecordChange& change : changes) {
    const Record& record = *change.new_record;
    if (KeysEqual(record, change.old_record, key_fields)) continue;
    for (RowId other : table.FindEqual(0, record[0])) {
      if (selected.count(other) == 0 && KeysEqual(table.Get(other), record, key_fields)) {
        throw KeyViolationError(table.path());
      }
    }
  }
}

}  // namespace

void CheckRequired(const Table& table, const std::vector<bool>& required, const Record& record) {
  for (size_t i = 0; i < required.size() && i < record.size(); ++i) {
    if (required[i] && std::holds_alternative<Null>(record[i])) {
      throw StoreError("Field '" + table.fields()[i].name + "' must have a value");
    }
  }
}

std::vector<RecordChange> CheckedChanges(Table& table,
                                         const std::vector<std::pair<RowId, Record>>& updates,
                                         const std::vector<bool>& required) {
  std::vector<RecordChange> changes;
  for (const auto& [row, record] : updates) {
    const Record& old = table.Get(row);
    if (old == record) continue;  // not written, so not checked either
    CheckRequired(table, required, record);
    changes.push_back(RecordChange{row, old, &record});
  }
  std::vector<std::pair<RowId, const Record*>> rewrites;
  rewrites.reserve(changes.size());
  for (const RecordChange& change : changes) rewrites.emplace_back(change.row, change.new_record);
  table.CheckUniqueEntries(rewrites);
  const int key_fields = table.key_field_count();
  for (const RecordChange& change : changes) {
    if (!KeysEqual(*change.new_record, change.old_record, key_fields)) {
      CheckKeys(table, updates, changes);
      break;
    }
  }
  return changes;
}

void WriteChanges(Table& table, const std::vector<RecordChange>& changes) {
  size_t written = 0;
  try {
    for (; written < changes.size(); ++written) {
      table.Update(changes[written].row, *changes[written].new_record);
    }
  } catch (...) {
    // Put back what was written, newest first, so the table is as it was.
    while (written > 0) {
      --written;
      try {
        table.Update(changes[written].row, changes[written].old_record);
      } catch (...) {
      }
    }
    throw;
  }
}

}  // namespace varnholt::paradox
