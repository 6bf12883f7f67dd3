// make_fuzz_seeds <folder>: writes seed inputs made by our own writers into <folder>/<target>/,
// for the fuzz targets whose inputs are binary files. scripts/fuzz runs it before fuzzing; its
// output for a fixed creation date is what tests/fuzz/corpus holds.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "stores/jet/jet_format.h"
#include "stores/jet/jet_header.h"
#include "stores/paradox/index_creator.h"
#include "stores/paradox/table.h"
#include "tools/sample_school/protect_table.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tests/fuzz/paradox_table_fuzz.h"
#include "tools/jetwriter/jet_writer.h"

namespace fs = std::filesystem;

namespace {

// Bytes of page 0 kept as a seed: the header checks read fewer.
constexpr size_t kJetSeedLength = 256;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteSeed(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + (folder / name).string());
}

std::vector<uint8_t> JetHeader(const fs::path& scratch, const std::string& password) {
  using namespace varnholt::jet;
  const fs::path path = scratch / "seed.mdb";
  fs::remove(path);
  WriteOptions options;
  options.password = password;
  options.created = DateTime::FromCivil(2024, 3, 1, 9, 30);
  TableData table{"Learner_info", {{"LearnerID", ColumnType::kText, 20}}, {{std::string("4711")}}};
  WriteDatabase(path.string(), {table}, options);
  std::vector<uint8_t> bytes = ReadFile(path);
  bytes.resize(kJetSeedLength);
  return bytes;
}

// A whole small database: one table of every column type, NULLs, a memo on LVAL pages, non-Latin
// text, so the reader's every part has something to chew on.
std::vector<uint8_t> SmallDatabase(const fs::path& scratch) {
  using namespace varnholt::jet;
  const fs::path path = scratch / "seed.mdb";
  fs::remove(path);
  WriteOptions options;
  options.password = "Talvern";
  options.created = DateTime::FromCivil(2024, 3, 1, 9, 30);
  Column amount{"Amount", ColumnType::kDecimal};
  amount.precision = 12;
  amount.scale = 2;
  const std::vector<Column> columns = {
      {"Id", ColumnType::kLong},       {"Small", ColumnType::kInteger}, {"Tiny", ColumnType::kByte},
      {"Name", ColumnType::kText, 30}, {"Notes", ColumnType::kMemo},    {"When", ColumnType::kDateTime},
      {"Score", ColumnType::kDouble},  {"Ratio", ColumnType::kSingle},  {"Fee", ColumnType::kCurrency},
      {"Active", ColumnType::kBoolean}, {"Key", ColumnType::kGuid},     amount};
  TableData table{"Learner_info", columns, {}};
  table.rows.push_back({int64_t{1}, int64_t{-2}, int64_t{3}, std::string("Ελένη 😀"), std::string(5000, 'm'),
                        DateTime::FromCivil(2024, 2, 29, 23, 59, 59), 0.1, 2.5, Currency{12345}, true,
                        std::string("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), std::string("-12.34")});
  table.rows.push_back(std::vector<Cell>(columns.size()));
  table.rows.push_back({int64_t{2}, int64_t{7}, int64_t{0}, std::string("Ndlovu"), std::string("short"),
                        DateTime{-1.25}, -1e300, 0.0, Currency{-1}, false,
                        std::string("{00000000-0000-0000-0000-000000000000}"), std::string("0")});
  WriteDatabase(path.string(), {table}, options);
  return ReadFile(path);
}

void JetSeeds(const fs::path& out, const fs::path& scratch) {
  const fs::path folder = out / "fuzz_jet_file";
  WriteSeed(folder, "jet4-no-password", JetHeader(scratch, ""));
  WriteSeed(folder, "jet4-password", JetHeader(scratch, "password"));
  WriteSeed(folder, "jet4-password-20", JetHeader(scratch, "abcdefghijklmnopqrst"));
  WriteSeed(folder, "jet4-password-unicode", JetHeader(scratch, "Grüße€😀"));
  WriteSeed(folder, "jet4-every-type", SmallDatabase(scratch));
  // The same bytes claiming other engines: the Jet 3 decoder and the ACE refusal get a start.
  std::vector<uint8_t> jet3 = JetHeader(scratch, "password");
  jet3[varnholt::jet_format::kJetVersionOffset] = 0;
  WriteSeed(folder, "jet3-version", jet3);
  std::vector<uint8_t> ace = JetHeader(scratch, "");
  const char kAce[] = "Standard ACE DB";
  std::copy(kAce, kAce + sizeof kAce, ace.begin() + varnholt::jet_format::kJetFormatIdOffset);
  WriteSeed(folder, "ace-format-id", ace);
}

// Row i's value for a field: distinct per row, so keys stay unique.
varnholt::paradox::Value SampleValue(const varnholt::paradox::Field& field, int i) {
  using varnholt::paradox::FieldType;
  switch (field.type) {
    case FieldType::kAlpha:
      return std::string(i % 3 == 2 ? "Mü" : "A") + std::to_string(1000 + i);
    case FieldType::kMemo:
      return std::string("memo ") + std::to_string(i);
    case FieldType::kShort:
    case FieldType::kLong:
    case FieldType::kAutoIncrement:
      return int64_t{100 + i};
    case FieldType::kMoney:
    case FieldType::kNumber:
    case FieldType::kBcd:
      return 10.5 * i;
    case FieldType::kLogical:
      return i % 2 == 0;
    case FieldType::kDate:
      return varnholt::paradox::Date{738000 + i};
    case FieldType::kTime:
      return varnholt::paradox::Time{1000 * i};
    case FieldType::kTimestamp:
      return varnholt::paradox::Timestamp{6.38e13 + 1000.0 * i};
    default:
      return varnholt::paradox::Null{};
  }
}

// Creates the table in `scratch`, inserts `rows` records (every third field left null in odd rows),
// protects it with `password` unless that is empty, and returns the family packed as the Paradox
// fuzz target reads it. `index`: a secondary index the table gets before its rows (packed as the
// .XG0 and .YG0 parts).
std::vector<uint8_t> ParadoxFamily(const fs::path& scratch, const std::string& name,
                                   const varnholt::paradox::TableSchema& schema, int rows,
                                   const varnholt::paradox::IndexDefinition* index = nullptr,
                                   const std::string& password = {}) {
  using namespace varnholt::paradox;
  fs::remove_all(scratch / "px");
  fs::create_directories(scratch / "px");
  const fs::path db = scratch / "px" / (name + ".DB");
  Table::Create(db.string(), schema);
  if (index != nullptr) CreateSecondaryIndex(db.string(), *index);
  {
    auto table = Table::Open(db.string(), true);
    for (int i = 0; i < rows; ++i) {
      Record record;
      for (size_t f = 0; f < schema.fields.size(); ++f) {
        const bool leave_null = f >= static_cast<size_t>(schema.key_field_count) && f % 3 == 2 && i % 2 == 1;
        record.push_back(leave_null ? Value(Null{}) : SampleValue(schema.fields[f], i));
      }
      table->Insert(record);
    }
    table->Save();
  }
  if (!password.empty()) varnholt::ProtectTable(db.string(), password);
  std::vector<uint8_t> packed;
  std::vector<const char*> extensions = {".DB", ".PX", ".MB"};
  if (index != nullptr) extensions.insert(extensions.end(), {".DB.saving", ".XG0", ".YG0"});
  for (size_t i = 0; i < extensions.size(); ++i) {
    if (i > 0) packed.insert(packed.end(), varnholt::fuzz::kParadoxPartSeparator.begin(),
                             varnholt::fuzz::kParadoxPartSeparator.end());
    fs::path file = db;
    file.replace_extension(extensions[i]);
    if (fs::exists(file)) {
      const std::vector<uint8_t> bytes = ReadFile(file);
      packed.insert(packed.end(), bytes.begin(), bytes.end());
    }
  }
  return packed;
}

void ParadoxSeeds(const fs::path& out, const fs::path& scratch) {
  using namespace varnholt::paradox;
  const fs::path folder = out / "fuzz_paradox_table";
  for (const auto& [file, schema] : VarnholtSchemas()) {
    std::string name = fs::path(file).stem().string();
    WriteSeed(folder, name + "-3-rows", ParadoxFamily(scratch, name, schema, 3));
  }
  // Several blocks, so the chain and the index have more than one entry.
  const auto schemas = VarnholtSchemas();
  WriteSeed(folder, "many-rows", ParadoxFamily(scratch, "MANY", schemas.front().second, 40));
  WriteSeed(folder, "empty", ParadoxFamily(scratch, "EMPTY", schemas.front().second, 0));
  // Maintained secondary indexes: surname and name with the name descending; a unique one.
  const IndexDefinition descending{{"CH01_SURNAME", "CH01_NAME"}, false, "ByName", {"CH01_NAME"}};
  WriteSeed(folder, "indexed-descending",
            ParadoxFamily(scratch, "INDEXED", schemas.front().second, 40, &descending));
  const IndexDefinition unique{{"CH01_NAME"}, false, "OneName", {}, true};
  WriteSeed(folder, "indexed-unique", ParadoxFamily(scratch, "UNIQUE", schemas.front().second, 5, &unique));
  // Password-protected, as the accounting product's owners may leave a table: the target opens it
  // with the seeds' password, so mutations reach the scrambled blocks.
  WriteSeed(folder, "protected-3-rows",
            ParadoxFamily(scratch, "LOCKED", schemas.front().second, 3, nullptr, varnholt::fuzz::kParadoxFuzzPassword));
  WriteSeed(folder, "protected-many-rows",
            ParadoxFamily(scratch, "LOCKEDM", schemas.front().second, 40, nullptr, varnholt::fuzz::kParadoxFuzzPassword));

  // Every field type the engine writes, keyed on two fields and unkeyed.
  TableSchema types;
  types.fields = {{"Code", FieldType::kAlpha, 12},   {"Number", FieldType::kShort, 2},
                  {"Long", FieldType::kLong, 4},     {"Money", FieldType::kMoney, 8},
                  {"Real", FieldType::kNumber, 8},   {"Flag", FieldType::kLogical, 1},
                  {"Day", FieldType::kDate, 4},      {"Hour", FieldType::kTime, 4},
                  {"Stamp", FieldType::kTimestamp, 8}, {"Note", FieldType::kMemo, 20},
                  {"Exact", FieldType::kBcd, 2},     {"Raw", FieldType::kBytes, 6}};
  types.key_field_count = 2;
  types.code_page = 1252;
  WriteSeed(folder, "all-types-keyed", ParadoxFamily(scratch, "TYPES", types, 5));
  types.key_field_count = 0;
  WriteSeed(folder, "all-types-unkeyed", ParadoxFamily(scratch, "TYPESU", types, 5));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_fuzz_seeds <folder>\n";
    return 2;
  }
  try {
    const fs::path out = argv[1];
    const fs::path scratch = fs::temp_directory_path() / ("make_fuzz_seeds." + std::to_string(::getpid()));
    fs::create_directories(scratch);
    JetSeeds(out, scratch);
    ParadoxSeeds(out, scratch);
    fs::remove_all(scratch);
  } catch (const std::exception& e) {
    std::cerr << "make_fuzz_seeds: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
