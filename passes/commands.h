// Commands: the handlers behind the window's buttons, without the window. Owns every store
// component for the life of the window; nothing is closed between commands.
//
// No handler catches: a failure throws StoreError (or std::exception) out of the handler, through
// any pressing handler, to the top of the operator's click, which then calls DiscardPending().
//
// The target tables take a command's rows in memory; they reach the disk, all at once, before the
// command says "Finished". A command ended by a bad row saves the rows before it (DiscardPending);
// one ended by a failed file call, or whose save fails, changes no table and keeps no row for a
// later save.
#ifndef VARNHOLT_PASSES_COMMANDS_H_
#define VARNHOLT_PASSES_COMMANDS_H_

#include <ctime>
#include <string>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "passes/form_host.h"
#include "base/regional_settings.h"

namespace varnholt {

class StoreComponents;
class CommandBackup;

// What the commands take from the platform.
struct CommandEnvironment {
  RegionalSettings regional;
  // Paths are UTF-8. Where the fixed report path "c:\Varnholt import.csv" lands on this machine.
  std::string report_file;
  // Where the report goes when this user may not write report_file; empty: nowhere else.
  std::string report_fallback;
  // The skip marker, a relative name looked up in the current working directory.
  std::string skip_marker = "Varnholt import.csv";
  // The current local date and time.
  std::function<std::time_t()> clock = [] { return std::time(nullptr); };
  // A preview when not empty (UTF-8): no command writes in the target folder; each save writes the
  // list of changes it would have made into this folder instead, and the report goes there too.
  std::string dry_run_folder;
};

class Commands {
 public:
  Commands(FormHost& host, CommandEnvironment environment);
  ~Commands();
  Commands(const Commands&) = delete;
  Commands& operator=(const Commands&) = delete;

  void Button2Click();  // "IMPORT INTO VARNHOLT"
  void Button3Click();  // "Update": checks every code (exact_codes.h) before its first press
  void Button1Click();  // "Update2" (hidden)
  void Button6Click();  // "Button6" (hidden): parent-link report
  void Button7Click();  // "Update 3" (hidden): class import, after the check of every code (exact_codes.h)
  void Button8Click();  // "Update 4" (hidden): class update

  // Runs the handler behind a hidden button, for hosts without widgets of their own.
  void RunHidden(HiddenButton button);

  // Drops every pending new row, so a failed command never leaves a partial row to be posted later,
  // then saves the rows the command posted before it failed. Throws when they cannot be saved.
  void DiscardPending();
  // Writes every row posted so far to the target tables on disk, all tables or none; when it
  // cannot, the rows are dropped and the tables read again, as they still are on disk.
  void Save();

  StoreComponents& components();
  const CommandEnvironment& environment() const;

  // The fallback, the first time a report went there in this run; nullopt otherwise, so the window
  // tells the operator once where the report is.
  std::optional<std::string> TakeReportPlaceNotice();

  // In a preview: a line a table of the last save's changes (change_list.h SummaryLines); empty when
  // no save of the preview had anything to change.
  const std::vector<std::string>& dry_run_summary() const { return dry_run_summary_; }

 private:
  // Runs a command's body; when a file call fails inside it, every row it posted is dropped
  // before the error goes on.
  void EndingOnFileError(const std::function<void()>& body);
  void DropUnsavedAfter();
  // A preview's save: the list of what would change, then every post dropped.
  void SaveAsPreview();

  FormHost& host_;
  CommandEnvironment environment_;
  std::unique_ptr<StoreComponents> components_;
  std::unique_ptr<CommandBackup> backup_;
  std::vector<std::string> dry_run_summary_;
  bool report_went_elsewhere_ = false;
  bool report_place_told_ = false;
};

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_COMMANDS_H_
