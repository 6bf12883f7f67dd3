#include <gtest/gtest.h>

#include "report/parent_link_report.h"
#include "base/windows_1252.h"

namespace varnholt {
namespace {

TEST(ReportTextTest, BlockLinesByteForByte) {
  ReportBlock block;
  block.parents = 450;
  block.children = 600;
  block.active = 500;
  block.inactive = 40;
  block.date_text = "12/08/2026";
  block.unlinked_ids = {"17", "a,b", "say \"x\""};
  std::vector<std::string> expected = {
      ",Parents   ,450 , Children   ,600,",
      "",
      "Children Active  ,500 ,Children Inactive  ,40,",
      "",
      "Children that doesnt have a parent link.,3,",
      "Date,12/08/2026,",
      "Children id not linked,17,",
      "Children id not linked,\"a,b\",",
      "Children id not linked,\"say \"\"x\"\"\",",
  };
  EXPECT_EQ(ReportLines(block), expected);
}

TEST(ReportTextTest, DateIsMonthDayYearWithTheRegionalSeparator) {
  std::tm noon{};
  noon.tm_year = 2026 - 1900;
  noon.tm_mon = 0;
  noon.tm_mday = 25;
  noon.tm_hour = 12;
  noon.tm_isdst = -1;
  std::time_t t = std::mktime(&noon);
  EXPECT_EQ(ReportDateText(t, '/'), "01/25/2026");
  EXPECT_EQ(ReportDateText(t, '-'), "01-25-2026");
}

TEST(ReportTextTest, TextGoesOutInWindows1252) {
  EXPECT_EQ(ToWindows1252("Zoë Müller"), "Zo\xEB M\xFCller");
  EXPECT_EQ(ToWindows1252("plain"), "plain");
  // Outside the code page: transliterated or a question mark, never dropped silently.
  std::string cjk = ToWindows1252("\xE4\xB8\xAD");
  EXPECT_FALSE(cjk.empty());
}

}  // namespace
}  // namespace varnholt
