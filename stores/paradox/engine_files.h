// The file layer's names as the engine uses them: every table file is opened, stamped, synced and
// renamed through base/os's OsFile, like every other file of the program.
#ifndef VARNHOLT_STORES_PARADOX_ENGINE_FILES_H_
#define VARNHOLT_STORES_PARADOX_ENGINE_FILES_H_

#include "base/os/os_file.h"

namespace varnholt::paradox {

using os::FileExists;
using os::FileStamp;
using os::OsFile;
using os::StampOf;

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_ENGINE_FILES_H_
