#include "stores/paradox/validity_checks.h"

#include <cstring>
#include <optional>

#include "base/ascii.h"
#include "base/byte_coding.h"
#include "base/os/folder.h"
#include "stores/paradox/engine_files.h"
#include "base/path_text.h"
#include "stores/paradox/engine_message.h"
#include "stores/paradox/field_conversion.h"
#include "stores/paradox/header.h"
#include "stores/paradox/integrity_links.h"
#include "stores/paradox/val_layout.h"

namespace varnholt::paradox {

namespace {

// Enough of the .DB header for its structure change counter, which a current .VAL repeats.
constexpr size_t kDbHeaderBytes = kHeaderChangeCount2 + 1;
constexpr size_t kMaxValBytes = 1 << 20;

constexpr char kMinimumFailed[] = "Minimum validity check failed.";
constexpr char kMaximumFailed[] = "Maximum validity check failed.";
constexpr char kFieldLabel[] = "Field";
constexpr char kValueLabel[] = "Value";
constexpr char kTableLabel[] = "Table";

// Up to `limit` bytes from the start of the file; none when it cannot be read.
std::vector<uint8_t> ReadFile(const std::string& path, size_t limit) {
  try {
    return OsFile::Open(path, false).ReadAt(0, limit);
  } catch (const EngineError&) {
    return {};
  }
}

// The table's .VAL, its name in any case; "" when it has none.
std::string FindValFile(const std::string& db_path) {
  const std::string wanted = AsciiLower(StemOfName(NameOfPath(db_path)) + ".val");
  const std::string folder = FolderHolding(db_path);
  for (const std::string& name : os::NamesInFolder(folder)) {
    if (AsciiLower(name) == wanted) return JoinPath(folder, name);
  }
  return "";
}

// The entries of a current .VAL; nullopt when any part of them is out of place. `end` is set to
// where they end.
std::optional<std::vector<FieldChecks>> ParseEntries(const std::vector<uint8_t>& bytes,
                                                     const FieldCodec& codec, size_t& end) {
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
    auto present = [&](size_t pointer) {
      return GetLe32(bytes.data() + at + kEntryPointers + kEntryPointerSize * pointer) != 0;
    };
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
  end = at;
  return checks;
}

}  // namespace

ValidityChecks ValidityChecks::Read(const std::string& db_path, const std::vector<Field>& fields,
                                    int code_page) {
  ValidityChecks checks;
  checks.path_ = db_path;
  checks.fields_.resize(fields.size());
  const std::string val = FindValFile(db_path);
  if (val.empty()) return checks;
  const std::vector<uint8_t> db = ReadFile(db_path, kDbHeaderBytes);
  const std::vector<uint8_t> bytes = ReadFile(val, kMaxValBytes);
  if (db.size() < kDbHeaderBytes || bytes.size() < kValFirstEntry) return checks;
  if (bytes[kValVersion] == kValOldLayout) return checks;
  if (bytes[kValChangeCount] != db[kHeaderChangeCount2]) return checks;
  try {
    auto page = std::make_shared<const CodePage>(code_page);
    auto codec = std::make_shared<const FieldCodec>(fields, *page, db_path);
    size_t entries_end = 0;
    std::optional<std::vector<FieldChecks>> parsed = ParseEntries(bytes, *codec, entries_end);
    if (!parsed) return checks;
    checks.fields_ = std::move(*parsed);
    const size_t links_at = GetLe32(bytes.data() + kValReferentialIntegrity);
    checks.referential_integrity_ = links_at != 0;
    // The links follow the field entries and end where the footer begins.
    if (links_at == entries_end) {
      checks.links_ = ParseIntegrityLinks(bytes, links_at, GetLe32(bytes.data() + kValFooter), static_cast<int>(fields.size()));
    }
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

const Record& ValidityChecks::NewRecord() const {
  if (!new_record_) {
    Record record;
    record.reserve(fields_.size());
    for (const FieldChecks& check : fields_) record.push_back(check.default_value.value_or(Value(Null{})));
    new_record_ = std::move(record);
  }
  return *new_record_;
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
