#include "tools/restore/restore_tool.h"

#include <exception>
#include <optional>

#include "base/os/folder.h"
#include "stores/backup/backups.h"
#include "stores/backup/restore.h"
#include "stores/target/password_prompt.h"
#include "stores/target/target_session.h"

namespace varnholt {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

constexpr char kUsage[] =
    "usage: varnholt-restore --target DIR --list\n"
    "       varnholt-restore --target DIR --restore ID|latest [--table-password TEXT]\n";
constexpr char kErrorStart[] = "varnholt-restore: ";

// Answers every password question with the one given on the command line.
class GivenPassword : public PasswordPrompt {
 public:
  explicit GivenPassword(std::optional<std::string> password) : password_(std::move(password)) {}
  std::optional<std::string> AskTablePassword(const std::string&) override { return password_; }

 private:
  std::optional<std::string> password_;
};

struct Options {
  std::string target;
  bool list = false;
  std::optional<std::string> restore;
  std::optional<std::string> table_password;
};

std::optional<Options> ParseOptions(const std::vector<std::string>& arguments) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    const bool has_value = i + 1 < arguments.size();
    if (arg == "--target" && has_value) {
      options.target = arguments[++i];
    } else if (arg == "--list") {
      options.list = true;
    } else if (arg == "--restore" && has_value) {
      options.restore = arguments[++i];
    } else if (arg == "--table-password" && has_value) {
      options.table_password = arguments[++i];
    } else {
      return std::nullopt;
    }
  }
  if (options.target.empty() || options.list == options.restore.has_value()) return std::nullopt;
  return options;
}

void List(const std::string& target, std::ostream& out) {
  for (const BackupInfo& b : ListBackups(target)) {
    out << b.id << '\t' << b.time << '\t' << b.command << '\t' << b.folder << '\t' << b.added << '\t' << b.rewritten
        << '\n';
  }
}

int Restore(const Options& options, std::ostream& out, std::ostream& err, std::time_t now) {
  const std::optional<BackupInfo> backup = FindBackup(options.target, *options.restore);
  if (!backup) {
    err << kErrorStart << options.target << ": no backup " << *options.restore << " (--list shows them)\n";
    return kFailed;
  }
  TargetSession session;
  GivenPassword prompt(options.table_password);
  session.set_password_prompt(&prompt);
  const RestoreOutcome outcome = RestoreBackup(session, options.target, *backup, now);
  if (outcome.changes.empty()) {
    out << "Nothing to restore: the tables are as backup " << backup->id << " holds them.\n";
    return kDone;
  }
  for (const std::string& line : SummaryLines(CountsOf(outcome.changes))) out << line << '\n';
  out << "Restored backup " << backup->id << " (" << backup->command << ", " << backup->time << ").";
  if (!outcome.backup.empty()) out << " The tables as they were before are kept in " << outcome.backup << ".";
  out << '\n';
  return kDone;
}

}  // namespace

int RunRestoreTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const std::function<std::time_t()>& now) {
  const std::optional<Options> options = ParseOptions(arguments);
  if (!options) {
    err << kUsage;
    return kUsageError;
  }
  try {
    if (os::KindOf(options->target) != os::PathKind::kFolder) {
      err << kErrorStart << options->target << ": not a folder\n";
      return kFailed;
    }
    if (options->list) {
      List(options->target, out);
      return kDone;
    }
    return Restore(*options, out, err, now());
  } catch (const std::exception& error) {
    err << kErrorStart << error.what() << '\n';
    return kFailed;
  }
}

}  // namespace varnholt
