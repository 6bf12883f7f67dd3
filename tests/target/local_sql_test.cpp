#include <gtest/gtest.h>

#include "stores/target/local_sql/sql_lexer.h"
#include "stores/target/local_sql/sql_parser.h"
#include "stores/target/local_sql/statement_parameters.h"

namespace varnholt::local_sql {
namespace {

std::string ErrorOf(const std::string& statement) {
  try {
    ParseUpdate(statement);
  } catch (const SqlError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(SqlLexerTest, StringsUndoDoubledQuotesAndPositionsCountLines) {
  auto tokens = Tokenize("SET a = \"say \"\"hi\"\"\"\r\n , b='it''s' +12.5e1");
  ASSERT_EQ(tokens.size(), 11u);
  EXPECT_EQ(tokens[3].kind, TokenKind::kString);
  EXPECT_EQ(tokens[3].text, "say \"hi\"");
  EXPECT_EQ(tokens[4].line, 2);
  EXPECT_EQ(tokens[4].column, 2);
  EXPECT_EQ(tokens[7].text, "it's");
  EXPECT_EQ(tokens[8].text, "+");
  EXPECT_EQ(tokens[9].kind, TokenKind::kNumber);
  EXPECT_EQ(tokens[9].text, "12.5e1");
}

TEST(SqlParserTest, ReadsTheParentAccountShape) {
  std::string text =
      "UPDATE DL01MAST.db SET DL01_DESCRIPTION = \"Smith\"  \r\n"
      " ,DL01_POS_ADDR1 = \"PO Box 1\" \r\n"
      ", DL01_DEL_CODE  = \"\" \r\n"
      " WHERE DL01_CODE = \"3\" +\"57\" \r\n";
  UpdateStatement statement = ParseUpdate(text);
  EXPECT_EQ(statement.table, "DL01MAST.db");
  ASSERT_EQ(statement.assignments.size(), 3u);
  EXPECT_EQ(statement.assignments[2].column, "DL01_DEL_CODE");
  EXPECT_EQ(statement.assignments[2].value->literal, paradox::Value(std::string()));
  ASSERT_TRUE(statement.where);
  EXPECT_EQ(statement.where->kind, Expr::Kind::kCompare);
  EXPECT_EQ(statement.where->right->kind, Expr::Kind::kAdd);
}

TEST(SqlParserTest, ReadsLearnerAndClassShapes) {
  UpdateStatement learner = ParseUpdate(
      "UPDATE CH01MAST.db SET CH01_SURNAME = \"Doe\"  \r\n"
      ", CH01_DL01_CODE = \"3\"+\"\" \r\n"
      ", CH01_HOME_LANG =\"English\" \r\n"
      ", CH01_ID_NO  =  \"123\" \r\n"
      ", CH01_MEDICAL_NO= \"9\" \r\n"
      ",  CH01_STATUS =  \"I\" \r\n"
      "Where CH01_code = \"L1\" \r\n");
  EXPECT_EQ(learner.table, "CH01MAST.db");
  EXPECT_EQ(learner.assignments.size(), 6u);
  EXPECT_EQ(learner.where->left->column, "CH01_code");
  UpdateStatement classes = ParseUpdate(
      "UPDATE DL00CODE.DB  SET Dl00_CODE = \"7A\"  \r\n ,Dl00_DESCRIPTION = \"Ms X\" \r\n"
      " WHERE Dl00_CODE = \"7A\" \r\n");
  EXPECT_EQ(classes.table, "DL00CODE.DB");
  EXPECT_EQ(classes.assignments.size(), 2u);
}

TEST(SqlParserTest, ConditionsNestWithTheUsualPrecedence) {
  UpdateStatement statement = ParseUpdate(
      "update t set a = (1 + 2) where not a = 1 or b is not null and (c <> 'x' or c >= 'y')");
  EXPECT_EQ(statement.table, "t");
  ASSERT_EQ(statement.where->kind, Expr::Kind::kOr);
  EXPECT_EQ(statement.where->left->kind, Expr::Kind::kNot);
  EXPECT_EQ(statement.where->right->kind, Expr::Kind::kAnd);
  EXPECT_TRUE(statement.where->right->left->negated);
  EXPECT_EQ(statement.assignments[0].value->kind, Expr::Kind::kAdd);
}

TEST(SqlParserTest, SyntaxErrorsQuoteTheTokenAndItsPosition) {
  EXPECT_EQ(ErrorOf("UPDATE t SET a = \r\n WHERE b = 1"),
            "Invalid use of keyword.\nToken: WHERE\nLine Number: 2\nColumn: 2");
  EXPECT_EQ(ErrorOf("UPDATE t SET a = 1 b = 2"),
            "Syntax error in SQL statement.\nToken: b\nLine Number: 1\nColumn: 20");
  EXPECT_EQ(ErrorOf("SELECT * FROM t"),
            "Syntax error in SQL statement.\nToken: SELECT\nLine Number: 1\nColumn: 1");
  EXPECT_EQ(ErrorOf("UPDATE t SET a = 'open"),
            "Unterminated string in SQL statement.\nToken: 'open\nLine Number: 1\nColumn: 18");
  EXPECT_EQ(ErrorOf("UPDATE t SET a = 1 WHERE"),
            "Syntax error in SQL statement.\nToken: <end of statement>\nLine Number: 1\nColumn: 25");
  EXPECT_EQ(ErrorOf("UPDATE t SET a = 1 WHERE b ! 1"),
            "Invalid character in SQL statement.\nToken: !\nLine Number: 1\nColumn: 28");
  // A value where a condition belongs, and the other way round.
  EXPECT_EQ(ErrorOf("UPDATE t SET a = 1 WHERE b"),
            "Type mismatch in expression.\nToken: b\nLine Number: 1\nColumn: 26");
  EXPECT_EQ(ErrorOf("UPDATE t SET a = b = 1"),
            "Type mismatch in expression.\nToken: =\nLine Number: 1\nColumn: 20");
}

TEST(StatementParametersTest, DoubleColonsAndParametersOnlyOutsideQuotes) {
  ParsedParameters parsed = ParseParameters("a = '::x :p' , b = \":q\" , c = `:r` , d = x::y");
  EXPECT_EQ(parsed.text, "a = '::x :p' , b = \":q\" , c = `:r` , d = x:y");
  EXPECT_TRUE(parsed.parameters.empty());
  parsed = ParseParameters("SET a = :Value1, b = 'it''s :no' WHERE c=:key\r\n");
  EXPECT_EQ(parsed.parameters, (std::vector<std::string>{"Value1", "key"}));
  parsed = ParseParameters("a : b:");
  EXPECT_TRUE(parsed.parameters.empty());
  EXPECT_EQ(parsed.text, "a : b:");
  // "::" never starts a parameter, even before a name.
  parsed = ParseParameters("x = 1::name");
  EXPECT_TRUE(parsed.parameters.empty());
  EXPECT_EQ(parsed.text, "x = 1:name");
}

}  // namespace
}  // namespace varnholt::local_sql
