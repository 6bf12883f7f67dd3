#include "stores/sql/statement_cache.h"

#include <cstring>
#include <utility>
#include <variant>

namespace varnholt::local_sql {

namespace {

bool TableIsQuoted(const UpdateStatement& statement) {
  return statement.table_token.kind == TokenKind::kString;
}

}  // namespace

// Outside a string value a quote always starts one (no other token holds a quote), and right
// after a closing quote there is never the same quote again (the lexer would read the pair as one
// doubled quote). So the shape alone tells where each value stands, and equal shapes mean equal
// tokens but for the values.
bool StatementCache::ReadShape(std::string_view text) {
  shape_.clear();
  spans_.clear();
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  // Searched with memchr, the statement's most frequent characters are skipped in bulk; each
  // kind's next place is kept until the scan passes it.
  auto next = [end](const char* from, char quote) {
    return static_cast<const char*>(std::memchr(from, quote, end - from));
  };
  const char* next_double = next(begin, '"');
  const char* next_single = next(begin, '\'');
  const char* copied = begin;  // text before this is in shape_
  for (;;) {
    const char* opening = next_double;
    if (opening == nullptr || (next_single != nullptr && next_single < opening)) {
      opening = next_single;
    }
    if (opening == nullptr) break;
    const char quote = *opening;
    shape_.append(copied, opening + 1);
    const char* closing = opening + 1;
    Span span;
    span.begin = closing - begin;
    for (;;) {
      closing = next(closing, quote);
      if (closing == nullptr) return false;
      if (closing + 1 < end && closing[1] == quote) {
        span.doubled = true;
        closing += 2;
        continue;
      }
      break;
    }
    span.end = closing - begin;
    spans_.push_back(span);
    copied = closing;
    if (next_double != nullptr && next_double <= closing) next_double = next(closing + 1, '"');
    if (next_single != nullptr && next_single <= closing) next_single = next(closing + 1, '\'');
  }
  shape_.append(copied, end);
  return true;
}

void StatementCache::ValueOf(std::string_view text, const Span& span, std::string* value) {
  std::string_view inside = text.substr(span.begin, span.end - span.begin);
  if (!span.doubled) {
    value->assign(inside);
    return;
  }
  const char quote = text[span.begin - 1];
  value->clear();
  for (size_t i = 0; i < inside.size(); ++i) {
    *value += inside[i];
    if (inside[i] == quote) ++i;  // the second of a doubled pair
  }
}

UpdateStatement* StatementCache::Find(std::string_view text) {
  if (entries_.empty() || !ReadShape(text)) return nullptr;
  for (Entry& entry : entries_) {
    if (entry.shape != shape_) continue;
    UpdateStatement& statement = entry.statement;
    size_t first = 0;
    if (TableIsQuoted(statement)) {
      // The table's name is part of what the statement means, not a value to swap.
      ValueOf(text, spans_[0], &scratch_);
      if (scratch_ != statement.table) return nullptr;
      first = 1;
    }
    if (spans_.size() - first != statement.string_values.size()) return nullptr;
    for (size_t i = 0; i < statement.string_values.size(); ++i) {
      auto* value = std::get_if<std::string>(&statement.string_values[i]->literal);
      if (value == nullptr) return nullptr;
      ValueOf(text, spans_[first + i], value);
    }
    return &statement;
  }
  return nullptr;
}

UpdateStatement* StatementCache::Keep(std::string_view text, UpdateStatement& statement) {
  if (!ReadShape(text)) return nullptr;
  if (spans_.size() != statement.string_values.size() + (TableIsQuoted(statement) ? 1 : 0)) {
    return nullptr;
  }
  for (Entry& entry : entries_) {
    if (entry.shape == shape_) {
      entry.statement = std::move(statement);
      return &entry.statement;
    }
  }
  if (entries_.size() < kMaxEntries) {
    entries_.reserve(kMaxEntries);
    entries_.push_back(Entry{shape_, std::move(statement)});
    return &entries_.back().statement;
  }
  Entry& victim = entries_[next_victim_];
  next_victim_ = (next_victim_ + 1) % kMaxEntries;
  victim.shape = shape_;
  victim.statement = std::move(statement);
  return &victim.statement;
}

}  // namespace varnholt::local_sql
