#include "stores/paradox/table_saver.h"
#include "base/utf8_path.h"

#include <filesystem>
#include <optional>

#include "stores/paradox/primary_index.h"
#include "stores/paradox/table.h"

namespace varnholt::paradox {

namespace {

// A file being saved is written under its own name with this suffix, then renamed over it.
constexpr char kSavingSuffix[] = ".saving";

}  // namespace

OsFile SaveFamily(const std::string& db_path, const std::string& px_path, PrimaryIndex* index,
                  uint8_t stamp, const std::function<void(OsFile*)>& write_db) {
  const std::string db_saving = db_path + kSavingSuffix;
  const std::string px_saving = px_path + kSavingSuffix;
  try {
    std::optional<OsFile> px_file;
    if (index != nullptr) {
      OsFile::RemoveFile(px_saving);
      px_file = OsFile::Create(px_saving, px_path);
      index->Flush(&*px_file, stamp);
      px_file->CopyOwnerAndModeOf(px_path);
      px_file->SyncData();
    }
    OsFile::RemoveFile(db_saving);
    OsFile db_file = OsFile::Create(db_saving, db_path);
    // Ours before it is in the folder: the table's lock passes from the old file to the new one
    // with no moment in between.
    if (!db_file.TryLock()) throw EngineError(db_saving + ": cannot lock the new file");
    write_db(&db_file);
    db_file.CopyOwnerAndModeOf(db_path);
    db_file.SyncData();
    if (px_file) {
      OsFile::RenameBoth(&*px_file, px_path, &db_file, db_path, db_path);
    } else {
      db_file.RenameTo(db_path);
    }
    OsFile::SyncFolderOf(db_path);
    return db_file;
  } catch (const EngineError&) {
    std::error_code ec;
    std::filesystem::remove(PathFromUtf8(px_saving), ec);
    std::filesystem::remove(PathFromUtf8(db_saving), ec);
    throw;
  }
}

void RemoveLeftOverSaves(const std::string& db_path, const std::string& px_path) {
  std::error_code ec;
  std::filesystem::remove(PathFromUtf8(db_path + kSavingSuffix), ec);
  std::filesystem::remove(PathFromUtf8(px_path + kSavingSuffix), ec);
}

}  // namespace varnholt::paradox
