// The parameter pass a statement component makes over its text before the local SQL sees it:
// outside single, double and back quotes "::" stands for one colon and ":name" marks a parameter.
#ifndef VARNHOLT_STORES_SQL_STATEMENT_PARAMETERS_H_
#define VARNHOLT_STORES_SQL_STATEMENT_PARAMETERS_H_

#include <string>
#include <string_view>
#include <vector>

namespace varnholt::local_sql {

struct ParsedParameters {
  std::string text;                      // the statement with each "::" made ":"
  std::vector<std::string> parameters;   // names in order of appearance
};

// A parameter name runs from after the colon up to a blank, a line break, a quote, a colon or one
// of , ; ( ) = < > + - * / ; a colon with no name after it stays as it is.
ParsedParameters ParseParameters(std::string_view text);

}  // namespace varnholt::local_sql

#endif  // VARNHOLT_STORES_SQL_STATEMENT_PARAMETERS_H_
