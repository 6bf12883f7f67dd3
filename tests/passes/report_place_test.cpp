// Where the report goes when this user may not write its fixed file: a folder standing at the
// report's name is refused on both systems as Windows refuses a standard user's file in C:\.
#include <gtest/gtest.h>

#include <fstream>

#include "base/utf8_path.h"
#include "tests/passes/school_fixture.h"

namespace varnholt::testing {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

sample::School OneClassSchool() {
  sample::School s;
  for (int n = 1; n <= 3; ++n) s.learners.push_back(MakeLearner(n));
  s.parents.push_back(MakeParent(1));
  s.links = {Link(1, 10001, 1)};
  s.classes = {MakeClass(101, "Gr 1A", "T01")};
  return s;
}

class ReportPlaceTest : public SchoolTest {
 protected:
  void SetUp() override {
    SchoolTest::SetUp();
    // Its folder is missing, as on a PC where Windows never redirected a write.
    report_fallback_ = dir_ / "AppData" / "Local" / "VirtualStore" / "Varnholt import.csv";
  }
};

TEST_F(ReportPlaceTest, DeniedReportIsAddedToTheFallbackAndTheNoticeComesOncePerRun) {
  MakeSchool(OneClassSchool());
  std::filesystem::create_directory(report_);  // denied
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_EQ(commands().TakeReportPlaceNotice(), Utf8FromPath(report_fallback_));
  ASSERT_EQ(Click(&Commands::Button3Click), "");
  EXPECT_EQ(commands().TakeReportPlaceNotice(), std::nullopt);
  EXPECT_EQ(form_.messages, (std::vector<std::string>{"Finished", "Finished"}));  // the command's own text unchanged
  EXPECT_EQ(TargetRows("CH01MAST.DB").size(), 3u);

  const std::string report = ReadText(report_fallback_);
  ASSERT_EQ(report.size() % 2, 0u);
  EXPECT_EQ(report.substr(0, report.size() / 2), report.substr(report.size() / 2));  // two blocks, one a command
  EXPECT_NE(report.find(",Parents   ,1 , Children   ,3,\r\n"), std::string::npos) << report;
  EXPECT_TRUE(std::filesystem::is_directory(report_));
}

TEST_F(ReportPlaceTest, ReportWrittenInItsPlaceLeavesTheFallbackAloneAndTellsNothing) {
  MakeSchool(OneClassSchool());
  ASSERT_EQ(Click(&Commands::Button2Click), "");
  EXPECT_FALSE(ReadText(report_).empty());
  EXPECT_FALSE(std::filesystem::exists(report_fallback_.parent_path()));
  EXPECT_EQ(commands().TakeReportPlaceNotice(), std::nullopt);
}

TEST_F(ReportPlaceTest, DeniedReportAndFallbackFailTheCommandNamingBoth) {
  MakeSchool(OneClassSchool());
  std::filesystem::create_directory(report_);
  std::filesystem::create_directories(report_fallback_);  // denied too
  const std::string error = Click(&Commands::Button2Click);
  EXPECT_NE(error.find("\"" + Utf8FromPath(report_) + "\""), std::string::npos) << error;
  EXPECT_NE(error.find("\"" + Utf8FromPath(report_fallback_) + "\""), std::string::npos) << error;
  EXPECT_TRUE(form_.messages.empty());  // no "Finished" for a report not written
  EXPECT_EQ(commands().TakeReportPlaceNotice(), std::nullopt);
}

TEST_F(ReportPlaceTest, WithoutAFallbackADeniedReportFailsNamingItAlone) {
  report_fallback_.clear();  // as on Linux, where drive C: is a folder of the user's own
  MakeSchool(OneClassSchool());
  std::filesystem::create_directory(report_);
  const std::string error = Click(&Commands::Button2Click);
  EXPECT_NE(error.find("\"" + Utf8FromPath(report_) + "\""), std::string::npos) << error;
  EXPECT_EQ(error.find("VirtualStore"), std::string::npos) << error;
  EXPECT_TRUE(form_.messages.empty());
}

}  // namespace
}  // namespace varnholt::testing
