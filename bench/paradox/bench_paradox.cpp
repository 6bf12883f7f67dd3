// bench_paradox [records] [dir]: builds a CH01MAST.DB-shaped table of `records` learners
// (default 200000) by single inserts in random key order, then measures open and load, a full
// read of every record, equality look-ups and further inserts. Prints one line per figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "stores/paradox/table.h"
#include "tests/support/table_checker.h"
#include "tools/sample_school/varnholt_schema.h"

namespace {

using varnholt::paradox::Date;
using varnholt::paradox::Record;
using varnholt::paradox::Table;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

Record Learner(int n) {
  char code[16];
  std::snprintf(code, sizeof code, "%07d", n);
  Record r(20, varnholt::paradox::Null{});
  r[0] = std::string(code);
  r[1] = std::string("AB");
  r[2] = "Surname" + std::to_string(n % 5000);
  r[3] = "Name" + std::to_string(n % 700);
  r[6] = "3" + std::to_string(n / 2);
  r[7] = Date{730000 + n % 6000};
  r[10] = "GR" + std::to_string(n % 12);
  r[11] = std::string(n % 2 ? "M" : "F");
  r[18] = 0.0;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 200000;
  const std::string dir = argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "bench_paradox").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  varnholt::paradox::CreateVarnholtTables(dir);
  const std::string path = dir + "/CH01MAST.DB";

  std::vector<int> keys(records);
  for (int i = 0; i < records; ++i) keys[i] = i * 2;  // odd numbers stay free for later inserts
  std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
  auto start = Clock::now();
  {
    auto t = Table::Open(path, true);
    for (int k : keys) t->Insert(Learner(k));
  }
  double s = Seconds(start);
  std::printf("insert %d records, random key order: %.2f s (%.1f us/insert)\n", records, s,
              1e6 * s / records);

  start = Clock::now();
  auto t = Table::Open(path, false);
  std::printf("open read-only and load %zu records: %.3f s\n", t->RecordCount(), Seconds(start));
  t.reset();
  start = Clock::now();
  t = Table::Open(path, true);
  std::printf("open writable (lock, check chain, key order and .PX): %.3f s\n", Seconds(start));

  start = Clock::now();
  size_t fields = 0;
  for (auto row : t->Rows()) fields += t->Get(row).size();
  std::printf("decode every record (%zu values): %.3f s\n", fields, Seconds(start));

  start = Clock::now();
  size_t hits = t->FindEqual(2, std::string("Surname18")).size();
  std::printf("first FindEqual on CH01_SURNAME (builds its index): %.3f s, %zu hits\n",
              Seconds(start), hits);
  t->FindEqual(0, std::string("0001234"));  // builds the key field's index
  start = Clock::now();
  for (int i = 0; i < 10000; ++i) hits += t->FindEqual(0, std::string("0001234")).size();
  std::printf("FindEqual on the key, next 10000 calls: %.2f us each\n", 1e6 * Seconds(start) / 10000);

  constexpr int kMore = 2000;
  start = Clock::now();
  for (int i = 0; i < kMore; ++i) t->Insert(Learner(2 * (i * 97 % records) + 1));
  s = Seconds(start);
  std::printf("%d more inserts into the full table: %.1f us/insert\n", kMore, 1e6 * s / kMore);
  start = Clock::now();
  for (int i = 0; i < kMore; ++i) {
    const auto row = t->FindEqual(0, Learner(2 * i)[0]);
    Record r = t->Get(row.at(0));
    r[19] = std::string("updated");
    t->Update(row[0], r);
  }
  std::printf("%d updates in place: %.1f us/update\n", kMore, 1e6 * Seconds(start) / kMore);
  t.reset();
  start = Clock::now();
  const auto check = varnholt::paradox::CheckTable(path);
  std::printf("checker: %s, %u records, %d index levels (%.3f s)\n", check.ok() ? "consistent" : "PROBLEMS",
              check.records, check.index_levels, Seconds(start));
  if (!check.ok()) std::printf("%s", check.Summary().c_str());
  return check.ok() ? 0 : 1;
}
