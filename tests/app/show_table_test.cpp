// The show-table tool as a process: its counts and rows against what our engine reads.
#include <filesystem>
#include <string>

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include "stores/paradox/table.h"

namespace varnholt {
namespace {

struct ShowRun {
  int exit_code;
  QStringList out_lines;
  QString err;
};

ShowRun ShowTable(const QStringList& arguments) {
  QProcess process;
  process.start(VARNHOLT_SHOW_TABLE, arguments);
  EXPECT_TRUE(process.waitForFinished(60000));
  ShowRun run;
  run.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out_lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

// A sample target holding half the school, so rows carry names and codes; `extra` adds options.
std::filesystem::path MakeTarget(const QStringList& extra = {}) {
  // A folder per test: CTest runs the tests of this file side by side.
  const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::filesystem::path school = std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / ("show_table_" + test);
  std::filesystem::remove_all(school);
  QProcess make;
  make.start(VARNHOLT_MAKE_SAMPLE, QStringList{QString::fromStdString(school.string()), "--learners", "40", "--parents",
                                               "30", "--classes", "6", "--target-holds", "0.5"} + extra);
  EXPECT_TRUE(make.waitForFinished(60000));
  EXPECT_EQ(make.exitCode(), 0);
  return school / "varnholt";
}

QString Path(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

TEST(ShowTableTest, CountsAndFirstRowsMatchTheEngine) {
  const std::filesystem::path target = MakeTarget();
  const ShowRun counts = ShowTable({Path(target / "CH01MAST.DB"), Path(target / "CLASSMAS.DB")});
  ASSERT_EQ(counts.exit_code, 0) << counts.err.toStdString();
  const auto learners = paradox::Table::Open((target / "CH01MAST.DB").string(), false);
  const auto classes = paradox::Table::Open((target / "CLASSMAS.DB").string(), false);
  EXPECT_EQ(counts.out_lines, QStringList({QStringLiteral("CH01MAST.DB: %1 rows").arg(learners->RecordCount()),
                                           QStringLiteral("CLASSMAS.DB: %1 rows").arg(classes->RecordCount())}));

  const ShowRun rows = ShowTable({"--rows", "2", "--fields", "ch01_code,CH01_SURNAME", Path(target / "CH01MAST.DB")});
  ASSERT_EQ(rows.exit_code, 0) << rows.err.toStdString();
  ASSERT_EQ(rows.out_lines.size(), 4);
  EXPECT_TRUE(rows.out_lines[1].startsWith("CH01_CODE")) << rows.out_lines[1].toStdString();
  const int surname = learners->FindField("CH01_SURNAME");
  for (int i = 0; i < 2; ++i) {
    const paradox::RowId row = learners->Rows()[static_cast<size_t>(i)];
    const QStringList cells = rows.out_lines[i + 2].split("  ", Qt::SkipEmptyParts);
    ASSERT_EQ(cells.size(), 2) << rows.out_lines[i + 2].toStdString();
    EXPECT_EQ(cells[0].trimmed().toStdString(), std::get<std::string>(learners->GetField(row, 0)));
    EXPECT_EQ(cells[1].trimmed().toStdString(), std::get<std::string>(learners->GetField(row, surname)));
  }
}

TEST(ShowTableTest, NamesWhatItCannotShow) {
  const std::filesystem::path target = MakeTarget();
  const ShowRun field = ShowTable({"--rows", "1", "--fields", "CH01_NOPE", Path(target / "CH01MAST.DB")});
  EXPECT_EQ(field.exit_code, 1);
  EXPECT_TRUE(field.err.contains("CH01MAST.DB") && field.err.contains("CH01_NOPE")) << field.err.toStdString();
  const ShowRun missing = ShowTable({Path(target / "NOTHERE.DB")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_TRUE(missing.err.contains("NOTHERE.DB")) << missing.err.toStdString();
  EXPECT_EQ(ShowTable({}).exit_code, 2);
  EXPECT_EQ(ShowTable({"--rows", "-1", Path(target / "CH01MAST.DB")}).exit_code, 2);
}

TEST(ShowTableTest, OpensAPasswordProtectedTableOnlyWithItsPassword) {
  const std::filesystem::path target = MakeTarget({"--realistic-target"});
  const ShowRun refused = ShowTable({Path(target / "CH01MAST.DB")});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_TRUE(refused.err.contains("Password required")) << refused.err.toStdString();
  const ShowRun shown = ShowTable({"--table-password", "Bursar24", Path(target / "CH01MAST.DB")});
  EXPECT_EQ(shown.exit_code, 0) << shown.err.toStdString();
  ASSERT_EQ(shown.out_lines.size(), 1);
  EXPECT_TRUE(shown.out_lines[0].contains("20")) << shown.out_lines[0].toStdString();
}

}  // namespace
}  // namespace varnholt
