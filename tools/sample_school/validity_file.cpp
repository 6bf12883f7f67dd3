#include "tools/sample_school/validity_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "base/byte_coding.h"
#include "base/code_page.h"
#include "base/utf8_path.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/header.h"
#include "stores/paradox/val_layout.h"

namespace varnholt::paradox {

namespace {

constexpr uint8_t kWrittenVersion = 0x0B;
constexpr uint32_t kPresent = 1;  // the pointers are run-time values: any non-zero will do

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) throw EngineError(path + ": cannot be read");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Append(std::vector<uint8_t>* out, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  out->insert(out->end(), p, p + size);
}

void AppendU16(std::vector<uint8_t>* out, uint16_t v) {
  uint8_t b[2];
  PutLe16(b, v);
  Append(out, b, 2);
}

}  // namespace

void WriteValidityFile(const std::string& db_path, const std::vector<FieldCheckDefinition>& checks) {
  const std::vector<uint8_t> db = ReadBytes(db_path);
  const Header h = ParseHeader(db, db_path);
  const CodePage page(h.code_page);
  const FieldCodec codec(h.fields, page, db_path);
  std::vector<uint8_t> record(static_cast<size_t>(codec.record_size()));
  auto stored = [&](int field, const Value& value) {
    std::fill(record.begin(), record.end(), 0);
    codec.Encode(field, value, record.data());
    return std::vector<uint8_t>(record.begin() + codec.offset(field),
                                record.begin() + codec.offset(field) + codec.size(field));
  };

  std::vector<uint8_t> val(kValFirstEntry, 0);
  val[kValChangeCount] = db[kHeaderChangeCount2];
  val[kValVersion] = kWrittenVersion;
  val[kValEntryCount] = static_cast<uint8_t>(checks.size());
  if (db.size() >= kHeaderExtendedEnd) std::memcpy(val.data() + kValUpdateTime, db.data() + kHeaderFileUpdateTime, 4);
  for (const FieldCheckDefinition& check : checks) {
    if (check.field < 0 || static_cast<size_t>(check.field) >= h.fields.size()) {
      throw EngineError(db_path + ": no field number " + std::to_string(check.field));
    }
    std::vector<uint8_t> entry(kEntryFixedSize, 0);
    const std::string picture = check.picture.empty() ? "" : check.picture + '\0';
    entry[kEntryField] = static_cast<uint8_t>(check.field);
    entry[kEntryPictureLength] = static_cast<uint8_t>(picture.size());
    entry[kEntryRequired] = check.required ? kRequired : 0;
    std::vector<uint8_t> tail;
    auto mark = [&](size_t pointer) {
      PutLe32(entry.data() + kEntryPointers + kEntryPointerSize * pointer, kPresent);
    };
    const std::pair<size_t, const std::optional<Value>*> values[] = {
        {kEntryMinPointer, &check.minimum}, {kEntryMaxPointer, &check.maximum},
        {kEntryDefaultPointer, &check.default_value}};
    for (const auto& [pointer, value] : values) {
      if (!value->has_value()) continue;
      mark(pointer);
      const std::vector<uint8_t> bytes = stored(check.field, **value);
      Append(&tail, bytes.data(), bytes.size());
    }
    if (!picture.empty()) {
      mark(kEntryPicturePointer);
      Append(&tail, picture.data(), picture.size());
    }
    if (!check.lookup_table.empty()) {
      mark(kEntryLookupPointer);
      std::vector<uint8_t> lookup(kLookupPartSize, 0);
      std::memcpy(lookup.data(), check.lookup_table.data(),
                  std::min<size_t>(check.lookup_table.size(), kLookupNameArea - 1));
      Append(&tail, lookup.data(), lookup.size());
    }
    Append(&val, entry.data(), entry.size());
    Append(&val, tail.data(), tail.size());
  }
  // The footer: the fields the checks were written for.
  PutLe32(val.data() + kValFooter, static_cast<uint32_t>(val.size()));
  AppendU16(&val, static_cast<uint16_t>(h.fields.size()));
  val.insert(val.end(), 4, 0);
  for (size_t i = 0; i < h.fields.size(); ++i) AppendU16(&val, static_cast<uint16_t>(i + 1));
  for (const Field& f : h.fields) {
    val.push_back(static_cast<uint8_t>(f.type));
    val.push_back(static_cast<uint8_t>(f.size));
  }
  std::vector<uint8_t> name(kFooterTableNameArea, 0);
  const std::string file_name = Utf8FromPath(PathFromUtf8(db_path).filename());
  std::memcpy(name.data(), file_name.data(), std::min(file_name.size(), name.size() - 1));
  Append(&val, name.data(), name.size());
  for (const Field& f : h.fields) Append(&val, f.name.c_str(), f.name.size() + 1);

  const std::string val_path = Utf8FromPath(PathFromUtf8(db_path).replace_extension(".VAL"));
  std::ofstream out(PathFromUtf8(val_path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(val.data()), static_cast<std::streamsize>(val.size()));
  if (!out) throw EngineError(val_path + ": cannot be written");
}

}  // namespace varnholt::paradox
