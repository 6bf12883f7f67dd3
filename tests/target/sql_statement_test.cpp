#include "stores/target/sql_statement.h"

#include <gtest/gtest.h>

#include "stores/target/target_session.h"
#include "stores/target/target_table.h"
#include "tests/target/target_test_tables.h"

namespace varnholt {
namespace {

using testing::CreateTargetTables;
using testing::InFolder;
using testing::Snapshot;
using testing::TempDir;

std::string Quoted(const std::string& value) { return "\"" + value + "\""; }

class SqlStatementTest : public ::testing::Test {
 protected:
  SqlStatementTest() {
    CreateTargetTables(dir_.path());
    for (TargetTable* table : {&ch01mast_, &dl01mast_, &dl00_, &classmas_}) {
      table->SetDatabaseName(dir_.path());
    }
    ch01mast_.SetTableName("CH01MAST.DB");
    dl01mast_.SetTableName("DL01MAST.DB");
    dl00_.SetTableName("DL00CODE.DB");
    classmas_.SetTableName("CLASSMAS.DB");
    for (TargetTable* table : {&ch01mast_, &dl01mast_, &dl00_, &classmas_}) table->Open();
    for (SqlStatement* statement : {&update_, &update2_, &update_c1_, &update_c2_}) {
      statement->SetDatabaseName(dir_.path());
    }
  }

  void Add(TargetTable& table, const std::vector<std::pair<std::string, std::string>>& fields) {
    table.Insert();
    for (const auto& [field, text] : fields) table.SetFieldText(field, text);
    table.Post();
  }

  std::string Read(TargetTable& table, const std::string& filter, const std::string& field) {
    table.SetFilter(filter);
    table.SetFiltered(true);
    return table.FieldText(field);
  }

  std::string ErrorOf(SqlStatement& statement) {
    try {
      statement.ExecSQL();
    } catch (const StoreError& error) {
      return error.what();
    }
    return "(no error)";
  }

  // The parent account statement, line by line as the update pass writes it.
  void ComposeParent(const std::string& surname, const std::string& parent_id) {
    update_.ClearLines();
    update_.SetText("UPDATE DL01MAST.db SET DL01_DESCRIPTION = " + Quoted(surname) + "  ");
    update_.AddLine(" ,DL01_POS_ADDR1 = " + Quoted("PO Box 9") + " ");
    update_.AddLine(" ,DL01_POS_ADDR2 = " + Quoted("") + " ");
    update_.AddLine(", DL01_POS_ADDR3 = " + Quoted("") + " ");
    update_.AddLine(", DL01_POS_CODE = " + Quoted("0001") + " ");
    update_.AddLine(", DL01_DEL_ADDR1 = " + Quoted("1 Main Rd") + " ");
    update_.AddLine(", DL01_DEL_ADDR2 = " + Quoted("") + " ");
    update_.AddLine(", DL01_DEL_ADDR3 = " + Quoted("") + " ");
    update_.AddLine(", DL01_DEL_CODE  = " + Quoted("0002") + " ");
    update_.AddLine(", DL01_PHONE1    = " + Quoted("011 555") + " ");
    update_.AddLine(", DL01_PHONE2    = " + Quoted("") + " ");
    update_.AddLine(", DL01_TITLE     = " + Quoted("Mrs") + " ");
    update_.AddLine(", DL01_PHONE3    = " + Quoted("") + " ");
    update_.AddLine(", DL01_MOTHER_ID = " + Quoted("7001010000000") + " ");
    update_.AddLine(", DL01_FATHER_ID = " + Quoted("") + " ");
    update_.AddLine(" WHERE DL01_CODE = " + Quoted("3") + " +" + Quoted(parent_id) + " ");
  }

  void ComposeLearner(const std::string& code, const std::string& status,
                      const std::string& parent_id, const std::string& class_name) {
    update2_.ClearLines();
    update2_.SetText("UPDATE CH01MAST.db SET CH01_SURNAME = " + Quoted("Doe") + "  ");
    update2_.AddLine(", CH01_INITIALS = " + Quoted("J") + " ");
    update2_.AddLine(", CH01_NAME = " + Quoted("Jane") + " ");
    update2_.AddLine(", CH01_DL01_CODE = " + Quoted("3") + "+" + Quoted(parent_id) + " ");
    update2_.AddLine(", CH01_SEX = " + Quoted("F") + " ");
    update2_.AddLine(", CH01_HOME_LANG =" + Quoted("English") + " ");
    update2_.AddLine(", CH01_SECOND_NAME  =" + Quoted("Ann") + " ");
    update2_.AddLine(", CH01_NICK_NAME = " + Quoted("") + " ");
    update2_.AddLine(", CH01_ID_NO  =  " + Quoted("1001015000080") + " ");
    update2_.AddLine(", CH01_MEDICAL_NO= " + Quoted("M1") + " ");
    update2_.AddLine(", CH01_MEDICAL_NAME= " + Quoted("Aid") + " ");
    update2_.AddLine(", CH01_MEDICAL_MEMBER = " + Quoted("Dad") + " ");
    update2_.AddLine(", CH01_SMART_CODE =" + Quoted(code) + " ");
    if (status == "A") {
      update2_.AddLine(",  CH01_STATUS =  " + Quoted("I") + " ");
      update2_.AddLine(",  CH01_CLASS =  " + Quoted("ZZ") + " ");
    } else if (status == "C") {
      update2_.AddLine(", CH01_STATUS = " + Quoted("A") + " ");
      update2_.AddLine(", CH01_CLASS = " + Quoted(class_name) + " ");
    }
    update2_.AddLine("Where CH01_code = " + Quoted(code) + " ");
  }

  TempDir dir_;
  RegionalSettings settings_;
  TargetSession session_;
  TargetTable ch01mast_{"Ch01mast", session_, settings_};
  TargetTable dl01mast_{"Dl01mast", session_, settings_};
  TargetTable dl00_{"Dl00", session_, settings_};
  TargetTable classmas_{"Classmas", session_, settings_};
  SqlStatement update_{"Update", session_, settings_};
  SqlStatement update2_{"Update2", session_, settings_};
  SqlStatement update_c1_{"UpdateC1", session_, settings_};
  SqlStatement update_c2_{"UpdateC2", session_, settings_};
};

TEST_F(SqlStatementTest, ParentAccountStatementFindsTheJoinedKey) {
  Add(dl01mast_, {{"DL01_CODE", "357"}, {"DL01_DESCRIPTION", "Old"}, {"DL01_POS_ADDR2", "x"}});
  Add(dl01mast_, {{"DL01_CODE", "358"}, {"DL01_DESCRIPTION", "Other"}});
  ComposeParent("Smith", "57");
  EXPECT_EQ(update_.Lines().size(), 16u);
  EXPECT_EQ(update_.Text().substr(0, 53),
            "UPDATE DL01MAST.db SET DL01_DESCRIPTION = \"Smith\"  \r\n");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='357'", "DL01_DESCRIPTION"), "Smith");
  EXPECT_EQ(dl01mast_.FieldText("DL01_POS_ADDR2"), "");  // an empty value clears the column
  EXPECT_EQ(dl01mast_.FieldText("DL01_MOTHER_ID"), "7001010000000");
  EXPECT_EQ(dl01mast_.FieldText("DL01_DEL_CODE"), "0002");
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='358'", "DL01_DESCRIPTION"), "Other");
  // A key that matches no row changes nothing and is no error.
  ComposeParent("Nobody", "99");
  update_.ExecSQL();
}

TEST_F(SqlStatementTest, LearnerStatementInAllThreeStatusForms) {
  Add(ch01mast_, {{"CH01_CODE", "L1"}, {"CH01_STATUS", "X"}, {"CH01_CLASS", "7B"},
                  {"CH01_DATE_OF_BIRTH", "25/01/2010"}});
  ComposeLearner("L1", "", "", "");
  update2_.ExecSQL();
  EXPECT_EQ(Read(ch01mast_, "CH01_CODE='L1'", "CH01_SURNAME"), "Doe");
  EXPECT_EQ(ch01mast_.FieldText("CH01_DL01_CODE"), "3");  // no link: the prefix alone
  EXPECT_EQ(ch01mast_.FieldText("CH01_STATUS"), "X");     // left as it was
  EXPECT_EQ(ch01mast_.FieldText("CH01_CLASS"), "7B");
  EXPECT_EQ(ch01mast_.FieldText("CH01_SMART_CODE"), "L1");
  EXPECT_EQ(ch01mast_.FieldText("CH01_DATE_OF_BIRTH"), "2010/01/25");  // not written

  ComposeLearner("L1", "A", "57", "");
  update2_.ExecSQL();
  EXPECT_EQ(Read(ch01mast_, "CH01_CODE='L1'", "CH01_DL01_CODE"), "357");
  EXPECT_EQ(ch01mast_.FieldText("CH01_STATUS"), "I");
  EXPECT_EQ(ch01mast_.FieldText("CH01_CLASS"), "ZZ");

  ComposeLearner("L1", "C", "57", "7A");
  update2_.ExecSQL();
  EXPECT_EQ(Read(ch01mast_, "CH01_CODE='L1'", "CH01_STATUS"), "A");
  EXPECT_EQ(ch01mast_.FieldText("CH01_CLASS"), "7A");
}

TEST_F(SqlStatementTest, ClassStatementsRewriteDescriptionAndTeacher) {
  Add(dl00_, {{"Dl00_CODE", "7A"}, {"Dl00_DESCRIPTION", "Old"}});
  Add(classmas_, {{"CL01_CODE", "7A"}, {"CL01_TEACHER", "Old"}, {"CL01_ROOM", "R1"}});
  update_c1_.ClearLines();
  update_c1_.SetText("UPDATE DL00CODE.DB  SET Dl00_CODE = \"7A\"  ");
  update_c1_.AddLine(" ,Dl00_DESCRIPTION = \"Ms O'Hara\" ");
  update_c1_.AddLine(" WHERE Dl00_CODE = \"7A\" ");
  update_c1_.ExecSQL();
  update_c2_.ClearLines();
  update_c2_.SetText("UPDATE CLASSMAS.DB SET CL01_CODE = \"7A\"  ");
  update_c2_.AddLine(" ,CL01_TEACHER = \"\" ");
  update_c2_.AddLine(" WHERE CL01_CODE = \"7A\" ");
  update_c2_.ExecSQL();
  EXPECT_EQ(Read(dl00_, "Dl00_CODE='7A'", "Dl00_DESCRIPTION"), "Ms O'Hara");
  EXPECT_EQ(Read(classmas_, "CL01_CODE='7A'", "CL01_TEACHER"), "");
  EXPECT_EQ(classmas_.FieldText("CL01_ROOM"), "R1");
}

TEST_F(SqlStatementTest, ExpressionsConditionsAndConversions) {
  Add(dl01mast_, {{"DL01_CODE", "31"}, {"DL01_DESCRIPTION", "A"}, {"DL01_TITLE", "Mr"}});
  Add(dl01mast_, {{"DL01_CODE", "32"}, {"DL01_DESCRIPTION", "B"}});
  Add(dl01mast_, {{"DL01_CODE", "33"}, {"DL01_DESCRIPTION", "It's"}, {"DL01_TITLE", "Dr"}});
  update_.SetText(
      "update dl01mast set dl01_phone1 = 'x' + dl01_code, DL01_CREDIT_LIMIT = (2 + 3) + 0.5,\n"
      " DL01_BALANCE = '12.25' where (dl01_title is not null and not dl01_code = 33) or "
      "DL01_DESCRIPTION = 'It''s';");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='31'", "DL01_PHONE1"), "x31");
  EXPECT_EQ(dl01mast_.FieldText("DL01_CREDIT_LIMIT"), "5.5");
  EXPECT_EQ(dl01mast_.FieldText("DL01_BALANCE"), "12.25");
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='32'", "DL01_PHONE1"), "");
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='33'", "DL01_PHONE1"), "x33");
  // Numbers against a character column compare as their digits; ranges compare as text.
  update_.SetText("UPDATE DL01MAST SET DL01_POS_CODE = 1 WHERE DL01_CODE >= \"32\"");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='31'", "DL01_POS_CODE"), "");
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='33'", "DL01_POS_CODE"), "1");
  // Dates convert as a component's field does.
  Add(ch01mast_, {{"CH01_CODE", "L1"}});
  update2_.SetText("UPDATE CH01MAST.DB SET CH01_ADM_DATE = '25/01/2010' WHERE CH01_CODE = 'L1'");
  update2_.ExecSQL();
  EXPECT_EQ(Read(ch01mast_, "CH01_CODE='L1'", "CH01_ADM_DATE"), "2010/01/25");
  update2_.SetText("UPDATE CH01MAST.DB SET CH01_REMARKS = 'born ' + CH01_ADM_DATE "
                   "WHERE CH01_ADM_DATE = '2010/01/25'");
  EXPECT_NE(ErrorOf(update2_), "(no error)");  // a date does not join a text
}

TEST_F(SqlStatementTest, LinesSplitAtEveryKindOfLineBreak) {
  update_.SetText("a\r\nb\nc\rd\r\n");
  EXPECT_EQ(update_.Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
  update_.AddLine("");
  EXPECT_EQ(update_.Text(), "a\r\nb\r\nc\r\nd\r\n\r\n");
  update_.ClearLines();
  EXPECT_EQ(update_.Text(), "");
}

TEST_F(SqlStatementTest, ComponentMessages) {
  update_.SetText("");
  EXPECT_EQ(ErrorOf(update_), "Update: No SQL statement available");
  update_.ClearLines();
  EXPECT_EQ(ErrorOf(update_), "Update: No SQL statement available");
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = :title WHERE DL01_CODE = '31'");
  EXPECT_EQ(ErrorOf(update_), "Update: No value for parameter 'title'");
  // Inside quotes a colon is text; outside, "::" is one colon (which the SQL then refuses).
  Add(dl01mast_, {{"DL01_CODE", "31"}});
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'a::b :c' WHERE DL01_CODE = \"31\"");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='31'", "DL01_TITLE"), "a::b :c");
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'x' WHERE DL01_CODE ::= '31'");
  EXPECT_EQ(ErrorOf(update_),
            "Invalid character in SQL statement.\nToken: :\nLine Number: 1\nColumn: 57");
  // Any directory is accepted at any time; the table is looked up when the statement runs.
  update_.SetDatabaseName(dir_.path() + "/elsewhere");
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'x'");
  EXPECT_EQ(ErrorOf(update_),
            "Table does not exist.\nFile: " + InFolder(dir_.path() + "/elsewhere", "DL01MAST.DB"));
}

TEST_F(SqlStatementTest, RefusedStatementsLeaveTheTablesByteIdentical) {
  Add(dl01mast_, {{"DL01_CODE", "31"}, {"DL01_DESCRIPTION", "A"}});
  Add(dl01mast_, {{"DL01_CODE", "32"}, {"DL01_DESCRIPTION", "B"}});
  Add(ch01mast_, {{"CH01_CODE", "L1"}});
  Add(ch01mast_, {{"CH01_CODE", "L2"}});
  auto before = Snapshot(dir_.path());
  const std::string table = InFolder(dir_.path(), "DL01MAST.DB");
  struct Case {
    const char* statement;
    std::string message;
  } cases[] = {
      {"UPDATE DL01MAST.DB SET DL01_NOPE = 'x'",
       "Invalid field name.\nField: DL01_NOPE\nTable: " + table + "\nLine Number: 1"},
      {"UPDATE DL01MAST.DB SET DL01_TITLE = 'x' WHERE NOPE = 1",
       "Invalid field name.\nField: NOPE\nTable: " + table + "\nLine Number: 1"},
      {"UPDATE DL01MAST.DB SET DL01_TITLE = 'x', DL01_title = 'y'",
       "Field specified more than once.\nField: DL01_title\nTable: " + table +
           "\nLine Number: 1"},
      {"UPDATE DL01MAST.DB SET DL01_TITLE = 'x',\r\n DL01_CREDIT_LIMIT = 'lots'",
       "Invalid value for field 'DL01_CREDIT_LIMIT'\nLine Number: 2"},
      {"UPDATE DL01MAST.DB SET DL01_TITLE = 'x' + 1",
       "Type mismatch in expression.\nToken: +\nLine Number: 1\nColumn: 41"},
      {"UPDATE DL01MAST.DB SET DL01_CODE = '31'", "Key violation.\nTable: " + table},
      {"UPDATE DL01MAST.DB SET DL01_CODE = '31' WHERE DL01_CODE = '32'",
       "Key violation.\nTable: " + table},
      {"UPDATE DL01MAST.DB SET DL01_TITLE = 'x' WHERE", ""},
      {"UPDATE CH01MAST.DB SET CH01_DATE_OF_BIRTH = '31/02/2010'",
       "Invalid value for field 'CH01_DATE_OF_BIRTH'\nLine Number: 1"},
      {"UPDATE NOTHERE SET A = 1", "Table does not exist.\nFile: " + InFolder(dir_.path(), "NOTHERE.db")},
  };
  for (const Case& c : cases) {
    update_.SetText(c.statement);
    std::string message = ErrorOf(update_);
    if (c.message.empty()) {
      EXPECT_NE(message, "(no error)") << c.statement;
    } else {
      EXPECT_EQ(message, c.message) << c.statement;
    }
    EXPECT_EQ(Snapshot(dir_.path()), before) << c.statement;
  }
  // A key change to a free key is fine.
  update_.SetText("UPDATE DL01MAST.DB SET DL01_CODE = '39' WHERE DL01_CODE = '31'");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='39'", "DL01_DESCRIPTION"), "A");
  // New keys for several rows at once, computed from each row's own value.
  update_.SetText("UPDATE DL01MAST.DB SET DL01_CODE = DL01_CODE + '0'");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='390'", "DL01_DESCRIPTION"), "A");
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='320'", "DL01_DESCRIPTION"), "B");
}

TEST_F(SqlStatementTest, RepeatedShapesTakeTheirOwnValuesAndReportTheirOwnPositions) {
  Add(dl01mast_, {{"DL01_CODE", "31"}, {"DL01_DESCRIPTION", "A"}});
  Add(dl01mast_, {{"DL01_CODE", "32"}, {"DL01_DESCRIPTION", "B"}});
  update_.SetText("UPDATE DL01MAST.DB SET DL01_DESCRIPTION = \"Smith\" WHERE DL01_CODE = \"31\"");
  update_.ExecSQL();
  // The same shape with a value that reads like another assignment.
  update_.SetText("UPDATE DL01MAST.DB SET DL01_DESCRIPTION = \"a\"\", DL01_CODE = \"\"9\" "
                  "WHERE DL01_CODE = \"32\"");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='31'", "DL01_DESCRIPTION"), "Smith");
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='32'", "DL01_DESCRIPTION"), "a\", DL01_CODE = \"9");

  auto before = Snapshot(dir_.path());
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'x' + 1");
  EXPECT_EQ(ErrorOf(update_), "Type mismatch in expression.\nToken: +\nLine Number: 1\nColumn: 41");
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'longer' + 1");
  EXPECT_EQ(ErrorOf(update_), "Type mismatch in expression.\nToken: +\nLine Number: 1\nColumn: 46");
  // A line break inside a value moves what follows it to the next line.
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'a', DL01_CREDIT_LIMIT = 'lots'");
  EXPECT_EQ(ErrorOf(update_), "Invalid value for field 'DL01_CREDIT_LIMIT'\nLine Number: 1");
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'a\nb', DL01_CREDIT_LIMIT = 'lots'");
  EXPECT_EQ(ErrorOf(update_), "Invalid value for field 'DL01_CREDIT_LIMIT'\nLine Number: 2");
  EXPECT_EQ(Snapshot(dir_.path()), before);
  update_.SetText("UPDATE DL01MAST.DB SET DL01_TITLE = 'ok', DL01_CREDIT_LIMIT = '12'");
  update_.ExecSQL();
  EXPECT_EQ(Read(dl01mast_, "DL01_CODE='32'", "DL01_CREDIT_LIMIT"), "12");
}

}  // namespace
}  // namespace varnholt
