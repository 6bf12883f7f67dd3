// The composed texts are what the target engine runs; a blank or quote out of place changes what
// the accounting tables hold, so they are compared here character for character.
#include <gtest/gtest.h>

#include <map>

#include "passes/filter_text.h"
#include "passes/update_statements.h"

namespace varnholt {
namespace {

FieldReader Row(std::map<std::string, std::string> values) {
  return [values](std::string_view field) {
    auto it = values.find(std::string(field));
    return it == values.end() ? std::string() : it->second;
  };
}

TEST(FilterTextTest, PlainValuesGiveThePlainTexts) {
  EXPECT_EQ(QuotedFilter("CH01_CODE ='", "4711", "' "), "CH01_CODE ='4711' ");
  EXPECT_EQ(UnquotedFilter("learnerId=", "4711"), "learnerId=4711");
  EXPECT_EQ(UnquotedFilter("DL01_code =", "357"), "DL01_code =357");
}

TEST(FilterTextTest, QuotesAndNonDigitsCannotBreakOutOfTheValue) {
  EXPECT_EQ(QuotedFilter("Dl00_CODE='", "Gr 1 O'Neill", "' "), "Dl00_CODE='Gr 1 O''Neill' ");
  EXPECT_EQ(UnquotedFilter("Classid=", ""), "Classid=''");
  EXPECT_EQ(UnquotedFilter("Classid=", "1 OR 1=1"), "Classid='1 OR 1=1'");
  EXPECT_EQ(UnquotedFilter("childid=", "-5"), "childid='-5'");
  EXPECT_EQ(UnquotedFilter("learnerId=", "x'y"), "learnerId='x''y'");
}

TEST(StatementTextTest, ParentStatementLines) {
  auto lines = ParentStatementLines(Row({{"Sname", "Nkosi"},
                                         {"PostalAddress1", "PO Box 12"},
                                         {"PostalCode", "0001"},
                                         {"Tel1", "012 345 6789"},
                                         {"Title", "Mrs"},
                                         {"SpouseID", "8001015009087"},
                                         {"IDNumber", "7902025008086"},
                                         {"ParentId", "57"}}));
  std::vector<std::string> expected = {
      "UPDATE DL01MAST.db SET DL01_DESCRIPTION = \"Nkosi\"  ",
      " ,DL01_POS_ADDR1 = \"PO Box 12\" ",
      " ,DL01_POS_ADDR2 = \"\" ",
      ", DL01_POS_ADDR3 = \"\" ",
      ", DL01_POS_CODE = \"0001\" ",
      ", DL01_DEL_ADDR1 = \"\" ",
      ", DL01_DEL_ADDR2 = \"\" ",
      ", DL01_DEL_ADDR3 = \"\" ",
      ", DL01_DEL_CODE  = \"\" ",
      ", DL01_PHONE1    = \"012 345 6789\" ",
      ", DL01_PHONE2    = \"\" ",
      ", DL01_TITLE     = \"Mrs\" ",
      ", DL01_PHONE3    = \"\" ",
      ", DL01_MOTHER_ID = \"8001015009087\" ",
      ", DL01_FATHER_ID = \"7902025008086\" ",
      " WHERE DL01_CODE = \"3\" +\"57\" ",
  };
  EXPECT_EQ(lines, expected);
}

TEST(StatementTextTest, LearnerStatementWithEachStatusPair) {
  std::map<std::string, std::string> learner = {
      {"SName", "O'Neill"}, {"Initials", "Z"}, {"FName", "Zoë"}, {"Gender", "F"}, {"HomeLanguage", "English"},
      {"SecondName", "Anne"}, {"NickName", "Zo"}, {"IDNo", "1001010001088"}, {"MedicalAidNo", "M1"},
      {"MedicalaidName", "Discovery"}, {"MedicalaidMember", "J O'Neill"}, {"LearnerID", "4711"}};
  auto link = Row({{"Parentid", "57"}});
  auto klass = Row({{"ClassName", "Gr 1A"}});
  std::vector<std::string> head = {
      "UPDATE CH01MAST.db SET CH01_SURNAME = \"O'Neill\"  ",
      ", CH01_INITIALS = \"Z\" ",
      ", CH01_NAME = \"Zoë\" ",
      ", CH01_DL01_CODE = \"3\"+\"57\" ",
      ", CH01_SEX = \"F\" ",
      ", CH01_HOME_LANG =\"English\" ",
      ", CH01_SECOND_NAME  =\"Anne\" ",
      ", CH01_NICK_NAME = \"Zo\" ",
      ", CH01_ID_NO  =  \"1001010001088\" ",
      ", CH01_MEDICAL_NO= \"M1\" ",
      ", CH01_MEDICAL_NAME= \"Discovery\" ",
      ", CH01_MEDICAL_MEMBER = \"J O'Neill\" ",
      ", CH01_SMART_CODE =\"4711\" ",
  };
  const std::string last = "Where CH01_code = \"4711\" ";

  learner["Status"] = "A";
  auto departed = head;
  departed.insert(departed.end(), {",  CH01_STATUS =  \"I\" ", ",  CH01_CLASS =  \"ZZ\" ", last});
  EXPECT_EQ(LearnerStatementLines(Row(learner), link, klass), departed);

  learner["Status"] = "C";
  auto current = head;
  current.insert(current.end(), {", CH01_STATUS = \"A\" ", ", CH01_CLASS = \"Gr 1A\" ", last});
  EXPECT_EQ(LearnerStatementLines(Row(learner), link, klass), current);

  for (const char* other : {"", "a", "I", "A ", "AC"}) {
    learner["Status"] = other;
    auto plain = head;
    plain.push_back(last);
    EXPECT_EQ(LearnerStatementLines(Row(learner), link, klass), plain) << "status \"" << other << "\"";
  }
}

TEST(StatementTextTest, NoLinkGivesTheBarePrefixAndQuotesAreDoubled) {
  auto lines = LearnerStatementLines(Row({{"SName", "say \"hi\""}, {"LearnerID", "9"}}), Row({}), Row({}));
  EXPECT_EQ(lines[0], "UPDATE CH01MAST.db SET CH01_SURNAME = \"say \"\"hi\"\"\"  ");
  EXPECT_EQ(lines[3], ", CH01_DL01_CODE = \"3\"+\"\" ");
}

TEST(StatementTextTest, ClassStatements) {
  auto klass = Row({{"ClassName", "Gr 2B"}, {"EdCode", "ED7"}});
  EXPECT_EQ(ClassCodeStatementLines(klass),
            (std::vector<std::string>{"UPDATE DL00CODE.DB  SET Dl00_CODE = \"Gr 2B\"  ",
                                      " ,Dl00_DESCRIPTION = \"ED7\" ", " WHERE Dl00_CODE = \"Gr 2B\" "}));
  EXPECT_EQ(ClassMasterStatementLines(klass),
            (std::vector<std::string>{"UPDATE CLASSMAS.DB SET CL01_CODE = \"Gr 2B\"  ", " ,CL01_TEACHER = \"ED7\" ",
                                      " WHERE CL01_CODE = \"Gr 2B\" "}));
}

}  // namespace
}  // namespace varnholt
