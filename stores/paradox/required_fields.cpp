#include "stores/paradox/required_fields.h"
#include "base/utf8_path.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/ascii.h"

namespace varnholt {

namespace {

namespace fs = std::filesystem;

// .VAL layout of Paradox 4.0 and later.
constexpr size_t kValChangeCount = 0x00;   // u8 the .DB's structure change counter
constexpr size_t kValVersion = 0x01;       // u8 file version; 1 marks the older layout
constexpr size_t kValEntryCount = 0x02;    // u8 field entries that follow
constexpr uint8_t kValOldLayout = 1;
constexpr size_t kValFirstEntry = 0x35;
// Entry: +0 field index, +1 picture length, +2 required, +3 lookup flags, then six u32 pointers
// (lookup, internal, minimum, maximum, default, picture); non-zero means present.
constexpr size_t kEntryField = 0;
constexpr size_t kEntryPictureLength = 1;
constexpr size_t kEntryRequired = 2;
constexpr size_t kEntryPointers = 4;
constexpr size_t kEntryLookupPointer = 0;
constexpr size_t kEntryMinPointer = 2;  // then maximum and default: values in the field's encoding
constexpr size_t kEntryFixedSize = 0x1C;
// The .DB header's structure change counter, which a current .VAL repeats.
constexpr size_t kDbChangeCount2 = 0x2E;
constexpr size_t kDbHeaderBytes = kDbChangeCount2 + 1;

std::vector<uint8_t> ReadFile(const fs::path& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes;
  char c;
  while (bytes.size() < limit && in.get(c)) bytes.push_back(static_cast<uint8_t>(c));
  return bytes;
}

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

fs::path FindValFile(const fs::path& db_path) {
  std::string wanted = AsciiLower(Utf8FromPath(db_path.stem()) + ".val");
  std::error_code error;
  fs::path folder = db_path.parent_path().empty() ? fs::path(".") : db_path.parent_path();
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (AsciiLower(Utf8FromPath(it->path().filename())) == wanted) return it->path();
  }
  return {};
}

}  // namespace

std::vector<bool> ReadRequiredFields(const std::string& db_path,
                                     const std::vector<paradox::Field>& fields) {
  std::vector<bool> required(fields.size(), false);
  fs::path val = FindValFile(PathFromUtf8(db_path));
  if (val.empty()) return required;
  std::vector<uint8_t> db = ReadFile(PathFromUtf8(db_path), kDbHeaderBytes);
  std::vector<uint8_t> bytes = ReadFile(val, 1 << 20);
  if (db.size() < kDbHeaderBytes || bytes.size() < kValFirstEntry) return required;
  if (bytes[kValVersion] == kValOldLayout) return required;
  if (bytes[kValChangeCount] != db[kDbChangeCount2]) return required;

  size_t at = kValFirstEntry;
  for (int entry = 0; entry < bytes[kValEntryCount]; ++entry) {
    if (at + kEntryFixedSize > bytes.size()) break;
    size_t field = bytes[at + kEntryField];
    if (field >= fields.size()) break;
    if (bytes[at + kEntryRequired] == 1) required[field] = true;
    size_t next = at + kEntryFixedSize;
    for (size_t value = 0; value < 3; ++value) {
      if (U32(bytes, at + kEntryPointers + 4 * (kEntryMinPointer + value)) != 0) {
        next += static_cast<size_t>(fields[field].size);
      }
    }
    next += bytes[at + kEntryPictureLength];
    // The size of a lookup's part is not known for certain: stop reading after it.
    if (U32(bytes, at + kEntryPointers + 4 * kEntryLookupPointer) != 0) break;
    at = next;
  }
  return required;
}

}  // namespace varnholt
