// Splits a stored row into its columns' bytes. A row holds its column count, the fixed-width
// values at their offsets, the variable values, the variable values' offsets (counted from the
// row's end) and, last, the null mask with one bit per column number (1: not null; a Yes/No
// column's value). Rows written before columns were added hold fewer columns: the rest are null.
#ifndef VARNHOLT_STORES_JET_ROW_CRACKER_H_
#define VARNHOLT_STORES_JET_ROW_CRACKER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "stores/jet/table_definition.h"

namespace varnholt {

struct JetField {
  size_t start = 0;  // from the row start
  size_t size = 0;
  bool is_null = true;  // for Yes/No: the value is No
};

class JetRowCracker {
 public:
  JetRowCracker(const jet_format::Format& format, const JetTableDefinition& table);

  // Fills `fields` (one per column of the table, in its order) for `row`. Throws JetFormatError
  // when the row's counts or offsets do not fit inside it.
  void Crack(std::span<const uint8_t> row, std::vector<JetField>* fields);

 private:
  void ReadJet4Offsets(std::span<const uint8_t> row, size_t mask_size, unsigned var_count);
  void ReadJet3Offsets(std::span<const uint8_t> row, size_t mask_size, unsigned var_count);

  const jet_format::Format& format_;
  const JetTableDefinition& table_;
  std::vector<size_t> offsets_;  // the variable values' offsets, then the end of the data
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_ROW_CRACKER_H_
