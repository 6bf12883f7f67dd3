// Placing keys of a table whose sort order (language driver) collates. Such a table keeps its keys,
// and its indexes' keys, in the driver's collation, whose weights are not published; this engine
// places by byte order. Where the two orders cannot differ it places as usual; where they could,
// the key is refused rather than placed by a guess. "ascii" and DBWINUS0 do not collate: their
// files keep keys in byte order, letters outside ASCII included.
//
// A key is plain when its text holds only digits, blanks and ASCII punctuation: placed by byte order
// as always. A key with letters is compared with every key the file holds (letters of one case
// against letters of that case agree); it is refused when for one of them the first differing byte
// may order differently in the collation:
// the same letter in another case, letters of different case whose alphabetical order is not
// their byte order ('a' against 'B'), a letter against punctuation that sorts between the
// capitals and the small letters or after them, or a byte outside ASCII. Numbers, dates and the
// like are stored so that bytes sort as values do: they never leave it open.
#ifndef VARNHOLT_STORES_PARADOX_SORT_ORDER_GUARD_H_
#define VARNHOLT_STORES_PARADOX_SORT_ORDER_GUARD_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnholt::paradox {

// True for the sort orders whose keys are in plain byte order: "" (before Paradox 4), "ascii" and
// DBWINUS0. Their case-insensitive indexes upper-case a-z only and keep every other byte.
bool KeepsByteOrder(const std::string& sort_order);

class SortOrderGuard {
 public:
  struct Span {  // an alpha field within the key
    size_t offset = 0;
    size_t size = 0;
  };

  // `sort_order`: the table's driver name (KeepsByteOrder: nothing to guard).
  SortOrderGuard(std::string sort_order, std::vector<Span> alpha);

  bool needed() const { return needed_; }
  // True when `key` needs no comparing: byte order places it as every collation would.
  bool Plain(std::string_view key) const;
  // True when byte order and any case- and accent-insensitive collation put `a` and `b` in the
  // same order.
  bool Agree(std::string_view a, std::string_view b) const;
  // Calls `each` with visit for every key held; returns one key that `key` might be ordered
  // against differently, or "" when none (always "" for a plain key or a table in byte order).
  std::string Conflict(std::string_view key,
                       const std::function<void(const std::function<bool(std::string_view)>&)>&
                           each) const;
  const std::string& sort_order() const { return sort_order_; }
  // The text of the key's alpha fields in the table's code page, separated by blanks.
  std::string AlphaText(std::string_view key) const;
  // The error for `key`, which might sort differently against `other`, in the file `path`;
  // `to_utf8` turns code-page bytes into text.
  std::string Refusal(const std::string& path, std::string_view key, std::string_view other,
                      const std::function<std::string(const std::string&)>& to_utf8) const;

 private:
  bool InAlpha(size_t at) const;

  std::string sort_order_;
  std::vector<Span> alpha_;
  bool needed_ = false;
};

}  // namespace varnholt::paradox

#endif  // VARNHOLT_STORES_PARADOX_SORT_ORDER_GUARD_H_
