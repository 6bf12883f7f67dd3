#include "stores/filter/filter_expression.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/calendar.h"

namespace varnholt::filter {
namespace {

// A few rows held in memory: the core sees rows only through Schema and RowView.
struct Column {
  std::string name;
  FieldKind kind;
};

class TestTable : public Schema {
 public:
  explicit TestTable(std::vector<Column> columns) : columns_(std::move(columns)) {}
  std::optional<int> FindField(std::string_view name) const override {
    std::string folded = FoldCase(name);
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (FoldCase(columns_[i].name) == folded) return static_cast<int>(i);
    }
    return std::nullopt;
  }
  FieldKind KindOf(int field) const override { return columns_[field].kind; }

 private:
  std::vector<Column> columns_;
};

class TestRow : public RowView {
 public:
  explicit TestRow(std::vector<FieldValue> values) : values_(std::move(values)) {}
  FieldValue Value(int field) const override { return values_[field]; }

 private:
  std::vector<FieldValue> values_;
};

bool Passes(const std::string& text, Dialect dialect, const TestTable& table, const TestRow& row) {
  return Expression::Parse(text, dialect).Bind(table).Matches(row);
}

const TestTable kLearners({{"LearnerID", FieldKind::kNumber},
                           {"Surname", FieldKind::kText},
                           {"Code", FieldKind::kText},
                           {"Born", FieldKind::kDate},
                           {"Active", FieldKind::kBoolean}});

TestRow Learner(double id, std::string_view surname, std::string_view code, double born, bool active) {
  return TestRow({FieldValue::Number(id), FieldValue::Text(surname), FieldValue::Text(code),
                  FieldValue::Number(born), FieldValue::Number(active ? 1 : 0)});
}

TEST(FilterExpressionTest, QuotedAndUnquotedValuesSelectTheSameNumericRows) {
  TestRow row = Learner(123, "Smith", "3057", 0, true);
  for (Dialect d : {Dialect::kJet, Dialect::kParadox}) {
    EXPECT_TRUE(Passes("learnerid='123' ", d, kLearners, row));
    EXPECT_TRUE(Passes("learnerId=123", d, kLearners, row));
    EXPECT_TRUE(Passes("LEARNERID = 123.0", d, kLearners, row));
    EXPECT_FALSE(Passes("learnerid='124'", d, kLearners, row));
    EXPECT_FALSE(Passes("learnerid=''", d, kLearners, row));     // unreadable as a number: no row
    EXPECT_FALSE(Passes("learnerid='abc'", d, kLearners, row));
  }
}

TEST(FilterExpressionTest, TextComparisonFollowsTheDialect) {
  TestRow row = Learner(1, "Ndlovu", "3057", 0, true);
  EXPECT_TRUE(Passes("surname='NDLOVU'", Dialect::kJet, kLearners, row));
  EXPECT_FALSE(Passes("surname='NDLOVU'", Dialect::kParadox, kLearners, row));
  EXPECT_TRUE(Passes("surname='Ndlovu'", Dialect::kParadox, kLearners, row));
  // An unquoted number against text compares as the digits written.
  EXPECT_TRUE(Passes("Code =3057", Dialect::kParadox, kLearners, row));
  EXPECT_TRUE(Passes("[Code]=3057", Dialect::kJet, kLearners, row));
  EXPECT_FALSE(Passes("Code=03057", Dialect::kJet, kLearners, row));
  // Non-Latin text folds in kJet.
  TestRow greek = Learner(2, "Παπαδόπουλος", "ΑΒΓ", 0, true);
  EXPECT_TRUE(Passes("surname='ΠΑΠΑΔΌΠΟΥΛΟΣ'", Dialect::kJet, kLearners, greek));
  EXPECT_TRUE(Passes("code='αβγ'", Dialect::kJet, kLearners, greek));
  TestRow cyrillic = Learner(3, "Ёлкин", "x", 0, true);
  EXPECT_TRUE(Passes("surname='ёЛКИН'", Dialect::kJet, kLearners, cyrillic));
}

TEST(FilterExpressionTest, OperatorsConnectivesAndParentheses) {
  TestRow row = Learner(10, "O'Brien", "A1", DateTimeFromCivil(2012, 3, 4, 0, 0, 0), false);
  const Dialect d = Dialect::kJet;
  EXPECT_TRUE(Passes("surname='O''Brien'", d, kLearners, row));
  EXPECT_TRUE(Passes("LearnerID > 9 AND LearnerID < 11", d, kLearners, row));
  EXPECT_TRUE(Passes("LearnerID >= 10 and LearnerID <= 10", d, kLearners, row));
  EXPECT_TRUE(Passes("LearnerID <> 11", d, kLearners, row));
  EXPECT_TRUE(Passes("(LearnerID = 1 OR LearnerID = 10) AND Code = 'a1'", d, kLearners, row));
  EXPECT_FALSE(Passes("LearnerID = 1 OR (LearnerID = 10 AND Code = 'b')", d, kLearners, row));
  EXPECT_TRUE(Passes("surname LIKE 'o''b*'", d, kLearners, row));
  EXPECT_TRUE(Passes("surname LIKE '%rie_'", d, kLearners, row));
  EXPECT_FALSE(Passes("surname LIKE 'Brien*'", d, kLearners, row));
  EXPECT_TRUE(Passes("Born = #2012-03-04#", d, kLearners, row));
  EXPECT_TRUE(Passes("Born = #3/4/2012#", d, kLearners, row));
  EXPECT_TRUE(Passes("Born < #3/4/2012 10:00 AM#", d, kLearners, row));
  EXPECT_TRUE(Passes("Born = '2012/03/04'", d, kLearners, row));
  EXPECT_TRUE(Passes("Active = False", d, kLearners, row));
  EXPECT_TRUE(Passes("Active = 0", d, kLearners, row));
  EXPECT_TRUE(Passes("NOT Active = True", Dialect::kParadox, kLearners, row));
  EXPECT_TRUE(Passes("  ", d, kLearners, row));
}

TEST(FilterExpressionTest, NullPassesOnlyNullTests) {
  TestRow row({FieldValue::Null(), FieldValue::Null(), FieldValue::Text(""), FieldValue::Null(),
               FieldValue::Number(0)});
  EXPECT_FALSE(Passes("learnerid=0", Dialect::kJet, kLearners, row));
  EXPECT_FALSE(Passes("learnerid<>0", Dialect::kJet, kLearners, row));
  EXPECT_FALSE(Passes("surname=''", Dialect::kJet, kLearners, row));
  EXPECT_TRUE(Passes("surname=NULL", Dialect::kJet, kLearners, row));
  EXPECT_TRUE(Passes("code=''", Dialect::kJet, kLearners, row));  // empty text is not null
  EXPECT_FALSE(Passes("code=null", Dialect::kJet, kLearners, row));
  EXPECT_TRUE(Passes("code<>null", Dialect::kJet, kLearners, row));
}

TEST(FilterExpressionTest, UnreadableTextsFailQuotingTheText) {
  const char* kBad[] = {"Classid=",      "Classid",          "=3",         "Classid='abc",
                        "a=1 AND",       "(a=1",             "a=1)",       "a=1 b=2",
                        "a=#2012-13-01#", "a=#1/1/2000",     "a=12abc",    "a==1",
                        "[a=1",          "a LIKE NULL",      "a=1 XOR b=2", "a=$5"};
  for (const char* text : kBad) {
    try {
      Expression::Parse(text, Dialect::kJet);
      ADD_FAILURE() << "parsed: " << text;
    } catch (const FilterSyntaxError& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("\"") + text + "\""), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(Expression::Parse("NOT a=1", Dialect::kJet), FilterSyntaxError);
  EXPECT_THROW(Expression::Parse("[a]=1", Dialect::kParadox), FilterSyntaxError);
  try {
    Expression::Parse("Classid=", Dialect::kJet);
  } catch (const FilterSyntaxError& e) {
    EXPECT_STREQ(e.what(), "Filter \"Classid=\" cannot be read: a value is expected after '=' (at character 9)");
  }
}

// The common `field = value` form is read by a shortcut; texts that only start like it must still
// be read whole, and the shortcut's reading must equal the general one's.
TEST(FilterExpressionTest, EqualityShortcutReadsExactlyWhatTheGrammarReads) {
  auto simple = Expression::Parse(" learnerid = 'O''Brien' ", Dialect::kJet).AsSimpleEquality();
  ASSERT_TRUE(simple);
  EXPECT_EQ(simple->field, "learnerid");
  EXPECT_EQ(simple->value.kind, Literal::Kind::kText);
  EXPECT_EQ(simple->value.text, "O'Brien");
  simple = Expression::Parse("[Class id]=-05.50", Dialect::kJet).AsSimpleEquality();
  ASSERT_TRUE(simple);
  EXPECT_EQ(simple->field, "Class id");
  EXPECT_EQ(simple->value.text, "-05.50");
  EXPECT_EQ(simple->value.number, -5.5);
  simple = Expression::Parse("\"CH01_CODE\" ='77' ", Dialect::kParadox).AsSimpleEquality();
  ASSERT_TRUE(simple);
  EXPECT_EQ(simple->field, "CH01_CODE");

  EXPECT_FALSE(Expression::Parse("a = 1 OR b = 2", Dialect::kJet).AsSimpleEquality());
  EXPECT_FALSE(Expression::Parse("(a = 1)", Dialect::kJet).PassesAll());
  EXPECT_FALSE(Expression::Parse("a = NULL", Dialect::kJet).AsSimpleEquality());
  EXPECT_THROW(Expression::Parse("NOT = 1", Dialect::kParadox), FilterSyntaxError);
  EXPECT_THROW(Expression::Parse("LIKE = 1", Dialect::kJet), FilterSyntaxError);
  try {
    Expression::Parse("a = 'x", Dialect::kJet);
    ADD_FAILURE() << "parsed";
  } catch (const FilterSyntaxError& e) {
    EXPECT_STREQ(e.what(), "Filter \"a = 'x\" cannot be read: the quoted text is not closed (at character 5)");
  }
}

TEST(FilterExpressionTest, UnknownFieldFailsWhenBound) {
  auto expression = Expression::Parse("Nickname='x'", Dialect::kJet);
  try {
    expression.Bind(kLearners);
    ADD_FAILURE();
  } catch (const StoreError& e) {
    EXPECT_STREQ(e.what(), "Filter \"Nickname='x'\" cannot be applied: field 'Nickname' not found");
  }
}

TEST(FilterExpressionTest, SimpleEqualityKeysAgreeWithEvaluation) {
  EXPECT_FALSE(Expression::Parse("a=1 AND b=2", Dialect::kJet).AsSimpleEquality());
  EXPECT_FALSE(Expression::Parse("a<1", Dialect::kJet).AsSimpleEquality());
  EXPECT_FALSE(Expression::Parse("a=NULL", Dialect::kJet).AsSimpleEquality());
  auto eq = Expression::Parse(" ( [learnerid]='123' ) ", Dialect::kJet).AsSimpleEquality();
  ASSERT_TRUE(eq);
  EXPECT_EQ(eq->field, "learnerid");

  // For every field kind and a spread of values and literals, key equality must decide exactly
  // as the evaluator does.
  const std::vector<std::string> kLiterals = {"'123'", "123", "123.0", "'abc'", "'ABC'", "''", "0",
                                              "True", "#1900-01-01#", "'1'", "-0", "03057", "'3057'",
                                              "0.5", "'.50'", "1e16", "10000000000000000", "9007199254740993"};
  const std::vector<FieldValue> kNumbers = {FieldValue::Number(123), FieldValue::Number(0),
                                            FieldValue::Number(1), FieldValue::Number(3057),
                                            FieldValue::Number(2), FieldValue::Number(0.5),
                                            FieldValue::Number(1e16), FieldValue::Number(-0.0),
                                            FieldValue::Number(9007199254740992.0), FieldValue::Null()};
  const std::vector<FieldValue> kTexts = {FieldValue::Text("123"), FieldValue::Text("abc"),
                                          FieldValue::Text(""), FieldValue::Text("03057"),
                                          FieldValue::Text("3057"), FieldValue::Text("True"), FieldValue::Null()};
  for (Dialect d : {Dialect::kJet, Dialect::kParadox}) {
    for (FieldKind kind : {FieldKind::kText, FieldKind::kNumber, FieldKind::kBoolean, FieldKind::kDate}) {
      TestTable table({{"f", kind}});
      for (const std::string& literal : kLiterals) {
        auto expression = Expression::Parse("f=" + literal, d);
        auto equality = expression.AsSimpleEquality();
        ASSERT_TRUE(equality);
        auto literal_key = LiteralKey(kind, d, equality->value);
        for (const FieldValue& value : kind == FieldKind::kText ? kTexts : kNumbers) {
          TestRow row({value});
          auto value_key = ValueKey(kind, d, value);
          bool by_key = literal_key && value_key && *literal_key == *value_key;
          EXPECT_EQ(by_key, expression.Bind(table).Matches(row))
              << literal << " kind " << static_cast<int>(kind) << " text " << value.text << " num " << value.number;
        }
      }
    }
  }
}

}  // namespace
}  // namespace varnholt::filter
