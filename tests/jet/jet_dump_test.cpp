// jet-dump: what it prints, and how it fails.
#include "tools/jet-dump/jet_dump.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/jet/jet_test_files.h"

namespace varnholt {
namespace {

using jet::Cell;

struct DumpRun {
  int status;
  std::string out;
  std::string err;
};

DumpRun Dump(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunJetDump(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(JetDumpTest, PrintsEachTableAsCsvOfFieldTexts) {
  ScratchDir dir;
  const std::string path = dir.File("dump.mdb");
  jet::WriteOptions options;
  options.password = "Talvern";
  jet::WriteDatabase(
      path,
      {{"Learners",
        {{"Id", jet::ColumnType::kLong},
         {"Name", jet::ColumnType::kText, 40},
         {"Admitted", jet::ColumnType::kDateTime},
         {"Active", jet::ColumnType::kBoolean},
         {"Fee", jet::ColumnType::kCurrency}},
        {{Cell{int64_t{1}}, Cell{std::string("O'Neill, \"Jr\"")}, Cell{jet::DateTime::FromCivil(2024, 2, 29, 13, 5, 9)},
          Cell{true}, Cell{jet::Currency{123400}}},
         {Cell{int64_t{-2}}, Cell{std::string("")}, Cell{jet::DateTime::FromCivil(2024, 3, 1)}, Cell{false}, Cell{}},
         {Cell{}, Cell{std::string("two\nlines")}, Cell{}, Cell{false}, Cell{jet::Currency{-5}}}}},
       {"Classes",
        {{"Classid", jet::ColumnType::kLong}, {"ClassName", jet::ColumnType::kText, 20}},
        {{Cell{int64_t{7}}, Cell{std::string("Grade 1")}}}}},
      options);
  const std::string learners =
      "Id,Name,Admitted,Active,Fee\n"
      "1,\"O'Neill, \"\"Jr\"\"\",2024/02/29 13:05:09,True,12.34\n"
      "-2,\"\",2024/03/01,False,\n"
      ",\"two\nlines\",,False,-0.0005\n";
  const std::string classes = "Classid,ClassName\n7,Grade 1\n";

  DumpRun all = Dump({path, "--password", "Talvern"});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, learners + "\n" + classes);
  DumpRun one = Dump({"--password", "Talvern", path, "classes"});
  EXPECT_EQ(one.out, classes);

  DumpRun wrong = Dump({path, "Classes"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "jet-dump: Not a valid password for '" + path + "'\n");
  DumpRun missing = Dump({path, "Teachers", "--password", "Talvern"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "jet-dump: Cannot find the table 'Teachers' in '" + path + "'\n");
  EXPECT_EQ(Dump({}).status, 2);
  EXPECT_EQ(Dump({path, "--password"}).status, 2);
}

}  // namespace
}  // namespace varnholt
