// The body of the Jet file fuzz target, shared with the regression tests: the input is a whole
// source file. Page 0 goes through the version checks and the password decoder; a Jet 3 or Jet 4
// file is then opened with its own password (so the reader gets past that check) and every table
// in its catalog, the catalog itself too, is read whole, each value turned into its field text.
// Only StoreError may come out of the reader; a broken promise aborts the run.
#ifndef VARNHOLT_TESTS_FUZZ_JET_FILE_FUZZ_H_
#define VARNHOLT_TESTS_FUZZ_JET_FILE_FUZZ_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "base/regional_settings.h"
#include "base/store_error.h"
#include "stores/jet/jet_database.h"
#include "stores/jet/jet_format.h"
#include "stores/jet/jet_header.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace varnholt::fuzz {

// The scratch file, one per process, rewritten for every input.
inline const std::filesystem::path& JetScratchFile() {
  static const std::filesystem::path dir = NewScratchFolder("varnholt_fuzz_jet");
  static const bool cleanup_registered = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    });
    return true;
  }();
  (void)cleanup_registered;
  static const std::filesystem::path file = dir / "source.mdb";
  return file;
}

inline void ReadWholeTable(const JetDatabase& database, const std::string& name) {
  const TableSnapshot table = database.ReadTable(name);
  if (table.ColumnCount() < 0 || table.RowCount() < 0) std::abort();
  const RegionalSettings settings;
  size_t text_bytes = 0;
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColumnCount(); ++c) {
      const SourceValue value = table.Value(r, c);
      const std::string text = FieldTextOf(table.Column(c).type, value, settings);
      if (value.is_null && !text.empty()) std::abort();
      text_bytes += value.text.size();
    }
  }
  if (text_bytes > SnapshotCells::kMaxTextBytes) std::abort();
}

inline void FuzzJetFile(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> header(data, size);
  (void)JetVersionByte(header);
  const JetVersion version = ReadJetVersion(header);
  if (version != JetVersion::kJet3 && version != JetVersion::kJet4) return;
  const std::string password = DecodeJetPassword(header);
  // At most 38 one-byte characters (Jet 4 compressed form), each at most two UTF-8 bytes.
  if (password.size() > 2 * jet_format::kJet4PasswordLength) std::abort();
  if (JetPageSize(version) == 0) std::abort();
  (void)JetDatabaseKey(header);

  const std::filesystem::path& path = JetScratchFile();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
  }
  try {
    const auto database = JetDatabase::Open(path.string(), password);
    if (database->Version() != version) std::abort();
    for (const std::string& name : database->TableNames()) {
      try {
        ReadWholeTable(*database, name);
      } catch (const StoreError&) {
        // A damaged table; the others may still read.
      }
    }
    ReadWholeTable(*database, "MSysObjects");
  } catch (const StoreError&) {
    // A damaged file is refused with a message: what the program promises.
  }
}

}  // namespace varnholt::fuzz

#endif  // VARNHOLT_TESTS_FUZZ_JET_FILE_FUZZ_H_
