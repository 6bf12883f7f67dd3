// The parsed statements a statement component keeps between runs. The update passes send one
// statement per source row, and those texts differ only in their string values: parsing each in
// full cost more than running it. So the tree of each shape is kept and run again with the string
// values of the new text.
//
// A text's shape is the text with the contents of its string values left out (their quotes kept).
// Two texts of one shape give the same tokens in the same order but for those values and the
// positions of what follows them, so they parse to the same tree with other string literals. A
// kept tree still holds the positions of the text it was parsed from: whoever meets an error
// running it parses the new text in full to report it (ParseUpdate's and the executor's messages
// stay those of the new text).
#ifndef VARNHOLT_STORES_SQL_STATEMENT_CACHE_H_
#define VARNHOLT_STORES_SQL_STATEMENT_CACHE_H_

#include <string>
#include <string_view>
#include <vector>

#include "stores/sql/sql_parser.h"

namespace varnholt::local_sql {

class StatementCache {
 public:
  // The kept statement of text's shape with text's string values in its literals; null when none
  // of that shape is kept (or the text quotes its table name differently). The pointer stays
  // valid until the next Keep.
  UpdateStatement* Find(std::string_view text);

  // Keeps statement, parsed from text, for later texts of its shape (moving it in) and returns the
  // kept one; returns null and leaves statement as it was when text cannot serve as a shape.
  // REQUIRES: statement = ParseUpdate(text), and the parameter pass leaves text as it is.
  UpdateStatement* Keep(std::string_view text, UpdateStatement& statement);

 private:
  // A string value inside the text: [begin, end) between its quotes.
  struct Span {
    size_t begin = 0;
    size_t end = 0;
    bool doubled = false;  // holds a doubled quote, to be undone
  };
  struct Entry {
    std::string shape;
    UpdateStatement statement;
  };

  // Fills shape_ and spans_ from text; false when a string value has no closing quote.
  bool ReadShape(std::string_view text);
  // The value of a span as the lexer reads it.
  static void ValueOf(std::string_view text, const Span& span, std::string* value);

  // A component sends a few shapes at most (the learner statement three); more are rare.
  static constexpr size_t kMaxEntries = 8;

  std::vector<Entry> entries_;
  size_t next_victim_ = 0;  // the entry Keep replaces once all are used
  // Reused from text to text, so reading a shape allocates nothing once warm.
  std::string shape_;
  std::vector<Span> spans_;
  std::string scratch_;
};

}  // namespace varnholt::local_sql

#endif  // VARNHOLT_STORES_SQL_STATEMENT_CACHE_H_
