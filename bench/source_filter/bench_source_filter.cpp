// Measures what the passes cost on the source side at growing table sizes: opening a table (read
// whole), and one equality filter change per learner followed by a read, in the quoted and the
// unquoted form. The per-filter cost should stay flat as the table grows (index look-up).
//
// Usage: bench_source_filter [sizes...]   (default 1000 10000 100000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/regional_settings.h"
#include "stores/source/source_table.h"
#include "tools/jetwriter/jet_writer.h"

namespace {

using namespace varnholt;
using Clock = std::chrono::steady_clock;

constexpr int kFilterChanges = 5000;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Run(int rows) {
  std::string pattern = (std::filesystem::temp_directory_path() / "bench-source-XXXXXX").string();
  std::string dir = mkdtemp(pattern.data());
  std::string path = dir + "/school.mdb";
  {
    jet::DatabaseWriter writer(path);
    writer.BeginTable("Parent_child", {{"ParentID", jet::ColumnType::kLong},
                                       {"ChildID", jet::ColumnType::kLong},
                                       {"LearnerID", jet::ColumnType::kText, 20},
                                       {"Relation", jet::ColumnType::kText, 30}});
    for (int i = 0; i < rows; ++i) {
      writer.AddRow({jet::Cell{int64_t{i}}, jet::Cell{int64_t{i / 2}}, jet::Cell{std::to_string(i / 2)},
                     jet::Cell{std::string("Mother")}});
    }
    writer.Finish();
  }
  RegionalSettings settings;
  SourceTable links("tblParent_Child", settings);
  links.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
                            ";Persist Security Info=True;Jet OLEDB:Database Password=Talvern");
  links.SetTableName("Parent_child");
  auto start = Clock::now();
  links.Open();
  double open = Seconds(start);

  links.SetFiltered(true);
  size_t checksum = 0;
  start = Clock::now();
  for (int i = 0; i < kFilterChanges; ++i) {
    links.SetFilter("learnerid='" + std::to_string(i % (rows / 2)) + "' ");
    checksum += links.FieldText("ParentID").size();
  }
  double quoted = Seconds(start) / kFilterChanges;
  start = Clock::now();
  for (int i = 0; i < kFilterChanges; ++i) {
    links.SetFilter("childid=" + std::to_string(i % (rows / 2)));
    checksum += links.FieldText("ParentID").size();
  }
  double unquoted = Seconds(start) / kFilterChanges;
  std::printf("%8d rows: open %8.3f s   quoted filter %7.2f us   unquoted filter %7.2f us   (%zu)\n", rows,
              open, quoted * 1e6, unquoted * 1e6, checksum);
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
