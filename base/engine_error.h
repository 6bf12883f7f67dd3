// EngineError: a failure of the table engine or of the file calls under it; its text names the
// file and what is wrong. Defined here so that the OS layer can throw it without knowing the engine.
#ifndef VARNHOLT_BASE_ENGINE_ERROR_H_
#define VARNHOLT_BASE_ENGINE_ERROR_H_

#include "base/store_error.h"

namespace varnholt {

class EngineError : public StoreError {
 public:
  using StoreError::StoreError;
};

// A file call that failed (a read, a write, a flush, a rename, a full disk), as base/os reports
// it: a command that meets one changes no table (passes/commands.h).
class FileError : public EngineError {
 public:
  using EngineError::EngineError;
};

// A file call the OS refused for want of rights (a read-only file, folder or disk), so the engine
// can tell the operator which table is read only.
class AccessDeniedError : public FileError {
 public:
  using FileError::FileError;
};

}  // namespace varnholt

#endif  // VARNHOLT_BASE_ENGINE_ERROR_H_
