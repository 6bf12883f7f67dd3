// The row cracker on its own, with definitions our Jet writer wrote: rows it wrote, and rows made
// by hand at the edges (no variable columns, offsets past the row or running backwards, more
// variable columns than columns, masks one byte long and two, rows written before columns were
// added), which crack as far as they hold or are refused, never read past their end.
#include "base/byte_coding.h"
#include "stores/jet/row_cracker.h"

#include <gtest/gtest.h>

#include "stores/jet/jet_error.h"
#include "stores/jet/table_scan.h"
#include "tests/jet/jet_unit_files.h"

namespace varnholt {
namespace {

using testing::JetFile;

const jet_format::Format& kFormat = jet_format::kJet4Format;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes* b, uint16_t v) {
  b->resize(b->size() + 2);
  PutLe16(b->data() + b->size() - 2, v);
}

// A Jet 4 row: column count, the fixed part, the variable values, their offsets (the end of the
// data last, stored from the row's end backwards), the variable count and the null mask.
Bytes Row(unsigned columns, const Bytes& fixed, const std::vector<Bytes>& vars, const std::vector<bool>& present) {
  Bytes row;
  Put16(&row, static_cast<uint16_t>(columns));
  row.insert(row.end(), fixed.begin(), fixed.end());
  std::vector<uint16_t> offsets;
  for (const Bytes& v : vars) {
    offsets.push_back(static_cast<uint16_t>(row.size()));
    row.insert(row.end(), v.begin(), v.end());
  }
  offsets.push_back(static_cast<uint16_t>(row.size()));
  for (size_t i = offsets.size(); i-- > 0;) Put16(&row, offsets[i]);
  Put16(&row, static_cast<uint16_t>(vars.size()));
  Bytes mask((columns + 7) / 8, 0);
  for (size_t c = 0; c < present.size(); ++c) {
    if (present[c]) mask[c / 8] |= static_cast<uint8_t>(1u << (c % 8));
  }
  row.insert(row.end(), mask.begin(), mask.end());
  return row;
}

// Id Long, Name Text, Notes Text: one fixed column, two variable.
JetTableDefinition MixedDefinition() {
  return JetFile({{"Mixed",
                   {{"Id", jet::ColumnType::kLong}, {"Name", jet::ColumnType::kText, 20},
                    {"Notes", jet::ColumnType::kText, 40}},
                   {}}})
      .Definition("Mixed");
}

bool Refused(JetRowCracker* cracker, const Bytes& row) {
  std::vector<JetField> fields;
  try {
    cracker->Crack(row, &fields);
    return false;
  } catch (const JetFormatError& e) {
    EXPECT_EQ(std::string(e.what()), "a row does not fit its own counts and offsets");
    return true;
  }
}

TEST(JetRowCrackerTest, RowsTheWriterWroteCrackIntoTheirValues) {
  jet::TableData data{"Mixed",
                      {{"Id", jet::ColumnType::kLong}, {"Name", jet::ColumnType::kText, 20},
                       {"Notes", jet::ColumnType::kText, 40}},
                      {{int64_t{7}, std::string("Ann"), std::monostate{}}, {std::monostate{}, std::string(""), std::string("xy")}}};
  const JetFile file({data});
  const JetTableDefinition table = file.Definition("Mixed");
  std::vector<std::vector<JetField>> rows;
  std::vector<Bytes> raw;
  ScanJetTable(file.Pages(), table, [&](std::span<const uint8_t> row, const std::vector<JetField>& fields) {
    raw.emplace_back(row.begin(), row.end());
    rows.push_back(fields);
  });
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_FALSE(rows[0][0].is_null);
  EXPECT_EQ(rows[0][0].size, 4u);
  EXPECT_EQ(raw[0][rows[0][0].start], 7);
  EXPECT_FALSE(rows[0][1].is_null);
  EXPECT_EQ(rows[0][1].size, 5u);  // compressed: mark and three characters
  EXPECT_TRUE(rows[0][2].is_null);
  EXPECT_EQ(rows[0][2].size, 0u);
  EXPECT_TRUE(rows[1][0].is_null);
  EXPECT_FALSE(rows[1][2].is_null);
  for (const auto& fields : rows) {
    for (size_t i = 0; i < fields.size(); ++i) EXPECT_LE(fields[i].start + fields[i].size, raw[&fields - rows.data()].size());
  }
}

TEST(JetRowCrackerTest, ATableWithoutVariableColumnsReadsNoOffsets) {
  const JetFile file({{"Fixed", {{"A", jet::ColumnType::kLong}, {"B", jet::ColumnType::kInteger}}, {}}});
  const JetTableDefinition table = file.Definition("Fixed");
  ASSERT_EQ(table.var_column_count, 0u);
  JetRowCracker cracker(kFormat, table);
  // Column count, 4 + 2 fixed bytes, the mask: no variable count, no offsets.
  const Bytes row = {2, 0, 1, 2, 3, 4, 5, 6, 0x03};
  std::vector<JetField> fields;
  cracker.Crack(row, &fields);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].start, 2u + table.columns[0].fixed_offset);
  EXPECT_EQ(fields[1].size, 2u);
  EXPECT_FALSE(fields[1].is_null);
  // A fixed value that would end past the row.
  EXPECT_TRUE(Refused(&cracker, Bytes{2, 0, 1, 2, 3, 0x03}));
}

TEST(JetRowCrackerTest, OffsetsPastTheRowOrRunningBackwardsAreRefused) {
  const JetTableDefinition table = MixedDefinition();
  JetRowCracker cracker(kFormat, table);
  const Bytes fixed = {9, 0, 0, 0};
  const Bytes good = Row(3, fixed, {{'a', 'b'}, {'c'}}, {true, true, true});
  std::vector<JetField> fields;
  cracker.Crack(good, &fields);
  EXPECT_EQ(fields[1].size, 2u);
  EXPECT_EQ(good[fields[2].start], 'c');

  // Before the variable count, backwards: Name's offset, Notes', the end of the data.
  const size_t count_at = good.size() - 1 - 2;
  const size_t notes_at = count_at - 4;
  const size_t end_at = count_at - 6;
  Bytes past = good;
  past[end_at] = static_cast<uint8_t>(good.size() + 1);  // the data ends past the row
  EXPECT_TRUE(Refused(&cracker, past));
  Bytes backwards = good;
  backwards[notes_at] = static_cast<uint8_t>(good[end_at] + 1);  // Notes starts after the end
  EXPECT_TRUE(Refused(&cracker, backwards));

  // More variable values than the row has columns, and more offsets than the row has bytes.
  Bytes too_many = good;
  too_many[count_at] = 4;
  EXPECT_TRUE(Refused(&cracker, too_many));
  Bytes huge = good;
  huge[count_at + 1] = 0x7F;
  EXPECT_TRUE(Refused(&cracker, huge));
  // Rows too short for their own count and mask.
  EXPECT_TRUE(Refused(&cracker, Bytes{}));
  EXPECT_TRUE(Refused(&cracker, Bytes{3}));
  EXPECT_TRUE(Refused(&cracker, Bytes{3, 0, 0x07}));
  EXPECT_TRUE(Refused(&cracker, Bytes{0xFF, 0xFF, 0, 0}));  // a mask longer than the row
}

TEST(JetRowCrackerTest, ARowWrittenBeforeColumnsWereAddedHasThemNull) {
  const JetTableDefinition table = MixedDefinition();
  JetRowCracker cracker(kFormat, table);
  std::vector<JetField> fields;
  // Only Id and Name: the row's one variable value is Name, Notes is not in it at all.
  cracker.Crack(Row(2, {5, 0, 0, 0}, {{'n'}}, {true, true}), &fields);
  EXPECT_FALSE(fields[1].is_null);
  EXPECT_EQ(fields[1].size, 1u);
  EXPECT_TRUE(fields[2].is_null);
  EXPECT_EQ(fields[2].size, 0u);
  // No variable value at all: both variable columns null, whatever the mask says.
  cracker.Crack(Row(1, {5, 0, 0, 0}, {}, {true, true, true}), &fields);
  EXPECT_FALSE(fields[0].is_null);
  EXPECT_EQ(fields[1].size, 0u);
  EXPECT_EQ(fields[2].size, 0u);
}

TEST(JetRowCrackerTest, TheNullMaskIsReadAcrossItsByteBoundary) {
  // Nine Long columns: the ninth's bit is the first of the mask's second byte.
  std::vector<jet::Column> columns;
  for (int i = 0; i < 9; ++i) columns.push_back({"C" + std::to_string(i), jet::ColumnType::kLong});
  std::vector<jet::Cell> row(9, jet::Cell{int64_t{1}});
  row[7] = std::monostate{};
  std::vector<jet::Cell> other(9, jet::Cell{std::monostate{}});
  other[8] = int64_t{2};
  const JetFile file({{"Nine", columns, {row, other}}});
  const JetTableDefinition table = file.Definition("Nine");
  std::vector<std::vector<bool>> nulls;
  ScanJetTable(file.Pages(), table, [&](std::span<const uint8_t>, const std::vector<JetField>& fields) {
    nulls.emplace_back();
    for (const JetField& f : fields) nulls.back().push_back(f.is_null);
  });
  ASSERT_EQ(nulls.size(), 2u);
  EXPECT_EQ(nulls[0], (std::vector<bool>{false, false, false, false, false, false, false, true, false}));
  EXPECT_EQ(nulls[1], (std::vector<bool>{true, true, true, true, true, true, true, true, false}));

  // A row of eight columns has a one-byte mask: the ninth is null, not read from the next byte.
  JetRowCracker cracker(kFormat, table);
  Bytes eight = {8, 0};
  eight.resize(2 + 8 * 4, 1);
  eight.push_back(0xFF);  // mask: all eight present
  std::vector<JetField> fields;
  cracker.Crack(eight, &fields);
  EXPECT_FALSE(fields[7].is_null);
  EXPECT_TRUE(fields[8].is_null);
  EXPECT_EQ(fields[8].size, 0u);
}

}  // namespace
}  // namespace varnholt
