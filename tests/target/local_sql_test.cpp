#include <gtest/gtest.h>

#include "stores/sql/sql_lexer.h"
#include "stores/sql/sql_parser.h"
#include "stores/sql/statement_cache.h"
#include "stores/sql/statement_parameters.h"

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

// The string literals of a tree, in the order its text writes them.
std::vector<std::string> StringValues(const UpdateStatement& statement) {
  std::vector<std::string> values;
  for (const Expr* node : statement.string_values) {
    values.push_back(std::get<std::string>(node->literal));
  }
  return values;
}

std::string Learner(const std::string& surname, const std::string& code,
                    const std::string& status_column = "CH01_STATUS") {
  return "UPDATE CH01MAST.db SET CH01_SURNAME = " + surname +
         "  \r\n, CH01_DL01_CODE = \"3\"+\"57\" \r\n, " + status_column +
         " = \"A\" \r\nWhere CH01_code = " + code + " \r\n";
}

TEST(StatementCacheTest, KeptTreeTakesEachTextsValuesAsTheParserReadsThem) {
  StatementCache cache;
  const std::string first = Learner("\"Doe\"", "'L1'");
  EXPECT_EQ(cache.Find(first), nullptr);
  UpdateStatement parsed = ParseUpdate(first);
  ASSERT_NE(cache.Keep(first, parsed), nullptr);
  const std::string other_columns = Learner("\"Doe\"", "'L1'", "CH01_CLASS");
  UpdateStatement other = ParseUpdate(other_columns);
  ASSERT_NE(cache.Keep(other_columns, other), nullptr);
  // Doubled quotes of either kind, a value that reads like more assignments, a line break, the
  // other quote inside, nothing.
  for (const std::string& text :
       {Learner("\"O\"\"Brien\"", "'L2'"), Learner("\"x\"\" , CH01_NAME = \"\"y\"", "'it''s'"),
        Learner("\"two\r\nlines\"", "''"), Learner("\"'\"", "'\"'"),
        Learner("\"Doe\"", "'L9'", "CH01_CLASS")}) {
    UpdateStatement* kept = cache.Find(text);
    ASSERT_NE(kept, nullptr) << text;
    UpdateStatement fresh = ParseUpdate(text);
    EXPECT_EQ(StringValues(*kept), StringValues(fresh)) << text;
    EXPECT_EQ(kept->assignments[2].column, fresh.assignments[2].column) << text;
  }
  // Not of a kept shape: a number for a string, another quote kind, a string left open.
  EXPECT_EQ(cache.Find(Learner("1", "'L1'")), nullptr);
  EXPECT_EQ(cache.Find(Learner("\"Doe\"", "\"L1\"")), nullptr);
  EXPECT_EQ(cache.Find(Learner("\"Doe\"", "'L1")), nullptr);
}

TEST(StatementCacheTest, QuotedTableNameIsPartOfTheShape) {
  StatementCache cache;
  const std::string text = "UPDATE 'DL01MAST.DB' SET DL01_TITLE = 'Mr'";
  UpdateStatement parsed = ParseUpdate(text);
  ASSERT_NE(cache.Keep(text, parsed), nullptr);
  EXPECT_EQ(cache.Find("UPDATE 'CH01MAST.DB' SET DL01_TITLE = 'Mr'"), nullptr);
  UpdateStatement* kept = cache.Find("UPDATE 'DL01MAST.DB' SET DL01_TITLE = 'Dr'");
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->table, "DL01MAST.DB");
  EXPECT_EQ(StringValues(*kept), std::vector<std::string>{"Dr"});
}

TEST(StatementCacheTest, ManyShapesEachFindTheirOwnTree) {
  // More shapes than are kept: whatever is found must be the text's own statement.
  StatementCache cache;
  auto text = [](int n) {
    return "UPDATE t SET c" + std::to_string(n) + " = 'v" + std::to_string(n) + "'";
  };
  for (int n = 0; n < 20; ++n) {
    UpdateStatement parsed = ParseUpdate(text(n));
    ASSERT_NE(cache.Keep(text(n), parsed), nullptr);
    for (int m = 0; m <= n; ++m) {
      UpdateStatement* kept = cache.Find(text(m));
      if (m == n) {
        ASSERT_NE(kept, nullptr);
      }
      if (kept != nullptr) {
        EXPECT_EQ(kept->assignments[0].column, "c" + std::to_string(m));
        EXPECT_EQ(StringValues(*kept), std::vector<std::string>{"v" + std::to_string(m)});
      }
    }
  }
}

}  // namespace
}  // namespace varnholt::local_sql
