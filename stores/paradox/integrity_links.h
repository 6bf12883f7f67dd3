// The links of referential integrity a table's .VAL records: as a dependant, the master tables its
// fields refer to; as a master, the dependant tables that refer to its key. The engine keeps both
// sides, each in the .VAL of its own table, and checks them on every post.
#ifndef VARNHOLT_STORES_PARADOX_INTEGRITY_LINKS_H_
#define VARNHOLT_STORES_PARADOX_INTEGRITY_LINKS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnholt::paradox {

// One link seen from one side. `fields[i]` of this table corresponds to `other_fields[i]` of the
// other table (0-based field positions).
struct IntegrityLink {
  std::string name;         // the link's name, as the product shows it
  std::string other_table;  // file name of the other table, in this table's folder
  std::vector<int> fields;
  std::vector<int> other_fields;
  // 1 or 0 as the engine stored it; 1 is thought to mean changes of the master key cascade.
  // Not relied on: a changed master key with dependants is refused either way.
  uint16_t update_rule = 0;
};

struct IntegrityLinks {
  std::vector<IntegrityLink> masters;     // this table is the dependant
  std::vector<IntegrityLink> dependants;  // this table is the master
};

// Parses the section of `val` from `begin` to `end` (the footer). Every count, name and field
// number must be in place and the records must fill the section exactly; nullopt otherwise.
// `field_count` is this table's number of fields.
std::optional<IntegrityLinks> ParseIntegrityLinks(const std::vector<uint8_t>& val, size_t begin,
                                                  size_t end, int field_count);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_INTEGRITY_LINKS_H_
