#include "passes/commands.h"

#include "base/os/file_calls.h"
#include "base/os/folder.h"
#include "base/path_text.h"

#include "passes/exact_codes.h"
#include "passes/import_passes.h"
#include "passes/update_passes.h"
#include "report/parent_link_report.h"
#include "stores/backup/backups.h"
#include "stores/backup/change_list.h"
#include "stores/backup/command_backup.h"
#include "stores/components/binding.h"
#include "stores/components/store_components.h"

namespace varnholt {
namespace {

constexpr char kFinished[] = "Finished";
// The names the backups of the two commands that change the target tables go by.
constexpr char kImportCommand[] = "Import";
constexpr char kUpdateCommand[] = "Update";
// A preview's report, in its own folder.
constexpr char kPreviewReportName[] = "Varnholt import.csv";

CommandEnvironment PreviewingIn(CommandEnvironment environment) {
  if (!environment.dry_run_folder.empty()) {
    environment.report_file = JoinPath(environment.dry_run_folder, kPreviewReportName);
    environment.report_fallback.clear();
  }
  return environment;
}

// Switches the import stores' target filters off, as both import commands end.
void UnfilterParentAndLearnerMasters(StoreComponents& c) {
  c.Dl01mast().SetFiltered(false);
  c.Ch01mast().SetFiltered(false);
}

}  // namespace

Commands::Commands(FormHost& host, CommandEnvironment environment)
    : host_(host),
      environment_(PreviewingIn(std::move(environment))),
      components_(std::make_unique<StoreComponents>(environment_.regional)),
      backup_(std::make_unique<CommandBackup>(environment_.clock)) {
  components_->session().set_save_keeper(backup_.get());
  // Made now, so the preview's report finds its folder; one that cannot be made fails the first
  // write into it, naming it.
  if (!environment_.dry_run_folder.empty()) os::CreateFolders(environment_.dry_run_folder);
}

Commands::~Commands() = default;

void Commands::Button2Click() {
  ComponentsCommandScope scope(*components_);
  backup_->set_command(kImportCommand);
  EndingOnFileError([&] {
    UnlockTargetTables(*components_, host_);
    host_.Press(HiddenButton::kButton7);
    BindImportStores(*components_, host_);
    ImportLearners(*components_, LearnerImportForm::kFirst);
    ImportParents(*components_);
    host_.Press(HiddenButton::kButton6);
    UnfilterParentAndLearnerMasters(*components_);
    Save();
    host_.ShowMessage(kFinished);
  });
}

void Commands::Button1Click() {
  ComponentsCommandScope scope(*components_);
  EndingOnFileError([&] {
    BindImportStores(*components_, host_);
    ImportLearners(*components_, LearnerImportForm::kSecond);
    ImportParents(*components_);
    UnfilterParentAndLearnerMasters(*components_);
  });
}

void Commands::Button3Click() {
  ComponentsCommandScope scope(*components_);
  backup_->set_command(kUpdateCommand);
  EndingOnFileError([&] {
    UnlockTargetTables(*components_, host_);
    RequireExactCodes(*components_, host_);
    host_.Press(HiddenButton::kButton1);
    host_.Press(HiddenButton::kButton6);
    host_.Press(HiddenButton::kButton8);
    BindImportStores(*components_, host_);
    UpdateParents(*components_);
    UpdateLearners(*components_);
    Save();
    host_.ShowMessage(kFinished);
  });
}

void Commands::Button6Click() {
  ComponentsCommandScope scope(*components_);
  EndingOnFileError([&] {
    ReportSettings settings;
    settings.report_file = environment_.report_file;
    settings.report_fallback = environment_.report_fallback;
    settings.skip_marker = environment_.skip_marker;
    settings.now = environment_.clock();
    settings.date_separator = environment_.regional.date_separator;
    const std::string written = WriteParentLinkReport(*components_, settings);
    if (!written.empty() && written != environment_.report_file) report_went_elsewhere_ = true;
  });
}

void Commands::Button7Click() {
  ComponentsCommandScope scope(*components_);
  EndingOnFileError([&] {
    // The import's first step: its codes are checked before its first write, here.
    RequireExactCodes(*components_, host_);
    BindClassTables(*components_, host_);
    // Every class the source holds, not only those a learner pass's filter left showing.
    components_->Classes().SetFiltered(false);
    ImportClassCodes(*components_);
    components_->Classes().First();
    ImportClassMaster(*components_);
  });
}

void Commands::Button8Click() {
  ComponentsCommandScope scope(*components_);
  EndingOnFileError([&] {
    BindClassStatements(*components_, host_);
    components_->Classes().SetFiltered(false);
    UpdateClassCodes(*components_);
    components_->Classes().First();
    UpdateClassMaster(*components_);
  });
}

void Commands::RunHidden(HiddenButton button) {
  switch (button) {
    case HiddenButton::kButton1:
      return Button1Click();
    case HiddenButton::kButton6:
      return Button6Click();
    case HiddenButton::kButton7:
      return Button7Click();
    case HiddenButton::kButton8:
      return Button8Click();
  }
}

void Commands::DiscardPending() {
  components_->DiscardPending();
  Save();
}

void Commands::Save() {
  if (!environment_.dry_run_folder.empty()) return SaveAsPreview();
  try {
    components_->Save();
  } catch (...) {
    // No table was changed: the rows wait for no later save, which could put them in place
    // after the operator was told the command failed.
    DropUnsavedAfter();
    throw;
  }
}

void Commands::EndingOnFileError(const std::function<void()>& body) {
  const uint64_t failures = os::FileCallFailures();
  try {
    body();
  } catch (...) {
    if (os::FileCallFailures() == failures) throw;
    // A file call failed: what the command posted before it is dropped, not saved, so the
    // tables stay as before the command, never learners without the parents they name.
    DropUnsavedAfter();
    throw;
  }
}

void Commands::DropUnsavedAfter() {
  try {
    components_->DropUnsaved();
  } catch (const std::exception&) {
    // The error that ended the command is the one to show; a table that cannot be read again
    // says so at its next use.
  }
}

void Commands::SaveAsPreview() {
  const std::vector<SharedTable*> unsaved = components_->session().UnsavedTables();
  if (unsaved.empty()) return;
  try {
    const PostedChanges changes = ChangesOfPosts(unsaved);
    const std::string& folder = environment_.dry_run_folder;
    if (!os::CreateFolders(folder)) throw FileError(folder + ": cannot make the folder");
    WriteChangeList(JoinPath(folder, kChangeListName), changes);
    dry_run_summary_ = SummaryLines(changes.Counts());
  } catch (...) {
    DropUnsavedAfter();
    throw;
  }
  // What a preview posted never reaches the target tables.
  DropUnsavedAfter();
}

StoreComponents& Commands::components() { return *components_; }
const CommandEnvironment& Commands::environment() const { return environment_; }

std::optional<std::string> Commands::TakeReportPlaceNotice() {
  if (!report_went_elsewhere_ || report_place_told_) return std::nullopt;
  report_place_told_ = true;
  return environment_.report_fallback;
}

}  // namespace varnholt
