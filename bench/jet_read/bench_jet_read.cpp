// bench_jet_read FILE PASSWORD [PASSES]: the cost of reading a source database whole, as the
// commands read it: open, then every user table into a snapshot. Prints the best pass's wall and
// CPU seconds (user + system) and the rows read.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/store_error.h"
#include "stores/jet/jet_database.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_jet_read FILE PASSWORD [PASSES]\n");
    return 2;
  }
  const int passes = argc > 3 ? std::atoi(argv[3]) : 5;
  double best_wall = 1e30, best_cpu = 1e30;
  long rows = 0;
  try {
    for (int p = 0; p < passes; ++p) {
      const auto wall_start = std::chrono::steady_clock::now();
      const double cpu_start = CpuSeconds();
      const auto database = varnholt::JetDatabase::Open(argv[1], argv[2]);
      rows = 0;
      for (const std::string& name : database->TableNames()) rows += database->ReadTable(name).RowCount();
      best_cpu = std::min(best_cpu, CpuSeconds() - cpu_start);
      best_wall =
          std::min(best_wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count());
    }
  } catch (const varnholt::StoreError& e) {
    std::fprintf(stderr, "bench_jet_read: %s\n", e.what());
    return 1;
  }
  std::printf("rows=%ld wall_s=%.3f cpu_s=%.3f\n", rows, best_wall, best_cpu);
  return 0;
}
