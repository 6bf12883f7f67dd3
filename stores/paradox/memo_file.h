// The .MB file: memo and blob values too long for their record's leader. Read only.
#ifndef VARNHOLT_STORES_PARADOX_MEMO_FILE_H_
#define VARNHOLT_STORES_PARADOX_MEMO_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stores/paradox/memo_layout.h"

namespace varnholt::paradox {

class MemoFile {
 public:
  // Reads the whole .MB; a missing file gives an empty MemoFile (reads then fail softly).
  static MemoFile Load(const std::string& path);

  // The blob that a record tail (offset|index, length) points at; nullopt when the file does not
  // hold it where the tail says.
  std::optional<std::vector<uint8_t>> Read(uint32_t offset_and_index, uint32_t length) const;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_MEMO_FILE_H_
