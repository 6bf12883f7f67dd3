#include "stores/paradox/integrity_links.h"

#include <cstring>

#include "base/byte_coding.h"
#include "stores/paradox/val_layout.h"

namespace varnholt::paradox {

namespace {

// A table's file name, which must stay in the folder of the table that names it.
bool PlainFileName(const std::string& name) {
  return !name.empty() && name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..";
}

// The NUL-ended text at the start of an area; nullopt when it is not ended inside the area.
std::optional<std::string> Name(const std::vector<uint8_t>& bytes, size_t at, size_t area) {
  const auto* text = reinterpret_cast<const char*>(bytes.data() + at);
  const size_t length = strnlen(text, area);
  if (length == area) return std::nullopt;
  return std::string(text, length);
}

// `count` 1-based field numbers at `at`, each within 1..`limit` (0: any non-zero), the rest of the
// 16 slots zero; returned 0-based.
std::optional<std::vector<int>> Fields(const std::vector<uint8_t>& bytes, size_t at, size_t count,
                                       int limit) {
  if (count == 0 || count > kMaxLinkFields) return std::nullopt;
  std::vector<int> fields;
  for (size_t i = 0; i < kMaxLinkFields; ++i) {
    const int number = GetLe16(bytes.data() + at + 2 * i);
    if (i >= count) {
      if (number != 0) return std::nullopt;
      continue;
    }
    if (number < 1 || (limit > 0 && number > limit)) return std::nullopt;
    fields.push_back(number - 1);
  }
  return fields;
}

bool ValidRule(uint16_t rule) { return rule == 0 || rule == 1; }

std::optional<IntegrityLink> ToMaster(const std::vector<uint8_t>& bytes, size_t at, int field_count) {
  IntegrityLink link;
  std::optional<std::string> name = Name(bytes, at + kToMasterName, kToMasterNameArea);
  std::optional<std::string> table = Name(bytes, at + kToMasterTable, kToMasterTableArea);
  if (!name || !table || !PlainFileName(*table)) return std::nullopt;
  link.name = *name;
  link.other_table = *table;
  link.update_rule = GetLe16(bytes.data() + at + kToMasterUpdateRule);
  if (!ValidRule(link.update_rule)) return std::nullopt;
  const size_t count = GetLe16(bytes.data() + at + kToMasterFieldCount);
  std::optional<std::vector<int>> fields = Fields(bytes, at + kToMasterFields, count, field_count);
  std::optional<std::vector<int>> keys = Fields(bytes, at + kToMasterKeyFields, count, 0);
  if (!fields || !keys) return std::nullopt;
  link.fields = std::move(*fields);
  link.other_fields = std::move(*keys);
  return link;
}

std::optional<IntegrityLink> ToDependant(const std::vector<uint8_t>& bytes, size_t at,
                                         const std::vector<int>& key) {
  IntegrityLink link;
  std::optional<std::string> name = Name(bytes, at + kDependantName, kDependantNameArea);
  std::optional<std::string> table = Name(bytes, at + kDependantTable, kDependantTableArea);
  if (!name || !table || !PlainFileName(*table)) return std::nullopt;
  link.name = *name;
  link.other_table = *table;
  link.update_rule = GetLe16(bytes.data() + at + kDependantUpdateRule);
  if (!ValidRule(link.update_rule)) return std::nullopt;
  std::optional<std::vector<int>> fields = Fields(bytes, at + kDependantFields, key.size(), 0);
  if (!fields) return std::nullopt;
  link.fields = key;
  link.other_fields = std::move(*fields);
  return link;
}

}  // namespace

std::optional<IntegrityLinks> ParseIntegrityLinks(const std::vector<uint8_t>& val, size_t begin,
                                                  size_t end, int field_count) {
  if (end > val.size() || begin > end) return std::nullopt;
  IntegrityLinks links;
  size_t at = begin;
  auto fits = [&](size_t size) { return size <= end - at; };
  if (!fits(kLinkCountSize)) return std::nullopt;
  const size_t masters = GetLe16(val.data() + at);
  at += kLinkCountSize;
  for (size_t i = 0; i < masters; ++i) {
    if (!fits(kToMasterSize)) return std::nullopt;
    std::optional<IntegrityLink> link = ToMaster(val, at, field_count);
    if (!link) return std::nullopt;
    links.masters.push_back(std::move(*link));
    at += kToMasterSize;
  }
  if (!fits(kLinkCountSize)) return std::nullopt;
  const uint16_t master_part = GetLe16(val.data() + at);
  if (master_part == kNoMasterPart) {
    at += kLinkCountSize;
  } else if (master_part == kMasterPart) {
    if (!fits(kMasterPartSize)) return std::nullopt;
    std::optional<std::vector<int>> key =
        Fields(val, at + kMasterKeyFields, GetLe16(val.data() + at + kMasterKeyCount), field_count);
    if (!key) return std::nullopt;
    const size_t dependants = GetLe16(val.data() + at + kMasterDependantCount);
    at += kMasterPartSize;
    for (size_t i = 0; i < dependants; ++i) {
      if (!fits(kDependantSize)) return std::nullopt;
      std::optional<IntegrityLink> link = ToDependant(val, at, *key);
      if (!link) return std::nullopt;
      links.dependants.push_back(std::move(*link));
      at += kDependantSize;
    }
  } else {
    return std::nullopt;
  }
  if (at != end || (links.masters.empty() && links.dependants.empty())) return std::nullopt;
  return links;
}

}  // namespace varnholt::paradox
