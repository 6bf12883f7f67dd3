// Database files for the Jet reader's suites: a scratch folder per test, the genuine Access files,
// a table of every column type, and raw access to pages for the tests that patch a file.
#ifndef VARNHOLT_TESTS_JET_JET_TEST_FILES_H_
#define VARNHOLT_TESTS_JET_JET_TEST_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_coding.h"
#include "tests/source/source_test_files.h"
#include "tools/jetwriter/jet_writer.h"

namespace varnholt {

inline constexpr size_t kJet4Page = 4096;

// The Jet 4 data pages (in file order) owned by the table definition on `definition_page`.
inline std::vector<uint32_t> DataPagesOf(const std::string& file, uint32_t definition_page) {
  std::vector<uint32_t> pages;
  for (uint32_t p = 1; p < file.size() / kJet4Page; ++p) {
    if (file[p * kJet4Page] == 0x01 && GetLe32(file.data() + p * kJet4Page + 4) == definition_page) pages.push_back(p);
  }
  return pages;
}

// The page of the table definition of the writer's first user table (the writer puts it first).
inline constexpr uint32_t kFirstTableDefinition = 3;

// One column of every type the writer knows.
inline std::vector<jet::Column> EveryTypeColumns() {
  using jet::ColumnType;
  jet::Column decimal{"Amount", ColumnType::kDecimal};
  decimal.precision = 28;
  decimal.scale = 4;
  return {{"Id", ColumnType::kLong},        {"Small", ColumnType::kInteger}, {"Tiny", ColumnType::kByte},
          {"Name", ColumnType::kText, 60},  {"Notes", ColumnType::kMemo},    {"When", ColumnType::kDateTime},
          {"Score", ColumnType::kDouble},   {"Ratio", ColumnType::kSingle},  {"Fee", ColumnType::kCurrency},
          {"Active", ColumnType::kBoolean}, {"Key", ColumnType::kGuid},      decimal};
}

}  // namespace varnholt

#endif  // VARNHOLT_TESTS_JET_JET_TEST_FILES_H_
