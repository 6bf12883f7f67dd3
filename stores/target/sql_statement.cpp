#include "stores/target/sql_statement.h"

#include "base/store_error.h"
#include "stores/sql/sql_parser.h"
#include "stores/sql/statement_parameters.h"
#include "stores/sql/update_executor.h"
#include "stores/target/target_session.h"

namespace varnholt {

namespace {

constexpr char kNoStatement[] = "No SQL statement available";
// Shorter texts cannot hold a statement.
constexpr size_t kShortestStatement = 2;
constexpr char kLineEnd[] = "\r\n";

void AppendText(const std::vector<std::string>& lines, std::string* text) {
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + sizeof(kLineEnd) - 1;
  text->reserve(text->size() + size);
  for (const std::string& line : lines) {
    text->append(line);
    text->append(kLineEnd);
  }
}

std::string NoValueMessage(const std::string& parameter) {
  return "No value for parameter '" + parameter + "'";
}

}  // namespace

SqlStatement::SqlStatement(std::string name, TargetSession& session,
                           const RegionalSettings& settings)
    : name_(std::move(name)), session_(session), settings_(settings) {}

const std::string& SqlStatement::Name() const { return name_; }

void SqlStatement::SetDatabaseName(const std::string& directory) { directory_ = directory; }

void SqlStatement::ClearLines() { lines_.clear(); }

void SqlStatement::SetText(const std::string& text) {
  // Lines end at CR LF, LF or CR; a line break at the very end adds no empty line.
  lines_.clear();
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines_.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines_.push_back(line);
}

void SqlStatement::AddLine(const std::string& line) { lines_.push_back(line); }

void SqlStatement::AddLine(std::string&& line) { lines_.push_back(std::move(line)); }

const std::vector<std::string>& SqlStatement::Lines() const { return lines_; }

std::string SqlStatement::Text() const {
  std::string text;
  AppendText(lines_, &text);
  return text;
}

void SqlStatement::ExecSQL() {
  text_.clear();
  AppendText(lines_, &text_);
  if (text_.size() < kShortestStatement) throw ComponentError(name_, kNoStatement);
  if (local_sql::UpdateStatement* kept = parsed_.Find(text_)) {
    try {
      Run(*kept);
      return;
    } catch (const local_sql::SqlError&) {
      // The kept tree holds the positions of the text it was parsed from, and nothing was
      // written: run this text in full, which refuses it in the same way at its own positions.
    } catch (const InvalidFieldValue&) {
      // The same, for a value a field cannot take.
    }
  }
  local_sql::ParsedParameters parsed = local_sql::ParseParameters(text_);
  if (!parsed.parameters.empty()) {
    throw ComponentError(name_, NoValueMessage(parsed.parameters.front()));
  }
  local_sql::UpdateStatement statement = local_sql::ParseUpdate(parsed.text);
  local_sql::UpdateStatement* kept = nullptr;
  // A text the parameter pass changed would not match its own shape again.
  if (parsed.text == text_) kept = parsed_.Keep(text_, statement);
  Run(kept != nullptr ? *kept : statement);
}

void SqlStatement::Run(local_sql::UpdateStatement& statement) {
  try {
    SharedTable& table = session_.OpenTable(directory_, statement.table);
    table.Refresh();
    table.UpdateAll(local_sql::PlanUpdate(statement, table.table(), settings_));
  } catch (const EngineError& error) {
    throw EngineError(EachLineOnce(error.what()));
  }
}

}  // namespace varnholt
