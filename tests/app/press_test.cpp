// The press tool as a process: exit codes and its "box:" lines.
#include <filesystem>

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace varnholt {
namespace {

struct PressRun {
  int exit_code;
  QStringList out_lines;
  QString err;
};

PressRun Press(const QStringList& arguments) {
  QProcess process;
  process.start(VARNHOLT_PRESS, arguments);
  EXPECT_TRUE(process.waitForFinished(60000));
  PressRun run;
  run.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out_lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

QString DriveC(const char* name) {
  return QString::fromStdString((std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / "press_drive_c" / name).string());
}

TEST(PressTest, ClicksVisibleButtonsAndPrintsOnlyBoxLines) {
  const PressRun run = Press({"--source", "", "--target", "", "--drive-c", DriveC("visible"), "--date-separator", "-",
                         "IMPORT INTO VARNHOLT", "Update", "Browse", "&Close"});
  EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
  for (const QString& line : run.out_lines) EXPECT_TRUE(line.startsWith("box: ")) << line.toStdString();
  EXPECT_TRUE(std::filesystem::is_directory(DriveC("visible").toStdString()));
}

TEST(PressTest, ACaptionThatIsNoVisibleButtonRunsNothing) {
  for (const char* caption : {"Update 3", "Update2", "Button6", "Update 4", "Configure TORBEK", "Nothing"}) {
    SCOPED_TRACE(caption);
    const PressRun run = Press({"--source", "", "--target", "", "--drive-c", DriveC("hidden"), "Update", caption});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_TRUE(run.out_lines.isEmpty());
    EXPECT_TRUE(run.err.contains(caption)) << run.err.toStdString();
  }
}

TEST(PressTest, RunsTheRealCommandsOnASampleSchool) {
  const std::filesystem::path school = std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / "press_school";
  std::filesystem::remove_all(school);
  QProcess make;
  make.start(VARNHOLT_MAKE_SAMPLE, {QString::fromStdString(school.string()), "--learners", "60", "--parents", "45",
                                    "--classes", "8"});
  ASSERT_TRUE(make.waitForFinished(60000));
  ASSERT_EQ(make.exitCode(), 0);
  const QString source = QString::fromStdString((school / "torbek.mdb").string());
  const QString target = QString::fromStdString((school / "varnholt").string());
  const PressRun run = Press({"--source", source, "--target", target, "--drive-c", DriveC("school"),
                              "IMPORT INTO VARNHOLT", "Update", "IMPORT INTO VARNHOLT"});
  EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
  EXPECT_EQ(run.out_lines, QStringList({"box: Finished", "box: Finished", "box: Finished"}));
  EXPECT_TRUE(std::filesystem::is_regular_file(DriveC("school").toStdString() + "/Varnholt import.csv"));

  // An empty source location: one error box naming the problem, and the program goes on.
  const PressRun empty = Press({"--source", "", "--target", target, "--drive-c", DriveC("school"),
                                "IMPORT INTO VARNHOLT", "IMPORT INTO VARNHOLT"});
  EXPECT_EQ(empty.exit_code, 0);
  ASSERT_EQ(empty.out_lines.size(), 2);
  EXPECT_EQ(empty.out_lines[0], empty.out_lines[1]);
  EXPECT_TRUE(empty.out_lines[0].startsWith("box: Could not find file")) << empty.out_lines[0].toStdString();
}

TEST(PressTest, RefusesAMalformedCommandLine) {
  EXPECT_EQ(Press({"Update"}).exit_code, 2);
  EXPECT_EQ(Press({"--source", "a", "--target", "b", "--date-separator", "ab", "Update"}).exit_code, 2);
  EXPECT_EQ(Press({"--source", "a", "--target", "b", "--bogus", "x"}).exit_code, 2);
}

}  // namespace
}  // namespace varnholt
