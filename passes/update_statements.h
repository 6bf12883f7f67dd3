// The texts of the four UPDATE statements, composed line by line from the current source rows.
// Every value stands between double quotes; a double quote inside a value is doubled (the local
// SQL's own escape), so it is stored as itself and cannot rewrite other columns.
#ifndef VARNHOLT_PASSES_UPDATE_STATEMENTS_H_
#define VARNHOLT_PASSES_UPDATE_STATEMENTS_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "stores/target/sql_statement.h"

namespace varnholt {

// Reads a field of a current source row as text.
using FieldReader = std::function<std::string(std::string_view field)>;

// Parent account statement on DL01MAST.db, from a Parent_info row.
std::vector<std::string> ParentStatementLines(const FieldReader& parent);
// Learner statement on CH01MAST.db: learner fields from Learner_info, Parentid from the current link
// row, ClassName from the current class row.
std::vector<std::string> LearnerStatementLines(const FieldReader& learner, const FieldReader& link,
                                               const FieldReader& klass);
// Class code statement on DL00CODE.DB and class master statement on CLASSMAS.DB, from a Classes row.
std::vector<std::string> ClassCodeStatementLines(const FieldReader& klass);
std::vector<std::string> ClassMasterStatementLines(const FieldReader& klass);

// Clears the statement's lines, sets the whole text to the first line, appends the others.
void ComposeStatement(SqlStatement& statement, std::vector<std::string> lines);

}  // namespace varnholt

#endif  // VARNHOLT_PASSES_UPDATE_STATEMENTS_H_
