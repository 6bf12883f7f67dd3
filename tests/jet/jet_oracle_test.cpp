// The Jet reader against mdb-export: the genuine Access files, generated schools and a table of
// every column type read the same, table for table and row for row (see oracle_compare.h).
#include <gtest/gtest.h>

#include "stores/jet/catalog.h"
#include "stores/jet/file_image.h"
#include "stores/jet/data_page.h"
#include "stores/jet/jet_database.h"
#include "stores/jet/table_definition.h"
#include "tests/jet/jet_test_files.h"
#include "tests/jet/oracle_compare.h"
#include "tools/sample_school/school.h"
#include "tools/sample_school/source_database.h"

namespace varnholt {
namespace {

using jet::Cell;

TEST(JetOracleTest, GenuineAccessFilesReadLikeMdbExport) {
  if (!HaveSharedFiles()) GTEST_SKIP() << "no genuine sample files";
  ScratchDir dir;
  for (const char* name : {"access2000-password.mdb", "access2003-password.mdb", "access2000-no-password.mdb",
                           "access97-no-password.mdb", "adox-jet4-empty.mdb"}) {
    ExpectSameAsMdbExport(CopyShared(dir, name), "password");
  }
}

// The kind of the usage map naming the table's pages: 0 inline, 1 through bitmap pages.
int OwnedMapType(const std::string& path, const std::string& table) {
  const JetPageReader pages(CopyFileImage(path).bytes, jet_format::kJet4Format, 0);
  for (const JetCatalogEntry& entry : ReadJetCatalog(pages)) {
    if (entry.name != table) continue;
    const uint32_t map = ReadTableDefinition(pages, entry.definition_page).owned_pages_map;
    std::vector<uint8_t> page;
    pages.Read(map >> 8, &page);
    return page[FindJetRow(page, pages.Format(), map & 0xFF)->start];
  }
  return -1;
}

void ExpectGeneratedSchoolReadsLikeMdbExport(int learners) {
  ScratchDir dir;
  sample::SchoolOptions options;
  options.learners = learners;
  options.parents = learners * 3 / 4;
  const std::string path = dir.File("school.mdb");
  sample::WriteSourceDatabase(path, sample::GenerateSchool(options));
  EXPECT_GT(ExpectSameAsMdbExport(path, sample::kSourcePassword), learners);
  EXPECT_EQ(OwnedMapType(path, "Classes"), 0);
}

TEST(JetOracleTest, GeneratedSchoolReadsLikeMdbExport) { ExpectGeneratedSchoolReadsLikeMdbExport(600); }

// Minutes, not seconds: run with --gtest_also_run_disabled_tests.
TEST(JetOracleTest, DISABLED_HundredThousandLearnerSchoolReadsLikeMdbExport) {
  ExpectGeneratedSchoolReadsLikeMdbExport(100000);
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(JetOracleTest, EveryColumnTypeNullsLongMemosAndNonLatinTextReadLikeMdbExport) {
  ScratchDir dir;
  const std::string path = dir.File("types.mdb");
  const std::vector<std::string> names = {
      "Ελένη Δημητρίου", "Іван Петренко", "O'Neill, \"Jr\"", "张伟", "line\none", "Zoë 😀 Ndlovu", ""};
  const std::vector<std::string> memos = {"short", Repeat("memo on one LVAL row ", 150),
                                          Repeat("a memo over many LVAL pages, ", 1500),
                                          Repeat("Ωé многие страницы ", 900), ""};
  std::vector<std::vector<Cell>> rows;
  for (int i = 0; i < 300; ++i) {
    if (i % 17 == 5) {
      rows.push_back(std::vector<Cell>(12));  // all NULL
      continue;
    }
    const double day = (i % 3 == 0) ? -700.25 - i : (i % 3 == 1) ? 45000.5 + i / 7.0 : 1.2e6 + i;
    rows.push_back({Cell{int64_t{i * 7919 - 1000000}}, Cell{int64_t{(i * 37) % 65536 - 32768}}, Cell{int64_t{i % 256}},
                    Cell{names[i % names.size()]}, i % 4 == 3 ? Cell{} : Cell{memos[i % memos.size()]},
                    Cell{jet::DateTime{day}}, Cell{i * 1.1e-3 - 0.05}, Cell{i * 0.37 - 20.0},
                    Cell{jet::Currency{i * 123457LL - 9000000}}, Cell{i % 2 == 0},
                    Cell{std::string("{6F9619FF-8B86-D011-B42D-00C04FC9") + std::to_string(1000 + i) + "}"},
                    Cell{(i % 5 == 0 ? std::string("-") : std::string()) + std::to_string(i * 98765) + "." +
                         std::to_string(i % 10)}});
  }
  // Wide rows spread the second table over more than 512 pages: its usage map has bitmap pages.
  std::vector<std::vector<Cell>> wide;
  for (int i = 0; i < 4500; ++i) wide.push_back({Cell{int64_t{i}}, Cell{Repeat("x", 240)}, Cell{Repeat("y", 240)}});
  jet::WriteDatabase(
      path, {{"Types", EveryTypeColumns(), rows},
             {"Wide",
              {{"Id", jet::ColumnType::kLong}, {"A", jet::ColumnType::kText, 255}, {"B", jet::ColumnType::kText, 255}},
              wide}});
  EXPECT_EQ(ExpectSameAsMdbExport(path, ""), 4800);
  EXPECT_EQ(OwnedMapType(path, "Wide"), 1);
}

}  // namespace
}  // namespace varnholt
