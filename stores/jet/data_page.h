// Rows on a data page: the table of row offsets after the page header, each row ending where the
// previous one starts (row 0 at the page end), flags in the offsets' top bits.
#ifndef VARNHOLT_STORES_JET_DATA_PAGE_H_
#define VARNHOLT_STORES_JET_DATA_PAGE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "stores/jet/jet_format.h"

namespace varnholt {

struct JetRowSlot {
  size_t start = 0;  // from the page start
  size_t size = 0;
  uint16_t flags = 0;  // kRowDeleted, kRowOverflow
};

// The number of rows the page lists. Throws JetFormatError when their offsets do not fit the page.
unsigned JetRowCount(std::span<const uint8_t> page, const jet_format::Format& format);

// Where row `row` lies; nullopt when its offsets point outside the page or overlap the next row.
// REQUIRES: row < JetRowCount(page, format).
std::optional<JetRowSlot> FindJetRow(std::span<const uint8_t> page, const jet_format::Format& format, unsigned row);

// True for a data page of the table whose definition is at `definition_page`.
bool IsDataPageOf(std::span<const uint8_t> page, uint32_t definition_page);

}  // namespace varnholt

#endif  // VARNHOLT_STORES_JET_DATA_PAGE_H_
