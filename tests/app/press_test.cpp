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

TEST(PressTest, RefusesAMalformedCommandLine) {
  EXPECT_EQ(Press({"Update"}).exit_code, 2);
  EXPECT_EQ(Press({"--source", "a", "--target", "b", "--date-separator", "ab", "Update"}).exit_code, 2);
  EXPECT_EQ(Press({"--source", "a", "--target", "b", "--bogus", "x"}).exit_code, 2);
}

}  // namespace
}  // namespace varnholt
