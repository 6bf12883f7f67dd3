#include "tests/kill/kill_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "passes/commands.h"
#include "stores/paradox/table.h"
#include "stores/paradox/table_crypt.h"
#include "stores/target/password_prompt.h"
#include "stores/components/store_components.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/table_checker.h"
#include "tools/sample_school/realistic_target.h"
#include "tools/sample_school/varnholt_schema.h"
#include "tools/sample_school/source_database.h"
#include "tools/sample_school/target_tables.h"
#include "base/utf8_path.h"

namespace varnholt::reliability {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// One table's rows by key (its first field), and how many rows it held (duplicates show as
// count > rows.size()).
struct TableRows {
  std::map<std::string, paradox::Record> rows;
  size_t count = 0;
};
using Snapshot = std::map<std::string, TableRows>;  // by file name

std::vector<std::string> TableNames() {
  std::vector<std::string> names;
  for (const auto& [name, schema] : paradox::VarnholtSchemas()) names.push_back(name);
  return names;
}

// The password a table of the sample target opens with: none unless it is protected.
std::string PasswordOf(const std::string& path) {
  return paradox::StoredPasswordChecksum(path) != 0 ? sample::kTablePassword : "";
}

// Answers every password dialog of the in-process runs as press does with --table-password.
class SamplePassword : public PasswordPrompt {
 public:
  std::optional<std::string> AskTablePassword(const std::string&) override { return sample::kTablePassword; }
};

std::string ValueText(const paradox::Value& value) {
  if (std::holds_alternative<paradox::Null>(value)) return "(null)";
  if (auto* text = std::get_if<std::string>(&value)) return "\"" + *text + "\"";
  if (auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
  if (auto* real = std::get_if<double>(&value)) {
    std::ostringstream out;
    out << *real;
    return out.str();
  }
  if (auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  if (auto* date = std::get_if<paradox::Date>(&value)) return "day " + std::to_string(date->days);
  return "(other)";
}

std::string KeyOf(const paradox::Record& record) {
  if (record.empty()) return "";
  if (auto* text = std::get_if<std::string>(&record[0])) return *text;
  return ValueText(record[0]);
}

Snapshot ReadSnapshot(const fs::path& dir) {
  Snapshot snapshot;
  for (const std::string& name : TableNames()) {
    const std::string path = (dir / name).string();
    auto table = paradox::Table::Open(path, false, PasswordOf(path));
    TableRows& rows = snapshot[name];
    for (paradox::RowId id : table->Rows()) {
      const paradox::Record& record = table->Get(id);
      rows.rows[KeyOf(record)] = record;
      ++rows.count;
    }
  }
  return snapshot;
}

// The fields in which two records differ, for the report.
std::string Difference(const paradox::Record& got, const paradox::Record& want) {
  std::string out;
  for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    const std::string a = i < got.size() ? ValueText(got[i]) : "(missing)";
    const std::string b = i < want.size() ? ValueText(want[i]) : "(missing)";
    if (a != b) out += " field " + std::to_string(i) + ": " + a + " != " + b + ";";
  }
  return out;
}

// Problems when `got` is not `want` row for row.
void CompareSnapshots(const Snapshot& got, const Snapshot& want, const std::string& what,
                      std::vector<std::string>* problems) {
  for (const auto& [name, want_rows] : want) {
    auto it = got.find(name);
    if (it == got.end()) {
      problems->push_back(what + ": " + name + " missing");
      continue;
    }
    const TableRows& got_rows = it->second;
    if (got_rows.count != got_rows.rows.size()) {
      problems->push_back(what + ": " + name + " holds " + std::to_string(got_rows.count - got_rows.rows.size()) +
                          " duplicate keys");
    }
    int reported = 0;
    for (const auto& [key, record] : want_rows.rows) {
      auto row = got_rows.rows.find(key);
      if (row == got_rows.rows.end()) {
        if (reported++ < 3) problems->push_back(what + ": " + name + " lacks " + key);
      } else if (row->second != record) {
        if (reported++ < 3) problems->push_back(what + ": " + name + " " + key + " differs:" + Difference(row->second, record));
      }
    }
    for (const auto& [key, record] : got_rows.rows) {
      if (!want_rows.rows.count(key) && reported++ < 3) problems->push_back(what + ": " + name + " has extra " + key);
    }
    if (reported > 3) problems->push_back(what + ": " + name + " " + std::to_string(reported - 3) + " more differences");
  }
}

// Every row is one of the allowed states of its key, and no row held before is gone.
void CheckRowsComplete(const Snapshot& got, const Snapshot& before, const std::vector<const Snapshot*>& allowed,
                       std::vector<std::string>* problems) {
  for (const auto& table : got) {
    const std::string& name = table.first;
    const auto& rows = table.second;
    if (rows.count != rows.rows.size()) {
      problems->push_back(name + " holds duplicate keys after the kill");
    }
    int reported = 0;
    for (const auto& entry : rows.rows) {
      const auto& key = entry.first;  // plain names, not bindings: the lambda below captures them
      const auto& record = entry.second;
      bool ok = false;
      const paradox::Record* nearest = nullptr;
      auto consider = [&](const Snapshot& s) {
        auto t = s.find(name);
        if (t == s.end()) return;
        auto r = t->second.rows.find(key);
        if (r == t->second.rows.end()) return;
        if (r->second == record) ok = true;
        nearest = &r->second;
      };
      consider(before);
      for (const Snapshot* s : allowed) consider(*s);
      if (!ok && reported++ < 3) {
        problems->push_back(name + " " + key + " is partial or unknown after the kill:" +
                            (nearest ? Difference(record, *nearest) : std::string(" no run writes this key")));
      }
    }
    for (const auto& [key, record] : before.at(name).rows) {
      if (!rows.rows.count(key) && reported++ < 3) problems->push_back(name + " lost " + key + " in the kill");
    }
  }
}

// Checks a table family with the checker, our engine read only and pxlib; with `realistic`, that
// the protected table still is, by the sample's password. Returns false when something is wrong,
// with what into problems.
bool CheckTables(const fs::path& dir, const std::string& when, bool realistic, std::vector<std::string>* problems) {
  const size_t had = problems->size();
  for (const std::string& name : TableNames()) {
    const std::string path = (dir / name).string();
    const paradox::CheckResult check = paradox::CheckTable(path);
    if (!check.ok()) problems->push_back(name + " fails the checker " + when + ": " + check.Summary());
    size_t engine_count = 0;
    try {
      if (realistic && name == sample::kProtectedTable &&
          paradox::StoredPasswordChecksum(path) != paradox::PasswordChecksum(sample::kTablePassword)) {
        problems->push_back(name + " lost its password " + when);
      }
      auto table = paradox::Table::Open(path, false, PasswordOf(path));
      engine_count = table->Rows().size();
    } catch (const std::exception& error) {
      problems->push_back(name + " does not open read only in our engine " + when + ": " + error.what());
      continue;
    }
    if (!paradox::testing::HavePxlib()) continue;
    std::string error;
    const size_t px = paradox::testing::ReadWithPxlib(path, &error).size();
    if (!error.empty()) {
      problems->push_back(name + " " + when + ": " + error);
    } else if (px != engine_count) {
      problems->push_back(name + " " + when + ": pxlib reads " + std::to_string(px) + " records, our engine " +
                          std::to_string(engine_count));
    }
  }
  return problems->size() == had;
}

// Whether a save was stopped among its renames: its mark is still beside a table's .DB.
bool StoppedBetweenRenames(const fs::path& dir) {
  for (const std::string& name : TableNames()) {
    if (fs::exists(dir / (name + ".renaming"))) return true;
  }
  return false;
}

// A save's two renames run in a child of the killed process that outlives it by microseconds, and
// that child holds the tables' locks until it ends: the files as the kill left them are the files
// once no process of the killed run holds a lock on them.
void WaitUntilTablesAreReleased(const fs::path& dir, std::vector<std::string>* problems) {
  for (const std::string& name : TableNames()) {
    const int fd = ::open((dir / name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;  // the checks below name it
    bool taken = false;
    for (int i = 0; i < 5000 && !taken; ++i) {
      taken = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
      if (!taken) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::close(fd);
    if (!taken) problems->push_back(name + " is still locked 5 s after the kill");
  }
}

// What any writer does first: opening for writing removes what an unfinished save left beside the tables.
void OpenForWriting(const fs::path& dir, std::vector<std::string>* problems) {
  for (const std::string& name : TableNames()) {
    try {
      const std::string path = (dir / name).string();
      paradox::Table::Open(path, true, PasswordOf(path));
    } catch (const std::exception& error) {
      problems->push_back(name + " does not open for writing after the kill: " + error.what());
    }
  }
}

// A window without widgets for the in-process reference runs.
class Host : public FormHost {
 public:
  Host(std::string source, std::string target) : source_(std::move(source)), target_(std::move(target)) {}
  Commands* commands = nullptr;
  std::vector<std::string> messages;
  std::string SourceLocation() const override { return source_; }
  std::string TargetLocation() const override { return target_; }
  void Press(HiddenButton button) override { commands->RunHidden(button); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }

 private:
  std::string source_;
  std::string target_;
};

// Runs handlers in-process on `target` (the regional settings are those press uses).
void RunInProcess(const fs::path& source, const fs::path& target, const fs::path& scratch,
                  const std::vector<void (Commands::*)()>& handlers) {
  fs::create_directories(scratch / "c");
  fs::create_directories(scratch / "cwd");
  Host host(source.string(), target.string());
  CommandEnvironment environment;
  environment.report_file = Utf8FromPath(scratch / "c" / "Varnholt import.csv");
  environment.skip_marker = Utf8FromPath(scratch / "cwd" / "Varnholt import.csv");
  Commands commands(host, environment);
  host.commands = &commands;
  SamplePassword password;
  commands.components().session().set_password_prompt(&password);
  for (auto handler : handlers) (commands.*handler)();
}

void CopyTarget(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
}

// Starts press on `target` in `run_dir` (its working folder, drive C: under it); stdout goes to
// run_dir/out.txt.
pid_t StartPress(const std::string& press, const fs::path& source, const fs::path& target, const fs::path& run_dir,
                 const std::string& caption) {
  fs::create_directories(run_dir / "c");
  const std::string out = (run_dir / "out.txt").string();
  const std::string source_text = source.string();
  const std::string target_text = target.string();
  const std::string drive_c = (run_dir / "c").string();
  const std::string cwd = run_dir.string();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    if (fd < 0 || null < 0) _exit(126);
    dup2(fd, 1);
    dup2(null, 2);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(press.c_str(), press.c_str(), "--source", source_text.c_str(), "--target", target_text.c_str(),
          "--drive-c", drive_c.c_str(), "--table-password", sample::kTablePassword, caption.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Size and modification time of every file in dir, to see when a run starts writing.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> DirStamps(const fs::path& dir) {
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> stamps;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    stamps[entry.path().filename().string()] = {entry.file_size(ec), entry.last_write_time(ec)};
  }
  return stamps;
}

struct PressTiming {
  double seconds = 0;        // start to end
  double first_write = -1;   // start to the first change of a target file; -1: none seen
};

// Runs press to its end; problems unless it exits 0 having shown only "Finished". With watch, polls
// the target folder to time the first write.
PressTiming RunPress(const std::string& press, const fs::path& source, const fs::path& target, const fs::path& run_dir,
                     const std::string& caption, std::vector<std::string>* problems, bool watch = false) {
  const auto initial = watch ? DirStamps(target) : decltype(DirStamps(target)){};
  PressTiming timing;
  const auto start = Clock::now();
  const pid_t pid = StartPress(press, source, target, run_dir, caption);
  int status = 0;
  if (watch) {
    while (waitpid(pid, &status, WNOHANG) != pid) {
      if (timing.first_write < 0 && DirStamps(target) != initial) {
        timing.first_write = std::chrono::duration<double>(Clock::now() - start).count();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  } else {
    waitpid(pid, &status, 0);
  }
  timing.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const std::string out = ReadText(run_dir / "out.txt");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    problems->push_back("press \"" + caption + "\" ended abnormally (status " + std::to_string(status) + ")");
  } else if (out != "box: Finished\n") {
    problems->push_back("press \"" + caption + "\" said: " + out);
  }
  return timing;
}

struct Command {
  std::string caption;
  Snapshot reference;                  // an uninterrupted run
  std::vector<const Snapshot*> allowed;  // the states a row may be in after a kill
  PressTiming timing;                  // an uninterrupted press run
};

}  // namespace

KillSummary RunKillTest(const KillOptions& options) {
  const fs::path& work = options.work;
  const fs::path source = work / sample::kSourceFileName;
  const fs::path before_dir = work / "before";
  fs::create_directories(work);
  const sample::School school = sample::GenerateSchool(options.school);
  sample::WriteSourceDatabase(source.string(), school);
  fs::remove_all(before_dir);
  fs::create_directories(before_dir);
  sample::WriteTargetTables(before_dir.string(), school, options.target_holds, options.target_indexes);
  if (options.realistic_target) sample::MakeTargetRealistic(before_dir.string());
  const Snapshot before = ReadSnapshot(before_dir);

  // References in-process: the end of each command, and the end of Update's insert pass.
  auto reference = [&](const std::string& name, const std::vector<void (Commands::*)()>& handlers) {
    const fs::path dir = work / ("ref-" + name);
    CopyTarget(before_dir, dir);
    RunInProcess(source, dir, work / ("ref-" + name + "-run"), handlers);
    return ReadSnapshot(dir);
  };
  const Snapshot import_ref = reference("import", {&Commands::Button2Click});
  const Snapshot update_inserted = reference("update-inserts", {&Commands::Button1Click});
  const Snapshot update_ref = reference("update", {&Commands::Button3Click});

  KillSummary summary;
  std::vector<Command> commands(2);
  commands[0].caption = kImportCaption;
  commands[0].reference = import_ref;
  commands[1].caption = kUpdateCaption;
  commands[1].reference = update_ref;
  commands[1].allowed.push_back(&update_inserted);
  commands[0].allowed.push_back(&commands[0].reference);
  commands[1].allowed.push_back(&commands[1].reference);

  // press uninterrupted must agree with the in-process references; its time sets the kill window.
  for (Command& command : commands) {
    std::vector<std::string> problems;
    const fs::path dir = work / "press-ref";
    // Twice, keeping the quicker: the first run also warms the caches.
    for (int run = 0; run < 2; ++run) {
      CopyTarget(before_dir, dir);
      const PressTiming timing =
          RunPress(options.press, source, dir, work / "press-ref-run", command.caption, &problems, true);
      if (run == 0 || timing.seconds < command.timing.seconds) command.timing = timing;
    }
    if (problems.empty()) CompareSnapshots(ReadSnapshot(dir), command.reference, "uninterrupted press", &problems);
    if (!problems.empty()) {
      for (auto& p : problems) summary.problems.push_back(command.caption + ": " + p);
      ++summary.failures;
    }
  }

  std::mt19937_64 rng(options.seed);
  for (const Command& command : commands) {
    const double writes_from = std::max(0.0, command.timing.first_write);
    std::uniform_real_distribution<double> anywhere(0.0, command.timing.seconds);
    std::uniform_real_distribution<double> while_writing(writes_from, command.timing.seconds);
    if (options.log != nullptr) {
      *options.log << command.caption << ": uninterrupted run " << static_cast<int>(command.timing.seconds * 1000)
                   << " ms, first write at " << static_cast<int>(command.timing.first_write * 1000) << " ms\n";
    }
    // A run that ends before its signal is no kill: another moment is drawn.
    const int max_attempts = 2 * options.kills_per_command + 10;
    for (int i = 0, attempts = 0; i < options.kills_per_command && attempts < max_attempts; ++attempts) {
      const fs::path target = work / "killed";
      const fs::path run_dir = work / "run";
      fs::remove_all(run_dir);
      CopyTarget(before_dir, target);
      const double at = attempts % 2 == 0 ? anywhere(rng) : while_writing(rng);
      const pid_t pid = StartPress(options.press, source, target, run_dir, command.caption);
      std::this_thread::sleep_for(std::chrono::duration<double>(at));
      int status = 0;
      const bool ended = waitpid(pid, &status, WNOHANG) == pid;
      if (ended) {
        ++summary.finished_before_kill;
        continue;
      }
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ++summary.kills;
      ++i;

      std::vector<std::string> problems;
      try {
        for (const auto& entry : fs::directory_iterator(target)) {
          if (entry.path().extension() == ".saving") {
            ++summary.kills_while_saving;
            break;
          }
        }
        WaitUntilTablesAreReleased(target, &problems);
        if (options.renames_may_stop && StoppedBetweenRenames(target)) {
          ++summary.kills_between_renames;
        } else {
          CheckTables(target, "as the kill left it", options.realistic_target, &problems);
        }
        OpenForWriting(target, &problems);
        for (const auto& entry : fs::directory_iterator(target)) {
          if (entry.path().extension() == ".saving") {
            problems.push_back(entry.path().filename().string() + " is still there after opening for writing");
          }
        }
        CheckTables(target, "after the kill", options.realistic_target, &problems);
        CheckRowsComplete(ReadSnapshot(target), before, command.allowed, &problems);
      } catch (const std::exception& error) {
        problems.push_back(std::string("after the kill: ") + error.what());
      }
      try {
        RunPress(options.press, source, target, work / "rerun", command.caption, &problems);
        CompareSnapshots(ReadSnapshot(target), command.reference, "after the rerun", &problems);
        for (const std::string& name : TableNames()) {
          const paradox::CheckResult check = paradox::CheckTable((target / name).string());
          if (!check.ok()) problems.push_back(name + " fails the checker after the rerun: " + check.Summary());
        }
      } catch (const std::exception& error) {
        problems.push_back(std::string("after the rerun: ") + error.what());
      }

      if (options.log != nullptr) {
        *options.log << command.caption << " kill " << i << " at " << static_cast<int>(at * 1000)
                     << " ms: " << (problems.empty() ? "ok" : "FAILED") << "\n";
        for (const auto& p : problems) *options.log << "  " << p << "\n";
        options.log->flush();
      }
      if (!problems.empty()) {
        ++summary.failures;
        for (auto& p : problems) {
          summary.problems.push_back(command.caption + " kill " + std::to_string(i) + " at " +
                                     std::to_string(static_cast<int>(at * 1000)) + " ms: " + p);
        }
      }
    }
  }
  return summary;
}

}  // namespace varnholt::reliability
