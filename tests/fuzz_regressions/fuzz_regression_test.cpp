// Inputs the fuzz targets found crashing (or that crash in the same way), fed through the fuzz
// targets' own bodies, and a replay of the checked-in seeds. Each body aborts on any fault, so a
// test here fails by crashing; the expectations name what the parser must say instead.
#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stores/filter/filter_expression.h"
#include "base/regional_settings.h"
#include "stores/sql/sql_lexer.h"
#include "stores/sql/sql_parser.h"
#include "stores/sql/update_executor.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/index_creator.h"
#include "stores/paradox/table.h"
#include "tests/support/table_checker.h"
#include "stores/paradox/table_crypt.h"
#include "tests/fuzz/filter_fuzz.h"
#include "tests/fuzz/jet_file_fuzz.h"
#include "tests/fuzz/local_sql_fuzz.h"
#include "tests/fuzz/paradox_table_fuzz.h"

namespace varnholt {
namespace {

namespace fs = std::filesystem;

const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// Deep enough to overflow the stack of a recursive parser, evaluator or destructor.
constexpr int kHostileDepth = 200000;

TEST(FilterRegression, DeepNestingIsRefusedNotAStackOverflow) {
  const std::string parentheses = Repeat("(", kHostileDepth) + "a=1" + Repeat(")", kHostileDepth);
  const std::string nots = Repeat("NOT ", kHostileDepth) + "a=1";
  for (auto dialect : {filter::Dialect::kJet, filter::Dialect::kParadox}) {
    fuzz::FuzzFilter(Bytes(parentheses), parentheses.size(), dialect);
    try {
      filter::Expression::Parse(parentheses, dialect);
      FAIL() << "parsed";
    } catch (const filter::FilterSyntaxError& e) {
      EXPECT_EQ(e.reason(), "parentheses and NOT nest too deeply");
    }
  }
  fuzz::FuzzFilter(Bytes(nots), nots.size(), filter::Dialect::kParadox);
  EXPECT_THROW(filter::Expression::Parse(nots, filter::Dialect::kParadox), filter::FilterSyntaxError);
}

TEST(FilterRegression, LongChainIsRefusedNotAStackOverflow) {
  const std::string chain = "a=1" + Repeat(" OR a=1", kHostileDepth);
  for (auto dialect : {filter::Dialect::kJet, filter::Dialect::kParadox}) {
    fuzz::FuzzFilter(Bytes(chain), chain.size(), dialect);
    try {
      filter::Expression::Parse(chain, dialect);
      FAIL() << "parsed";
    } catch (const filter::FilterSyntaxError& e) {
      EXPECT_EQ(e.reason(), "the filter holds too many comparisons");
    }
  }
}

TEST(FilterRegression, ReasonableNestingAndChainsStillParse) {
  const std::string nested = Repeat("(", 100) + "a=1" + Repeat(")", 100);
  const std::string chain = "a=1" + Repeat(" AND b<>'x'", 999);
  EXPECT_NO_THROW(filter::Expression::Parse(nested, filter::Dialect::kJet));
  EXPECT_NO_THROW(filter::Expression::Parse(chain, filter::Dialect::kParadox));
  EXPECT_THROW(filter::Expression::Parse("(" + nested + ")", filter::Dialect::kJet), filter::FilterSyntaxError);
}

// ParseUpdate is what a statement component runs; each statement below crashed it, or the
// executor after it, in a release build before the parser had its bounds.
void ExpectTooComplex(const std::string& statement) {
  try {
    local_sql::ParseUpdate(statement);
    FAIL() << "parsed";
  } catch (const local_sql::SqlError& e) {
    EXPECT_NE(std::string(e.what()).find("Expression too complex in SQL statement."), std::string::npos)
        << e.what();
  }
}

TEST(LocalSqlRegression, DeepNestingIsRefusedNotAStackOverflow) {
  ExpectTooComplex("UPDATE t SET a = " + Repeat("(", 20000) + "1" + Repeat(")", 20000));
  ExpectTooComplex("UPDATE t SET a = " + Repeat("-", 100000) + "1");
  ExpectTooComplex("UPDATE t SET a = 1 WHERE " + Repeat("NOT ", 100000) + "b = 1");
}

TEST(LocalSqlRegression, LongChainIsRefusedNotAStackOverflow) {
  // A source value holding double quotes can splice such a chain into a composed statement; the
  // executor's evaluation recursed once per term.
  ExpectTooComplex("UPDATE t SET a = \"x\"" + Repeat(" + \"\"", 50000));
  ExpectTooComplex("UPDATE t SET a = 1 WHERE b = 1" + Repeat(" OR b = 1", 25000));
}

TEST(LocalSqlRegression, LongestAcceptedStatementRunsOnARealTable) {
  using namespace paradox;
  const fs::path dir = fs::temp_directory_path() / ("fuzz_regression_sql_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  TableSchema schema;
  schema.fields = {{"CODE", FieldType::kAlpha, 10}, {"NAME", FieldType::kAlpha, 20}};
  schema.key_field_count = 1;
  Table::Create((dir / "T.DB").string(), schema);
  auto table = Table::Open((dir / "T.DB").string(), true);
  table->Insert({std::string("4711"), std::string("old")});

  // 2,498 texts, 2,497 joins and the WHERE's three nodes: 4,998, just under the bound.
  auto statement = local_sql::ParseUpdate("UPDATE T SET NAME = \"new\"" + Repeat(" + \"\"", 2497) +
                                          " WHERE CODE = \"4711\"");
  const auto plan = local_sql::PlanUpdate(statement, *table, RegionalSettings{});
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(std::get<std::string>(plan[0].second[1]), "new");
  EXPECT_NO_THROW(local_sql::ParseUpdate("UPDATE t SET a = " + Repeat("(", 100) + "1" + Repeat(")", 100)));
  table.reset();
  fs::remove_all(dir);
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every input under inputs/<target>/ once crashed that target; it must now pass.
void ReplayInputs(const std::string& target, void (*body)(const std::vector<uint8_t>&)) {
  const fs::path folder = fs::path(VARNHOLT_FUZZ_INPUTS_DIR) / target;
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  for (const auto& input : fs::directory_iterator(folder)) {
    SCOPED_TRACE(input.path().string());
    body(ReadFile(input.path()));
  }
}

// A whole Jet file whose catalog names page 0 as a table's definition: refused as damaged, not read
// from an empty definition.
TEST(JetFileRegression, FoundInputsPass) {
  ReplayInputs("fuzz_jet_file", [](const std::vector<uint8_t>& bytes) { fuzz::FuzzJetFile(bytes.data(), bytes.size()); });
}

TEST(ParadoxRegression, FoundInputsPass) {
  ReplayInputs("fuzz_paradox_table", [](const std::vector<uint8_t>& bytes) {
    fuzz::FuzzParadoxTable(bytes.data(), bytes.size());
  });
}

// A family with a maintained descending, unique index, packed as the fuzz target reads it, with
// bytes of its X and Y files spoiled one at a time: each is refused with an EngineError or kept
// sound, never a crash (the body aborts otherwise).
TEST(ParadoxRegression, SpoiledIndexFilesAreRefusedOrKeptSound) {
  using namespace paradox;
  const fs::path dir = fs::temp_directory_path() / ("fuzz_regression_ix_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string db = (dir / "T.DB").string();
  TableSchema schema;
  schema.fields = {{"Code", FieldType::kLong, 4}, {"Name", FieldType::kAlpha, 12}, {"Day", FieldType::kDate, 4}};
  schema.key_field_count = 1;
  Table::Create(db, schema);
  CreateSecondaryIndex(db, IndexDefinition{{"Name", "Day"}, true, "ByName", {"Day"}, true});
  {
    auto table = Table::Open(db, true);
    for (int i = 0; i < 150; ++i) {
      table->Insert(Record{int64_t{(i * 37) % 150}, "name " + std::to_string(i % 50), Date{738000 + i}});
    }
    table->Save();
  }
  ASSERT_TRUE(CheckTable(db).ok());
  std::vector<std::vector<uint8_t>> parts;
  for (const char* ext : {".DB", ".PX", ".MB", ".DB.saving", ".XG0", ".YG0"}) {
    parts.push_back(fs::exists(dir / (std::string("T") + ext)) ? ReadFile(dir / (std::string("T") + ext))
                                                                : std::vector<uint8_t>{});
  }
  fs::remove_all(dir);
  auto pack = [&] {
    std::vector<uint8_t> input;
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i > 0) input.insert(input.end(), fuzz::kParadoxPartSeparator.begin(), fuzz::kParadoxPartSeparator.end());
      input.insert(input.end(), parts[i].begin(), parts[i].end());
    }
    return input;
  };
  const std::vector<uint8_t> whole = pack();
  fuzz::FuzzParadoxTable(whole.data(), whole.size());
  for (size_t part : {size_t{4}, size_t{5}}) {
    const std::vector<uint8_t> original = parts[part];
    // Every byte of the fixed header, then a stride through the rest.
    for (size_t at = 0; at < original.size(); at += at < 0x80 ? 1 : 29) {
      for (uint8_t value : {uint8_t{0xFF}, static_cast<uint8_t>(original[at] ^ 0x21)}) {
        parts[part][at] = value;
        const std::vector<uint8_t> input = pack();
        fuzz::FuzzParadoxTable(input.data(), input.size());
      }
      parts[part][at] = original[at];
    }
    parts[part].resize(original.size() / 2);  // cut short
    const std::vector<uint8_t> input = pack();
    fuzz::FuzzParadoxTable(input.data(), input.size());
    parts[part] = original;
  }
}

// A protected seed reads unscrambled with the seeds' password, and bytes changed anywhere in its
// scrambled blocks (so a whole 256-byte piece unscrambles to noise) are refused or read, never a
// fault.
TEST(ParadoxRegression, DamagedScrambledBlocksAreRefusedNotACrash) {
  const std::vector<uint8_t> seed =
      ReadFile(fs::path(VARNHOLT_FUZZ_CORPUS_DIR) / "fuzz_paradox_table" / "protected-many-rows");
  ASSERT_FALSE(seed.empty());
  const std::string_view input(reinterpret_cast<const char*>(seed.data()), seed.size());
  const std::vector<std::string_view> parts = fuzz::SplitParadoxParts(input);
  ASSERT_GE(parts.size(), 2u);
  const fs::path dir = fuzz::NewScratchFolder("varnholt_protected_seed");
  for (size_t i = 0; i < 2; ++i) {
    std::ofstream out(dir / (std::string("T") + fuzz::kParadoxPartExtensions[i]), std::ios::binary);
    out.write(parts[i].data(), static_cast<std::streamsize>(parts[i].size()));
  }
  const std::string db = (dir / "T.DB").string();
  EXPECT_NE(paradox::StoredPasswordChecksum(db), 0u);
  const paradox::CheckResult check = paradox::CheckTable(db);
  EXPECT_TRUE(check.ok()) << check.Summary();
  EXPECT_EQ(paradox::Table::Open(db, false, fuzz::kParadoxFuzzPassword)->RecordCount(), 40u);
  fs::remove_all(dir);

  // Every 509th byte past the header of the .DB, then of the .PX.
  constexpr size_t kHeaderBytes = 2048;
  constexpr size_t kStep = 509;
  const size_t px_at = parts[0].size() + fuzz::kParadoxPartSeparator.size();
  int runs = 0;
  for (const auto& [begin, end] : {std::pair{kHeaderBytes, parts[0].size()},
                                   std::pair{px_at + kHeaderBytes, px_at + parts[1].size()}}) {
    for (size_t at = begin; at < end; at += kStep) {
      std::vector<uint8_t> damaged = seed;
      damaged[at] ^= 0xA5;
      fuzz::FuzzParadoxTable(damaged.data(), damaged.size());
      ++runs;
    }
  }
  EXPECT_GT(runs, 50);
}

// Bytes the C library's allocator holds for the program (0 under sanitizers with their own).
size_t AllocatedBytes() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

// A 4 KB .DB whose header claims 65,535 blocks of 32 KB used to make Table::Open reserve all of
// them, 2 GB, before it looked at the chain (the fuzz target's out-of-memory finding).
TEST(ParadoxRegression, HugeBlockCountClaimReservesNoMemory) {
  std::vector<uint8_t> family = ReadFile(fs::path(VARNHOLT_FUZZ_CORPUS_DIR) / "fuzz_paradox_table" / "empty");
  ASSERT_GT(family.size(), 0x0Du);
  family[0x05] = 32;    // block size in KiB
  family[0x0C] = 0xFF;  // file blocks, u16
  family[0x0D] = 0xFF;
  std::vector<uint8_t> probe(100 << 20, 1);
  if (AllocatedBytes() < probe.size()) GTEST_SKIP() << "allocator statistics unavailable";
  probe = {};

  const fs::path dir = fs::temp_directory_path() / ("fuzz_regression_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const auto parts = fuzz::SplitParadoxParts(
      std::string_view(reinterpret_cast<const char*>(family.data()), family.size()));
  std::ofstream(dir / "T.DB", std::ios::binary).write(parts[0].data(), static_cast<std::streamsize>(parts[0].size()));
  std::ofstream(dir / "T.PX", std::ios::binary).write(parts[1].data(), static_cast<std::streamsize>(parts[1].size()));
  const size_t before = AllocatedBytes();
  try {
    auto table = paradox::Table::Open((dir / "T.DB").string(), false);
    EXPECT_LT(AllocatedBytes() - before, size_t{64} << 20);
  } catch (const EngineError&) {
    // Refusing the file is as good as holding only what it has.
  }
  fs::remove_all(dir);
}

// A BCD value whose scaled digits exceed a double's exact integers used to be split into digits by
// repeated division, which produced junk digits (and an out-of-range conversion).
TEST(ParadoxRegression, BcdKeepsEveryDigitOfLargeValues) {
  using namespace paradox;
  const CodePage code_page(437);
  const FieldCodec codec({{"Amount", FieldType::kBcd, 2}}, code_page, "T.DB");
  std::vector<uint8_t> record(codec.record_size());
  codec.Encode(0, 123456789012345678.0, record.data());
  std::string stored;
  for (int d = 2; d < 34; ++d) {
    const int nibble = d % 2 == 0 ? record[d / 2] >> 4 : record[d / 2] & 0x0F;
    if (!stored.empty() || nibble != 0) stored += static_cast<char>('0' + nibble);
  }
  // Every digit of the scaled double, 12345678901234567168 exactly.
  EXPECT_EQ(stored, "12345678901234567168");
  EXPECT_DOUBLE_EQ(std::get<double>(codec.Decode(0, record.data(), nullptr)), 123456789012345678.0);

  codec.Encode(0, -9.99e29, record.data());
  EXPECT_DOUBLE_EQ(std::get<double>(codec.Decode(0, record.data(), nullptr)), -9.99e29);
  EXPECT_THROW(codec.Encode(0, 1e30, record.data()), EngineError);
}

// Every checked-in seed goes through its target's body: a seed that crashes breaks fuzzing.
TEST(FuzzCorpus, EverySeedPassesItsTarget) {
  const fs::path corpus = VARNHOLT_FUZZ_CORPUS_DIR;
  ASSERT_TRUE(fs::is_directory(corpus));
  int replayed = 0;
  for (const auto& target : fs::directory_iterator(corpus)) {
    const std::string name = target.path().filename().string();
    for (const auto& seed : fs::directory_iterator(target.path())) {
      SCOPED_TRACE(seed.path().string());
      const std::vector<uint8_t> bytes = ReadFile(seed.path());
      if (name == "fuzz_source_filter") {
        fuzz::FuzzFilter(bytes.data(), bytes.size(), filter::Dialect::kJet);
      } else if (name == "fuzz_target_filter") {
        fuzz::FuzzFilter(bytes.data(), bytes.size(), filter::Dialect::kParadox);
      } else if (name == "fuzz_local_sql") {
        fuzz::FuzzLocalSql(bytes.data(), bytes.size());
      } else if (name == "fuzz_jet_file") {
        fuzz::FuzzJetFile(bytes.data(), bytes.size());
      } else if (name == "fuzz_paradox_table") {
        fuzz::FuzzParadoxTable(bytes.data(), bytes.size());
      } else {
        ADD_FAILURE() << "no body for " << name;
      }
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 20);
}

}  // namespace
}  // namespace varnholt
