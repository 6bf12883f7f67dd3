#include "stores/paradox/integrity_links.h"

#include <cstring>

namespace varnholt::paradox {

namespace {

// The section: u16 count of links to masters, their records, then u16 1 when dependants refer to
// this table (followed by the master part and one record per dependant) or 0.
constexpr size_t kCountSize = 2;
constexpr uint16_t kNoMasterPart = 0;
constexpr uint16_t kMasterPart = 1;
constexpr size_t kMaxLinkFields = 16;  // the field lists are arrays of 16 u16, unused ones zero

// A link to a master, kept in the dependant's .VAL.
constexpr size_t kToMasterSize = 0x1E0;
constexpr size_t kToMasterName = 0x000;       // the link's name
constexpr size_t kToMasterNameArea = 0x40;
constexpr size_t kToMasterTable = 0x0D4;      // master's file name; a stale path may follow its NUL
constexpr size_t kToMasterTableArea = 0xC6;
constexpr size_t kToMasterUpdateRule = 0x19A;
constexpr size_t kToMasterFieldCount = 0x19E;
constexpr size_t kToMasterFields = 0x1A0;     // this table's fields, 1-based
constexpr size_t kToMasterKeyFields = 0x1C0;  // the master's fields, 1-based

// The master part: the master's fields the dependants refer to, then how many dependants.
constexpr size_t kMasterPartSize = 0xBA;
constexpr size_t kMasterKeyCount = 0x96;  // from the start of the part (its u16 flag included)
constexpr size_t kMasterKeyFields = 0x98;
constexpr size_t kMasterDependantCount = 0xB8;

// A dependant, kept in the master's .VAL.
constexpr size_t kDependantSize = 0x12A;
constexpr size_t kDependantName = 0x000;
constexpr size_t kDependantNameArea = 0x40;
constexpr size_t kDependantTable = 0x040;
constexpr size_t kDependantTableArea = 0x52;
constexpr size_t kDependantUpdateRule = 0x106;
constexpr size_t kDependantFields = 0x10A;  // the dependant's fields, 1-based, as many as the key's

uint16_t U16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

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
    const int number = U16(bytes, at + 2 * i);
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
  link.update_rule = U16(bytes, at + kToMasterUpdateRule);
  if (!ValidRule(link.update_rule)) return std::nullopt;
  const size_t count = U16(bytes, at + kToMasterFieldCount);
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
  link.update_rule = U16(bytes, at + kDependantUpdateRule);
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
  if (!fits(kCountSize)) return std::nullopt;
  const size_t masters = U16(val, at);
  at += kCountSize;
  for (size_t i = 0; i < masters; ++i) {
    if (!fits(kToMasterSize)) return std::nullopt;
    std::optional<IntegrityLink> link = ToMaster(val, at, field_count);
    if (!link) return std::nullopt;
    links.masters.push_back(std::move(*link));
    at += kToMasterSize;
  }
  if (!fits(kCountSize)) return std::nullopt;
  const uint16_t master_part = U16(val, at);
  if (master_part == kNoMasterPart) {
    at += kCountSize;
  } else if (master_part == kMasterPart) {
    if (!fits(kMasterPartSize)) return std::nullopt;
    std::optional<std::vector<int>> key =
        Fields(val, at + kMasterKeyFields, U16(val, at + kMasterKeyCount), field_count);
    if (!key) return std::nullopt;
    const size_t dependants = U16(val, at + kMasterDependantCount);
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
