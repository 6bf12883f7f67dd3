#include "stores/target/local_sql/statement_cache.h"

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
  const size_t size = text.size();
  size_t copied = 0;  // text before this is in shape_
  size_t pos = 0;
  while (pos < size) {
    const char quote = text[pos];
    if (quote != '\'' && quote != '"') {
      ++pos;
      continue;
    }
    shape_.append(text.data() + copied, pos + 1 - copied);
    Span span;
    span.begin = pos + 1;
    for (pos = span.begin;; ++pos) {
      if (pos >= size) return false;
      if (text[pos] != quote) continue;
      if (pos + 1 < size && text[pos + 1] == quote) {
        span.doubled = true;
        ++pos;
        continue;
      }
      break;
    }
    span.end = pos;
    spans_.push_back(span);
    copied = pos;  // the closing quote
    ++pos;
  }
  shape_.append(text.data() + copied, size - copied);
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
