#include "stores/paradox/validity_checks.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/ascii.h"
#include "base/utf8_path.h"
#include "stores/paradox/engine_message.h"
#include "stores/paradox/field_conversion.h"

namespace varnholt::paradox {

namespace {

namespace fs = std::filesystem;

// .VAL layout of Paradox 4.0 and later.
constexpr size_t kValChangeCount = 0x00;   // u8 the .DB's structure change counter
constexpr size_t kValVersion = 0x01;       // u8 file version; 1 marks the older layout
constexpr size_t kValEntryCount = 0x02;    // u8 field entries that follow
constexpr uint8_t kValOldLayout = 1;
constexpr size_t kValReferentialIntegrity = 0x0D;  // u32 offset of that section, 0 = none
constexpr size_t kValFirstEntry = 0x35;
// Entry: +0 field index, +1 picture length (its NUL included), +2 required, +3 lookup flags, then
// six u32 pointers (lookup, internal, minimum, maximum, default, picture); non-zero means present.
// After the fixed part: minimum, maximum and default in the field's stored form, the picture, then
// the lookup part.
constexpr size_t kEntryField = 0;
constexpr size_t kEntryPictureLength = 1;
constexpr size_t kEntryRequired = 2;
constexpr size_t kEntryPointers = 4;
constexpr size_t kEntryLookupPointer = 0;
constexpr size_t kEntryMinPointer = 2;
constexpr size_t kEntryMaxPointer = 3;
constexpr size_t kEntryDefaultPointer = 4;
constexpr size_t kEntryPicturePointer = 5;
constexpr size_t kEntryFixedSize = 0x1C;
constexpr uint8_t kRequired = 1;
// The lookup part: the lookup table's file name (NUL-ended, within its first bytes), then the
// path it was chosen from.
constexpr size_t kLookupPartSize = 0x50;
constexpr size_t kLookupNameArea = 0x1A;
// The .DB header's structure change counter, which a current .VAL repeats.
constexpr size_t kDbChangeCount2 = 0x2E;
constexpr size_t kDbHeaderBytes = kDbChangeCount2 + 1;
constexpr size_t kMaxValBytes = 1 << 20;

constexpr char kMinimumFailed[] = "Minimum validity check failed.";
constexpr char kMaximumFailed[] = "Maximum validity check failed.";
constexpr char kFieldLabel[] = "Field";
constexpr char kValueLabel[] = "Value";
constexpr char kTableLabel[] = "Table";

std::vector<uint8_t> ReadFile(const fs::path& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(limit);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<size_t>(in.gcount()));
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

// The entries of a current .VAL; nullopt when any part of them is out of place.
std::optional<std::vector<FieldChecks>> ParseEntries(const std::vector<uint8_t>& bytes,
                                                     const FieldCodec& codec) {
  const size_t field_count = codec.fields().size();
  std::vector<FieldChecks> checks(field_count);
  std::vector<bool> seen(field_count, false);
  std::vector<uint8_t> record(static_cast<size_t>(codec.record_size()), 0);
  size_t at = kValFirstEntry;
  for (int entry = 0; entry < bytes[kValEntryCount]; ++entry) {
    if (at + kEntryFixedSize > bytes.size()) return std::nullopt;
    const size_t field = bytes[at + kEntryField];
    if (field >= field_count || seen[field]) return std::nullopt;
    seen[field] = true;
    FieldChecks& check = checks[field];
    check.required = bytes[at + kEntryRequired] == kRequired;
    auto present = [&](size_t pointer) { return U32(bytes, at + kEntryPointers + 4 * pointer) != 0; };
    const size_t size = static_cast<size_t>(codec.size(static_cast<int>(field)));
    size_t next = at + kEntryFixedSize;
    auto take = [&]() -> std::optional<std::vector<uint8_t>> {
      if (next + size > bytes.size()) return std::nullopt;
      std::vector<uint8_t> value(bytes.begin() + next, bytes.begin() + next + size);
      next += size;
      return value;
    };
    for (size_t pointer : {kEntryMinPointer, kEntryMaxPointer, kEntryDefaultPointer}) {
      if (!present(pointer)) continue;
      std::optional<std::vector<uint8_t>> value = take();
      if (!value) return std::nullopt;
      if (pointer == kEntryMinPointer) check.minimum = std::move(value);
      if (pointer == kEntryMaxPointer) check.maximum = std::move(value);
      if (pointer == kEntryDefaultPointer) {
        std::memcpy(record.data() + codec.offset(static_cast<int>(field)), value->data(), size);
        try {
          check.default_value = codec.Decode(static_cast<int>(field), record.data(), nullptr);
        } catch (const EngineError&) {
          return std::nullopt;
        }
      }
    }
    const size_t picture_length = bytes[at + kEntryPictureLength];
    if ((picture_length != 0) != present(kEntryPicturePointer)) return std::nullopt;
    if (next + picture_length > bytes.size()) return std::nullopt;
    check.picture.assign(bytes.begin() + next, bytes.begin() + next + picture_length);
    if (!check.picture.empty() && check.picture.back() == '\0') check.picture.pop_back();
    next += picture_length;
    if (present(kEntryLookupPointer)) {
      if (next + kLookupPartSize > bytes.size()) return std::nullopt;
      const auto name = reinterpret_cast<const char*>(bytes.data() + next);
      check.lookup_table.assign(name, strnlen(name, kLookupNameArea));
      if (check.lookup_table.empty()) return std::nullopt;
      next += kLookupPartSize;
    }
    at = next;
  }
  return checks;
}

}  // namespace

ValidityChecks ValidityChecks::Read(const std::string& db_path, const std::vector<Field>& fields,
                                    int code_page) {
  ValidityChecks checks;
  checks.path_ = db_path;
  checks.fields_.resize(fields.size());
  const fs::path val = FindValFile(PathFromUtf8(db_path));
  if (val.empty()) return checks;
  const std::vector<uint8_t> db = ReadFile(PathFromUtf8(db_path), kDbHeaderBytes);
  const std::vector<uint8_t> bytes = ReadFile(val, kMaxValBytes);
  if (db.size() < kDbHeaderBytes || bytes.size() < kValFirstEntry) return checks;
  if (bytes[kValVersion] == kValOldLayout) return checks;
  if (bytes[kValChangeCount] != db[kDbChangeCount2]) return checks;
  try {
    auto page = std::make_shared<const CodePage>(code_page);
    auto codec = std::make_shared<const FieldCodec>(fields, *page, db_path);
    std::optional<std::vector<FieldChecks>> parsed = ParseEntries(bytes, *codec);
    if (!parsed) return checks;
    checks.fields_ = std::move(*parsed);
    checks.referential_integrity_ = U32(bytes, kValReferentialIntegrity) != 0;
    checks.code_page_ = std::move(page);
    checks.codec_ = std::move(codec);
  } catch (const std::exception&) {
    // A code page or field the engine cannot handle: the table is refused when opened anyway.
  }
  return checks;
}

std::vector<bool> ValidityChecks::required() const {
  std::vector<bool> flags;
  for (const FieldChecks& check : fields_) flags.push_back(check.required);
  return flags;
}

Record ValidityChecks::NewRecord() const {
  Record record;
  for (const FieldChecks& check : fields_) record.push_back(check.default_value.value_or(Value(Null{})));
  return record;
}

void ValidityChecks::CheckRange(const Record& record) const {
  if (!codec_) return;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < fields_.size() && i < record.size(); ++i) {
    const FieldChecks& check = fields_[i];
    if (!check.minimum && !check.maximum) continue;
    // A blank field is not checked (an empty text is stored blank).
    const auto* text = std::get_if<std::string>(&record[i]);
    if (std::holds_alternative<Null>(record[i]) || (text != nullptr && text->empty())) continue;
    const int f = static_cast<int>(i);
    bytes.assign(static_cast<size_t>(codec_->record_size()), 0);
    codec_->Encode(f, record[i], bytes.data());
    const uint8_t* stored = bytes.data() + codec_->offset(f);
    const size_t size = static_cast<size_t>(codec_->size(f));
    if (check.minimum && std::memcmp(stored, check.minimum->data(), size) < 0) {
      throw ValidityError(kMinimumFailed, codec_->fields()[i].name, record[i], path_);
    }
    if (check.maximum && std::memcmp(stored, check.maximum->data(), size) > 0) {
      throw ValidityError(kMaximumFailed, codec_->fields()[i].name, record[i], path_);
    }
  }
}

EngineError ValidityError(const char* description, const std::string& field, const Value& value,
                          const std::string& table_path) {
  return EngineError(EngineMessage(description, {{kFieldLabel, field},
                                                 {kValueLabel, TextFromValue(value, RegionalSettings{})},
                                                 {kTableLabel, table_path}}));
}

}  // namespace varnholt::paradox
