// TargetSession: the open tables of the target directory, shared by every table and statement
// component of one process, as the accounting product's own engine shares them. One open
// paradox::Table per file, so a row posted by a component is seen by a statement at once and a row
// changed by a statement is seen by the components.
//
// Table file names resolve inside their directory without regard to case ("DL01MAST.db" finds
// DL01MAST.DB); a name without an extension gets ".db". A missing table throws EngineError
// "Table does not exist." with the file's path on the next line.
#ifndef VARNHOLT_STORES_TARGET_TARGET_SESSION_H_
#define VARNHOLT_STORES_TARGET_TARGET_SESSION_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/command_scope.h"
#include "stores/paradox/table.h"
#include "stores/paradox/validity_checks.h"
#include "stores/target/password_prompt.h"
#include "stores/target/target_folder_guard.h"

namespace varnholt {


// An engine message with each of its lines once, in their order, as the operator is shown it.
std::string EachLineOnce(const std::string& text);

// One open table and a version that changes whenever its rows may have changed, so components
// know when a cached view of it is stale.
class SharedTable {
 public:
  // The table a lookup check or a link of referential integrity names (a file name in the table's
  // folder), opened by the session; nullptr when there is no such file.
  using LookupTables = std::function<SharedTable*(const std::string& file_name)>;

  // `checks` are the table's validity checks, `lookups` where their lookup tables come from;
  // `command` is the session's command count (0 outside commands), which Refresh reads; `held`
  // the session's record of the files it holds locked; `opened` the paths of its open tables.
  SharedTable(std::unique_ptr<paradox::Table> table, std::string file_name,
              paradox::ValidityChecks checks, LookupTables lookups, const uint64_t* command,
              HeldFiles* held, const HeldFiles* opened);

  paradox::Table& table() { return *table_; }
  // The file's name as found on disk.
  const std::string& file_name() const { return file_name_; }
  uint64_t version() const { return version_; }
  // Changes whenever the engine read the files again, after which row ids may name other rows.
  uint64_t reloads() const { return reloads_; }
  // One flag per field: the table requires a value there.
  const std::vector<bool>& required() const { return required_; }
  // A new record as the table's engine starts one: the default values of its validity checks.
  const paradox::Record& NewRecord() const { return checks_.NewRecord(); }
  // Throws StoreError "Field '<f>' must have a value" for the first required field left null.
  void CheckRequired(const paradox::Record& record) const;
  // Every validity check of the table on a record about to be posted: required fields (as
  // CheckRequired), minimum and maximum (paradox::ValidityChecks::CheckRange), and lookups: a
  // value missing from the first field of its lookup table throws EngineError "Field value out of
  // lookup table range." with the field, the value and the table; and referential integrity
  // (referential_checks.h): for an update (`old_record` the record as it stands) a changed master key
  // that dependants hold, and for any post a foreign key with no master record. A table whose .VAL
  // declares links that could not be read is refused whole (EngineError naming it), as a row the
  // product would refuse must not be written. Writes nothing.
  void CheckValid(const paradox::Record& record, const paradox::Record* old_record = nullptr);

  // Reads the files again if another program changed them. Inside a command it looks once: the
  // files are locked against our other processes, and a program that ignores the lock is caught
  // when the command saves.
  void Refresh();
  // Writes the rows posted since the last save to disk (see paradox::Table::Save), after making sure
  // the accounting product is not using the folder or the table (target_folder_guard.h).
  void Save();
  // Save in two steps (paradox::Table::PrepareSave): the checks and the new files, then putting
  // them in place or dropping them.
  void PrepareSave();
  void CommitSave();
  void AbandonSave();
  // For a command's tables put in place as one (paradox::Table::JoinSaveSet).
  void JoinSaveSet(std::vector<paradox::PreparedSave*>* set);
  void SaveSetDone();
  // True between PrepareSave (or PrepareReplacement) and the end of the save.
  bool prepared() const { return prepared_; }
  // A save that puts copies of other files in place (paradox::Table::PrepareReplacement), after
  // the same look for the accounting product as PrepareSave.
  void PrepareReplacement(const std::vector<std::pair<std::string, std::string>>& copies);
  // Drops the posts since the last save (paradox::Table::DropUnsaved).
  void DropUnsaved();
  paradox::RowId Insert(const paradox::Record& record);

  // Inside a command, locks the table's files for the accounting product to see, once; outside a
  // command does nothing. Throws EngineError when the product holds one of them.
  void HoldForCommand();
  // Lets go of the files unless posts wait for a save (which then still needs them held).
  void ReleaseUnlessUnsaved();

  // Rewrites several records as one step (see paradox::CheckedChanges and WriteChanges): every
  // check before the first write, and what was written put back when the engine refuses a write
  // half-way. Unchanged records are skipped.
  void UpdateAll(const std::vector<std::pair<paradox::RowId, paradox::Record>>& updates);

 private:
  std::unique_ptr<paradox::Table> table_;
  std::string file_name_;
  paradox::ValidityChecks checks_;
  std::vector<bool> required_;
  LookupTables lookups_;
  const uint64_t* command_;
  HeldFiles* held_files_;
  const HeldFiles* opened_tables_;
  uint64_t looked_in_command_ = 0;
  FamilyHold hold_;
  uint64_t version_ = 1;
  bool prepared_ = false;  // PrepareSave wrote new files that wait for CommitSave
  uint64_t reloads_ = 0;
};

// Asked by TargetSession::SaveAll once every changed table's new files are written, before any is
// put in place: a way back for the command (stores/backup).
class SaveKeeper {
 public:
  virtual ~SaveKeeper() = default;
  // The folder to keep the old files of `changing` in (paradox::CommitSaveSet); empty: none.
  // Throws to stop the save, which then changes nothing.
  virtual std::string FolderFor(const std::vector<SharedTable*>& changing) = 0;
  // After the save: `saved` when its tables were put in place.
  virtual void SaveEnded(const std::string& folder, bool saved) = 0;
};

class TargetSession {
 public:
  TargetSession();
  ~TargetSession();
  TargetSession(const TargetSession&) = delete;
  TargetSession& operator=(const TargetSession&) = delete;

  // The shared open table for file_name in directory (an empty directory is the working
  // directory), opening it for writing on first use. Throws EngineError when the file is missing
  // or the engine cannot open it. A password-protected table opens with a password accepted
  // earlier in this session that fits it; failing that the prompt is asked once. No prompt, Cancel
  // or a password that does not fit throws EngineError and opens nothing; an accepted one is
  // remembered for the life of the session.
  SharedTable& OpenTable(const std::string& directory, const std::string& file_name);

  // Makes sure the password of every password-protected table among `file_names` in `directory`
  // is known, asking the prompt for those not accepted yet, as OpenTable would; opens nothing.
  // Names that resolve to no file are passed over (their open reports them).
  void UnlockTables(const std::string& directory, const std::vector<std::string>& file_names);

  // Whether `file_name` resolves to a file in `directory`, as OpenTable would find it.
  bool HasTable(const std::string& directory, const std::string& file_name);

  // Who is asked for passwords; nullptr (the default): nobody, a protected table is refused.
  // `prompt` must outlive the session or be replaced first.
  void set_password_prompt(PasswordPrompt* prompt) { password_prompt_ = prompt; }

  // Bracket one command (nested brackets count as the one outside them); see SharedTable::Refresh
  // and HoldForCommand. Tables with no posts waiting are let go at the end of the outermost one.
  void BeginCommand();
  void EndCommand();

  // After a command that failed: every table's posts since its last save dropped and its files
  // read again, so the tables stay as they were before the command, on disk and here. Throws
  // EngineError naming each table that could not be read again.
  void DropUnsaved();

  // Saves every open table, all together or none: every table's new files are written first, and
  // only when all are whole are they put in place. A table that cannot be written leaves every
  // table as it was, each keeping its rows for the next save; the error names each table that
  // could not be written (a line two tables share, once). Outside a command, every table is let go
  // afterwards.
  void SaveAll();

  // Who keeps a way back before each SaveAll; nullptr (the default): nobody. Must outlive its use.
  void set_save_keeper(SaveKeeper* keeper) { save_keeper_ = keeper; }
  SaveKeeper* save_keeper() const { return save_keeper_; }

  // The open tables whose posts wait for a save.
  std::vector<SharedTable*> UnsavedTables();

  // The password the table at `path` opens with (empty: not protected), asking the prompt as
  // OpenTable does. Throws as OpenTable does for a refused password.
  std::string PasswordFor(const std::string& path);

 private:
  // Runs `step` on every table, each whatever the others threw; returns their errors, a line each.
  std::string OnEveryTable(void (SharedTable::*step)());
  std::string ResolvePath(const std::string& directory, const std::string& file_name);
  HeldFiles held_files_;     // the files our tables hold locked; outlives tables_
  HeldFiles opened_tables_;  // the paths of tables_, whose files our engine keeps open
  std::map<std::string, std::unique_ptr<SharedTable>> tables_;  // by canonical path
  // (directory, file name as asked) -> path found, so repeated statements skip the listing.
  // Inside a command a path is looked at on disk once: a statement per row must not cost a look.
  struct Resolved {
    std::string path;
    uint64_t seen_in_command = 0;
  };
  std::map<std::pair<std::string, std::string>, Resolved> resolved_;
  PasswordPrompt* password_prompt_ = nullptr;
  SaveKeeper* save_keeper_ = nullptr;
  std::vector<std::string> accepted_passwords_;
  int command_depth_ = 0;
  uint64_t commands_begun_ = 0;
  uint64_t command_ = 0;  // commands_begun_ while inside a command, else 0
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_TARGET_TARGET_SESSION_H_
