// make-sample-school: writes a sample school's source database for trying and testing the import.
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "base/os/program_arguments.h"
#include "base/utf8_path.h"
#include "tools/sample_school/date_edge_cases.h"
#include "tools/sample_school/realistic_target.h"
#include "tools/sample_school/school.h"
#include "tools/sample_school/source_database.h"
#include "tools/sample_school/target_tables.h"

namespace {

constexpr char kUsage[] =
    "usage: make-sample-school OUT_DIR [--learners N] [--parents N] [--classes N] [--seed N]\n"
    "                          [--target-holds FRACTION] [--realistic-target] [--date-edge-cases]\n"
    "\n"
    "Writes OUT_DIR/torbek.mdb, a Jet 4 database with the password \"Talvern\" holding the\n"
    "tables Learner_info, Parent_info, Parent_child and Classes. Defaults: 600 learners,\n"
    "450 parents, 40 classes, seed 1; the same options always give the same file.\n"
    "OUT_DIR is created when missing; an existing torbek.mdb is replaced.\n"
    "\n"
    "Also writes OUT_DIR/varnholt/, the target: CH01MAST.DB, DL01MAST.DB, DL00CODE.DB and\n"
    "CLASSMAS.DB (Paradox 7, keyed on their code, code page 437, sort order ascii), empty, or\n"
    "with --target-holds FRACTION (0 to 1) pre-filled with that share of the school's classes,\n"
    "parents and learners under their own codes but with other values (\"Old ...\", class\n"
    "\"OLD\", status \"Z\"), for trying the Update. An existing varnholt/ is replaced.\n"
    "With --realistic-target the tables also carry what the accounting product's own tables\n"
    "usually do: validity checks (.VAL: defaults, required fields, a minimum, a lookup of\n"
    "CLASSMAS.DB's codes in DL00CODE.DB), secondary indexes kept current (CH01MAST.XG0 by\n"
    "surname and name without regard to case, DL01MAST.X02 by description) and a password on\n"
    "CH01MAST.DB, printed on a last line. That first index holds names with a-z in capitals\n"
    "and every other letter as it is (M\xC3\xBCller as M\xC3\xBCLLER).\n"
    "With --date-edge-cases the first six learners get dates that a wrong reading of dates\n"
    "would change: 4 March 2019 (day and month both 12 or less), a time of day, 29 February,\n"
    "days before 1970 and before 30 December 1899, a time that rounds to the next midnight.\n"
    "\n";

bool ParseCount(const std::string& text, long long max, long long& out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v > max) return false;
  out = v;
  return true;
}

int Usage(const std::string& problem) {
  std::cerr << "make-sample-school: " << problem << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Paths come as UTF-8 on every platform.
  std::vector<std::string> arguments = varnholt::os::ProgramArguments(argc, argv);
  std::vector<char*> utf8_argv;
  for (std::string& a : arguments) utf8_argv.push_back(a.data());
  argc = static_cast<int>(utf8_argv.size());
  argv = utf8_argv.data();
  varnholt::sample::SchoolOptions options;
  std::string out_dir;
  double holds = 0;
  bool realistic = false;
  bool date_edge_cases = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage << "Data:\n" << varnholt::sample::kSchoolShape;
      return 0;
    }
    if (arg == "--realistic-target") {
      realistic = true;
      continue;
    }
    if (arg == "--date-edge-cases") {
      date_edge_cases = true;
      continue;
    }
    if (arg == "--target-holds") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      char* end = nullptr;
      holds = std::strtod(argv[++i], &end);
      if (*argv[i] == '\0' || *end != '\0' || !(holds >= 0 && holds <= 1)) {
        return Usage("bad value for --target-holds (0 to 1): " + std::string(argv[i]));
      }
      continue;
    }
    if (arg == "--learners" || arg == "--parents" || arg == "--classes" || arg == "--seed") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      long long value = 0;
      const long long max = arg == "--seed" ? 0x7FFFFFFFFFFFFFFFLL : 1000000;
      if (!ParseCount(argv[++i], max, value)) {
        return Usage("bad value for " + arg + ": " + argv[i]);
      }
      if (arg == "--learners") options.learners = static_cast<int>(value);
      if (arg == "--parents") options.parents = static_cast<int>(value);
      if (arg == "--classes") options.classes = static_cast<int>(value);
      if (arg == "--seed") options.seed = static_cast<uint64_t>(value);
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (out_dir.empty()) {
      out_dir = arg;
    } else {
      return Usage("more than one OUT_DIR");
    }
  }
  if (out_dir.empty()) return Usage("OUT_DIR missing");

  try {
    const std::filesystem::path out = varnholt::PathFromUtf8(out_dir);
    std::filesystem::create_directories(out);
    const std::string path = varnholt::Utf8FromPath(out / varnholt::sample::kSourceFileName);
    varnholt::sample::School school = varnholt::sample::GenerateSchool(options);
    if (date_edge_cases) varnholt::sample::UseDateEdgeCases(school);
    varnholt::sample::WriteSourceDatabase(path, school);
    std::cout << path << "\n";
    const std::filesystem::path target = out / varnholt::sample::kTargetFolderName;
    std::filesystem::remove_all(target);
    std::filesystem::create_directories(target);
    varnholt::sample::WriteTargetTables(varnholt::Utf8FromPath(target), school, holds, realistic);
    std::cout << varnholt::Utf8FromPath(target) << "\n";
    if (realistic) {
      varnholt::sample::MakeTargetRealistic(varnholt::Utf8FromPath(target));
      std::cout << "password of " << varnholt::sample::kProtectedTable << ": "
                << varnholt::sample::kTablePassword << "\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "make-sample-school: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
