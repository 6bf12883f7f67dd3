// An independent check of a table family on disk, for tests and the reliability work: everything
// the table's own engine relies on that a writer could get wrong.
//
// .DB: header parses; the chain is sound (in range, no loop, back links, record counts); the header's
// record count, blocks in use, chain tail and file blocks agree with it; the free list holds exactly
// the other blocks; keys ascend strictly; autoinc is not below a stored value. A password-protected
// file is unscrambled with the checksum its header stores, as its engine does. A short last block
// (its unused tail not on disk, as genuine writers may leave it) reads as zeros.
// .PX (keyed tables): its tree walks from the root; every block holds 1 to capacity − 1 entries,
// each ending in the zero word; upper entries carry their child's first key and count sum; level 1
// is one entry per data block in chain order with the block's first key and record count; the
// header counts agree with the tree; the blocks are linked as a list; the validity stamp matches
// the .DB's change counter.
// Maintained secondary indexes (.Xnn/.XGn of type 5 or 8): each X file passes the checks above as
// a keyed table with its Y file as its index; its records are exactly those a rebuild from the
// rows gives (indexed fields, capitals when case-insensitive: a-z only, under "ascii" or DBWINUS0;
// an entry with a byte from 0x80 up under another sort order is reported as not checkable; the
// key, the row's block), in order
// (a field whose number has bit 15 set sorts descending); a unique index (0x55 bit 0x20) has no
// two rows with equal indexed fields; its 0x2F stamp follows the .DB's change counter.
#ifndef VARNHOLT_TESTS_SUPPORT_TABLE_CHECKER_H_
#define VARNHOLT_TESTS_SUPPORT_TABLE_CHECKER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace varnholt::paradox {

struct CheckResult {
  std::vector<std::string> problems;  // empty: the family is consistent
  uint32_t records = 0;               // records found in the chain
  int index_levels = 0;
  bool ok() const { return problems.empty(); }
  std::string Summary() const;        // the problems, one per line
};

// Never throws for bad files: what is wrong goes into problems.
CheckResult CheckTable(const std::string& db_path);

}  // namespace varnholt::paradox

#endif  // VARNHOLT_TESTS_SUPPORT_TABLE_CHECKER_H_
