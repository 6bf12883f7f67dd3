// New maintained secondary indexes for an empty table, made as the table's own engine makes them:
// an .Xhh/.Yhh pair for a single field with default options, else an .XGn/.YGn pair with a name.
// The table's engine (and ours) then keeps them current with every post.
#ifndef VARNHOLT_STORES_PARADOX_INDEX_CREATOR_H_
#define VARNHOLT_STORES_PARADOX_INDEX_CREATOR_H_

#include <string>
#include <vector>

namespace varnholt::paradox {

struct IndexDefinition {
  std::vector<std::string> fields;  // table field names, in key order
  bool case_insensitive = false;
  std::string name;                 // required for a composite or case-insensitive index
};

// Writes the X and Y files beside db_path. Throws EngineError naming the table when it is not a
// keyed Paradox 7 table without rows, a field is unknown, a memo or blob, or already indexed that
// way, or the name is missing where one is needed.
void CreateSecondaryIndex(const std::string& db_path, const IndexDefinition& definition);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_INDEX_CREATOR_H_
