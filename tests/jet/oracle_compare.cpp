#include "tests/jet/oracle_compare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "base/regional_settings.h"
#include "stores/jet/jet_database.h"
#include "tests/jetwriter/mdb_test_support.h"

namespace varnholt {

namespace {

// libmdb's calendar covers these days; outside it prints a zeroed date.
constexpr double kLibmdbFirstDay = 0;
constexpr double kLibmdbLastDay = 1e6;
constexpr char kLibmdbZeroDate[] = "1900-01-00 00:00:00";

// Our text as mdb-export prints it: each character outside the BMP (four UTF-8 bytes) as "??".
std::string AsLibmdbText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xF8) == 0xF0) {
      out += "??";
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Our GUID text as libmdb prints it: without the dash before the last group.
std::string AsLibmdbGuid(std::string_view text) {
  constexpr size_t kGuidTextSize = 38;
  constexpr size_t kLastDash = 24;
  std::string out(text);
  if (out.size() == kGuidTextSize && out.front() == '{' && out.back() == '}' && out[kLastDash] == '-') {
    out.erase(kLastDash, 1);
  }
  return out;
}

// mdb-export's currency text ("-12.3400") in 1/10000 units.
int64_t CurrencyUnits(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  const size_t dot = text.find('.');
  int64_t whole = std::llabs(std::strtoll(text.substr(0, dot).c_str(), nullptr, 10));
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  fraction.resize(4, '0');
  const int64_t units = whole * 10000 + std::strtoll(fraction.c_str(), nullptr, 10);
  return negative ? -units : units;
}

void ExpectSameValue(SourceType type, const SourceValue& ours, const std::string& theirs, const std::string& where) {
  SCOPED_TRACE(where);
  if (type != SourceType::kText && type != SourceType::kBoolean && ours.is_null) {
    EXPECT_EQ(theirs, "");
    return;
  }
  switch (type) {
    case SourceType::kInteger:
      EXPECT_EQ(std::strtoll(theirs.c_str(), nullptr, 10), ours.integer) << theirs;
      break;
    case SourceType::kCurrency:
      EXPECT_EQ(CurrencyUnits(theirs), ours.integer) << theirs;
      break;
    case SourceType::kBoolean:
      EXPECT_EQ(theirs, ours.integer ? "1" : "0");
      break;
    case SourceType::kSingle:
      EXPECT_EQ(std::strtof(theirs.c_str(), nullptr), static_cast<float>(ours.real)) << theirs;
      break;
    case SourceType::kDouble: {
      const double value = std::strtod(theirs.c_str(), nullptr);
      EXPECT_LE(std::fabs(value - ours.real), 1e-15 * std::fabs(ours.real)) << theirs << " vs " << ours.real;
      break;
    }
    case SourceType::kDateTime: {
      if (ours.real < kLibmdbFirstDay || ours.real > kLibmdbLastDay) {
        EXPECT_EQ(theirs, kLibmdbZeroDate);
        break;
      }
      RegionalSettings iso;
      iso.short_date_format = "yyyy/mm/dd";
      iso.date_separator = '-';
      std::string text = FieldTextOf(type, ours, iso);
      if (text.size() == 10) text += " 00:00:00";
      EXPECT_EQ(theirs, text);
      break;
    }
    case SourceType::kDecimal:
      EXPECT_EQ(theirs, ours.text);
      break;
    case SourceType::kText:
      EXPECT_EQ(theirs, ours.is_null ? "" : AsLibmdbGuid(AsLibmdbText(ours.text)));
      break;
  }
}

}  // namespace

long ExpectSameAsMdbExport(const std::string& path, const std::string& password) {
  const auto database = JetDatabase::Open(path, password);
  const std::vector<std::string> names = database->TableNames();
  EXPECT_EQ(names, mdbtest::Tables(path));
  long rows = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(path + " table " + name);
    const TableSnapshot table = database->ReadTable(name);
    const auto exported = mdbtest::Export(path, name);
    if (exported.empty()) {
      ADD_FAILURE() << "mdb-export printed nothing";
      continue;
    }
    std::vector<std::string> header;
    for (int c = 0; c < table.ColumnCount(); ++c) header.push_back(table.Column(c).name);
    EXPECT_EQ(exported[0], header);
    EXPECT_EQ(static_cast<int>(exported.size()) - 1, table.RowCount());
    for (int r = 0; r < table.RowCount() && r + 1 < static_cast<int>(exported.size()); ++r) {
      const std::vector<std::string>& theirs = exported[r + 1];
      if (static_cast<int>(theirs.size()) != table.ColumnCount()) {
        ADD_FAILURE() << "row " << r << " has " << theirs.size() << " fields in mdb-export";
        continue;
      }
      for (int c = 0; c < table.ColumnCount(); ++c) {
        ExpectSameValue(table.Column(c).type, table.Value(r, c), theirs[c],
                        "row " + std::to_string(r) + " column " + table.Column(c).name);
      }
      ++rows;
    }
  }
  return rows;
}

}  // namespace varnholt
