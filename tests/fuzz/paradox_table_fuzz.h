// The body of the Paradox table fuzz target, shared with the regression tests. The input is a
// table family: the .DB bytes, then optionally the .PX, the .MB, a killed save's new .DB copy and a
// maintained secondary index (.XG0 and .YG0), each part after the separator
// kParadoxPartSeparator (an empty part: no such file). The body
// writes the family to a scratch folder and goes through it as the target store does: the checker,
// a read-only open that reads every record and looks one up, then a writable open (which repairs
// what a killed writer left) that inserts a record, rewrites one and saves, and the checker again. A
// password-protected family is opened with kParadoxFuzzPassword, the password of the protected
// seeds, so damaged scrambled blocks reach the engine. Only EngineError may escape the engine, and
// a family the checker passed must still pass after our writes; anything else aborts the run.
#ifndef VARNHOLT_TESTS_FUZZ_PARADOX_TABLE_FUZZ_H_
#define VARNHOLT_TESTS_FUZZ_PARADOX_TABLE_FUZZ_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "stores/paradox/table.h"
#include "stores/paradox/table_crypt.h"
#include "tests/support/table_checker.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace varnholt::fuzz {

inline constexpr std::string_view kParadoxPartSeparator = "\n--VNH-PART--\n";
inline constexpr const char* kParadoxPartExtensions[] = {".DB", ".PX", ".MB", ".DB.saving", ".XG0", ".YG0"};
inline constexpr char kParadoxFuzzPassword[] = "Fuzz-Kestrel";

// Splits an input into the (up to six) files of a family.
inline std::vector<std::string_view> SplitParadoxParts(std::string_view input) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < std::size(kParadoxPartExtensions)) {
    const size_t at = input.find(kParadoxPartSeparator);
    if (at == std::string_view::npos) break;
    parts.push_back(input.substr(0, at));
    input.remove_prefix(at + kParadoxPartSeparator.size());
  }
  parts.push_back(input);
  return parts;
}

// The scratch folder, one per process, emptied before every input.
inline const std::filesystem::path& ParadoxScratch() {
  static const std::filesystem::path dir = NewScratchFolder("varnholt_fuzz_paradox");
  static const bool cleanup_registered = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
    return true;
  }();
  (void)cleanup_registered;
  return dir;
}

// A value of the field's type that no genuine record is likely to hold, for a new key.
inline paradox::Value FreshValue(const paradox::Field& field) {
  using paradox::FieldType;
  switch (field.type) {
    case FieldType::kAlpha:
    case FieldType::kMemo:
      return std::string("ZZ fuzz é");
    case FieldType::kShort:
      return int64_t{4711};
    case FieldType::kLong:
    case FieldType::kAutoIncrement:
      return int64_t{47114711};
    case FieldType::kMoney:
    case FieldType::kNumber:
    case FieldType::kBcd:
      return 4711.25;
    case FieldType::kLogical:
      return true;
    case FieldType::kDate:
      return paradox::Date{739000};
    case FieldType::kTime:
      return paradox::Time{3600000};
    case FieldType::kTimestamp:
      return paradox::Timestamp{63850000000000.0};
    default:
      return paradox::Null{};
  }
}

inline void ExerciseTable(paradox::Table& table, bool writable) {
  const std::vector<paradox::RowId> rows = table.Rows();
  if (rows.size() != table.RecordCount()) std::abort();
  for (paradox::RowId row : rows) {
    const paradox::Record& record = table.Get(row);
    if (record.size() != table.fields().size()) std::abort();
  }
  if (!table.fields().empty()) {
    (void)table.FindField(table.fields()[0].name);
    if (!rows.empty()) (void)table.FindEqual(0, table.Get(rows.front())[0]);
  }
  if (!writable || table.fields().empty()) return;

  paradox::Record fresh = rows.empty() ? paradox::Record(table.fields().size(), paradox::Null{})
                                       : table.Get(rows.front());
  fresh[0] = FreshValue(table.fields()[0]);
  try {
    table.Insert(fresh);
  } catch (const EngineError&) {
  }
  if (!rows.empty()) {
    try {
      const paradox::Record again = table.Get(rows.back());
      table.Update(rows.back(), again);
    } catch (const EngineError&) {
    }
  }
}

inline void FuzzParadoxTable(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  const fs::path& dir = ParadoxScratch();
  for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());

  const std::vector<std::string_view> parts =
      SplitParadoxParts(std::string_view(reinterpret_cast<const char*>(data), size));
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 && parts[i].empty()) continue;
    std::ofstream out(dir / (std::string("T") + kParadoxPartExtensions[i]), std::ios::binary);
    out.write(parts[i].data(), static_cast<std::streamsize>(parts[i].size()));
  }
  const std::string db = (dir / "T.DB").string();

  const bool sound_before = paradox::CheckTable(db).ok();
  std::string password;
  try {
    if (paradox::StoredPasswordChecksum(db) != 0) password = kParadoxFuzzPassword;
  } catch (const EngineError&) {
  }
  for (bool writable : {false, true}) {
    try {
      std::unique_ptr<paradox::Table> table = paradox::Table::Open(db, writable, password);
      ExerciseTable(*table, writable);
      if (writable) table->Save();
      (void)table->RefreshIfChanged();
    } catch (const EngineError&) {
    }
  }
  // Our writes keep a sound family sound.
  const paradox::CheckResult after = paradox::CheckTable(db);
  if (sound_before && !after.ok()) {
    std::fprintf(stderr, "the family passed the checker before our writes, not after:\n%s\n",
                 after.Summary().c_str());
    std::abort();
  }
}

}  // namespace varnholt::fuzz

#endif  // VARNHOLT_TESTS_FUZZ_PARADOX_TABLE_FUZZ_H_
