// The equality indexes of an open table: one FieldIndex per field, built on the first lookup in
// that field and kept current as rows are added, changed and moved.
#ifndef VARNHOLT_STORES_PARADOX_FIELD_INDEXES_H_
#define VARNHOLT_STORES_PARADOX_FIELD_INDEXES_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "stores/paradox/block_chain.h"
#include "stores/paradox/field_codec.h"
#include "stores/paradox/field_index.h"
#include "stores/paradox/memo_file.h"

namespace varnholt::paradox {

class FieldIndexes {
 public:
  explicit FieldIndexes(const BlockChain* chain) : chain_(chain) {}

  // Drops every index; rows are read through `codec` (and `memo` for memo text) from now on.
  // Both outlive the indexes or the next Reset.
  void Reset(const FieldCodec* codec, const MemoFile* memo);

  // Rows whose `field` holds `value` exactly (text: byte for byte), in no particular order. A value
  // the field cannot hold equals none of its values.
  std::vector<RowId> Find(int field, const Value& value);
  // Keeps the built indexes current: call Add after a row is placed, Remove before its bytes change
  // or it moves.
  void Add(RowId row);
  void Remove(RowId row);

 private:
  // The bytes a field index keys `record` by (a memo's text is decoded into *scratch).
  std::string_view Key(int field, const uint8_t* record, std::string* scratch) const;
  uint64_t Hash(int field, RowId row, std::string* scratch) const;

  const BlockChain* chain_;
  const FieldCodec* codec_ = nullptr;
  const MemoFile* memo_ = nullptr;
  std::vector<std::unique_ptr<FieldIndex>> indexes_;
  std::vector<uint8_t> probe_;  // Find encodes the value looked for here
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_FIELD_INDEXES_H_
