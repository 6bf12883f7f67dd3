// Measures what one learner costs the update and import passes on the target side, at growing table
// sizes: one UPDATE statement keyed on the learner's code, and one filter change with a read. Both
// should stay flat as the table grows (index look-up plus one record written).
//
// Usage: bench_target_sql [sizes...]   (default 1000 10000 100000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/regional_settings.h"
#include "stores/paradox/table.h"
#include "stores/target/sql_statement.h"
#include "stores/target/target_session.h"
#include "stores/target/target_table.h"

namespace {

using namespace varnholt;
using Clock = std::chrono::steady_clock;

constexpr int kOperations = 2000;

std::string Code(int i) { return "L" + std::to_string(i); }

void Run(int rows) {
  std::string pattern = (std::filesystem::temp_directory_path() / "bench-target-XXXXXX").string();
  std::string dir = mkdtemp(pattern.data());
  paradox::TableSchema schema;
  schema.key_field_count = 1;
  schema.fields = {{"CH01_CODE", paradox::FieldType::kAlpha, 10},
                   {"CH01_SURNAME", paradox::FieldType::kAlpha, 30},
                   {"CH01_DL01_CODE", paradox::FieldType::kAlpha, 10},
                   {"CH01_SMART_CODE", paradox::FieldType::kAlpha, 10}};
  paradox::Table::Create(dir + "/CH01MAST.DB", schema);
  {
    auto table = paradox::Table::Open(dir + "/CH01MAST.DB", true);
    for (int i = 0; i < rows; ++i) {
      table->Insert({Code(i), std::string("Surname"), std::string("3"), Code(i)});
    }
  }

  RegionalSettings settings;
  TargetSession session;
  TargetTable ch01mast("Ch01mast", session, settings);
  ch01mast.SetDatabaseName(dir);
  ch01mast.SetTableName("CH01MAST.DB");
  ch01mast.Open();
  SqlStatement update("Update2", session, settings);
  update.SetDatabaseName(dir);

  auto start = Clock::now();
  for (int n = 0; n < kOperations; ++n) {
    std::string code = Code(n * 7919 % rows);
    update.ClearLines();
    update.SetText("UPDATE CH01MAST.db SET CH01_SURNAME = \"S" + std::to_string(n) + "\"  ");
    update.AddLine(", CH01_DL01_CODE = \"3\"+\"" + std::to_string(n) + "\" ");
    update.AddLine("Where CH01_code = \"" + code + "\" ");
    update.ExecSQL();
  }
  double update_us =
      std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kOperations;

  start = Clock::now();
  for (int n = 0; n < kOperations; ++n) {
    std::string code = Code(n * 104729 % rows);
    ch01mast.SetFilter("CH01_CODE ='" + code + "' ");
    ch01mast.SetFiltered(true);
    if (ch01mast.FieldText("CH01_CODE") != code) std::abort();
    ch01mast.SetFiltered(false);
  }
  double filter_us =
      std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kOperations;

  std::printf("rows %7d: UPDATE of one row %8.1f us, filter change and read %8.1f us\n", rows,
              update_us, filter_us);
  std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000, 100000};
  for (int rows : sizes) Run(rows);
  return 0;
}
