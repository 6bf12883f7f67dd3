// SqlStatement: a local-SQL statement component. Holds lines; ExecSQL sends them, each followed by
// CR LF, to the local SQL engine over the tables of its TargetSession.
//
// Messages: "<Name>: No SQL statement available" (text under two characters), "<Name>: No value for
// parameter '<p>'" (outside quotes "::" is one colon and ":name" a parameter), and the local SQL's
// and the engine's own texts for refused statements, each line once. A failing statement changes
// nothing. The statements the local SQL understands: stores/sql/sql_parser.h. Texts
// that differ only in their string values are parsed once (stores/sql/statement_cache.h).
#ifndef VARNHOLT_STORES_TARGET_SQL_STATEMENT_H_
#define VARNHOLT_STORES_TARGET_SQL_STATEMENT_H_

#include <string>
#include <vector>

#include "base/regional_settings.h"
#include "stores/sql/statement_cache.h"

namespace varnholt {

class TargetSession;

class SqlStatement {
 public:
  SqlStatement(std::string name, TargetSession& session, const RegionalSettings& settings);

  const std::string& Name() const;
  // Any directory is accepted at any time: no connection is held between statements.
  void SetDatabaseName(const std::string& directory);

  void ClearLines();
  // Replaces all lines with the given text (split at line breaks).
  void SetText(const std::string& text);
  void AddLine(const std::string& line);
  void AddLine(std::string&& line);
  const std::vector<std::string>& Lines() const;
  // The lines, each followed by "\r\n".
  std::string Text() const;

  void ExecSQL();

 private:
  // Runs a parsed statement against its table.
  void Run(local_sql::UpdateStatement& statement);

  std::string name_;
  TargetSession& session_;
  const RegionalSettings& settings_;
  std::string directory_;
  std::vector<std::string> lines_;
  std::string text_;  // the text ExecSQL sends, kept to reuse its buffer
  local_sql::StatementCache parsed_;
};

}  // namespace varnholt

#endif  // VARNHOLT_STORES_TARGET_SQL_STATEMENT_H_
