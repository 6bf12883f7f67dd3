// What the engines ask of the file system besides reading and writing open files: what a path
// names, the names in a folder, a path's one spelling, a whole file read by name, removing and
// renaming by name. On Windows
// every call takes the path's long form ("\\?\"), so folders deeper than 260 characters work,
// which std::filesystem does not promise there.
#ifndef VARNHOLT_BASE_OS_FOLDER_H_
#define VARNHOLT_BASE_OS_FOLDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnholt::os {

enum class PathKind { kMissing, kFile, kFolder, kOther };

// What `path` names now; kOther also when it is there but cannot be looked at.
PathKind KindOf(const std::string& path);

// The names in `folder` ("" is the current folder), without "." and "..", in the order the OS
// gives them; nullopt when the folder cannot be listed.
std::optional<std::vector<std::string>> FolderNames(const std::string& folder);

// As FolderNames, but a folder that cannot be listed throws EngineError naming it with the OS's
// words: for callers to whom a file missed would be a file left out of a save.
std::vector<std::string> NamesInFolder(const std::string& folder);

// `path` absolute, with links resolved where the OS can, so that two spellings of one existing
// file give one text; `path` made absolute where it cannot.
std::string CanonicalPath(const std::string& path);

// Makes `folder` and the folders above it that are missing; false when it is still not a folder.
bool CreateFolders(const std::string& folder);

// Removes `folder` when it is empty; false when it is still there.
bool RemoveEmptyFolder(const std::string& folder);

// Removes `folder`, the files in it first (it holds no folders); false when it is still there (a
// file that cannot be removed, or on Windows one still open, whose name goes when it is closed).
bool RemoveFolderAndFiles(const std::string& folder);

// Removes the file if it is there; false when it is there and cannot be removed.
bool RemoveIfPresent(const std::string& path);

// The whole file, read while others may write it (so a copy may be torn: compare StampOf before and
// after); nullopt with `reason` set to the OS's words when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, std::string* reason);

// The lines of a small text file (ReadWholeFile), each without its end (LF or CR LF); nullopt with
// `reason` set when it cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path, std::string* reason);

// Renames `from` over `to`, replacing it; throws EngineError naming `to` on failure.
void RenamePath(const std::string& from, const std::string& to);

// Keeps the file at `path` under the name `copy` as well (replacing what is there), flushed to the
// disk, so that a rename over `path` can be undone: a second name for the same file where the file
// system has them, else a copy of its bytes. False when there is no file at `path`. Throws
// EngineError naming `path` on failure.
bool KeepCopyAs(const std::string& path, const std::string& copy);

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_FOLDER_H_
