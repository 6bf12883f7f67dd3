// The press tool as a process: exit codes, its "box:" lines and its pictures.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include <QImage>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include "tests/support/format_audit.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/table_checker.h"
#include "tests/support/unprotected_copy.h"

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

// A small sample school, made afresh; returns its folder.
std::filesystem::path MakeSchool(const char* name) {
  const std::filesystem::path school = std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / name;
  std::filesystem::remove_all(school);
  QProcess make;
  make.start(VARNHOLT_MAKE_SAMPLE, {QString::fromStdString(school.string()), "--learners", "60", "--parents", "45",
                                    "--classes", "8"});
  EXPECT_TRUE(make.waitForFinished(60000));
  EXPECT_EQ(make.exitCode(), 0);
  return school;
}

TEST(PressTest, RunsTheRealCommandsOnASampleSchool) {
  const std::filesystem::path school = MakeSchool("press_school");
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

TEST(PressTest, AProtectedTargetTableTakesThePasswordOnceAndCancelWritesNothing) {
  const std::filesystem::path school = std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / "press_realistic_school";
  std::filesystem::remove_all(school);
  QProcess make;
  make.start(VARNHOLT_MAKE_SAMPLE, {QString::fromStdString(school.string()), "--learners", "60", "--parents", "45",
                                    "--classes", "8", "--target-holds", "0.5", "--realistic-target"});
  ASSERT_TRUE(make.waitForFinished(60000));
  ASSERT_EQ(make.exitCode(), 0);
  const QStringList made = QString::fromUtf8(make.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  ASSERT_FALSE(made.isEmpty());
  const QString password_line = made.last();
  ASSERT_TRUE(password_line.startsWith("password of CH01MAST.DB: ")) << password_line.toStdString();
  const QString password = password_line.section(": ", 1);

  const QString source = QString::fromStdString((school / "torbek.mdb").string());
  const std::filesystem::path target = school / "varnholt";
  auto snapshot = [&] {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(target)) {
      std::ifstream in(e.path(), std::ios::binary);
      files[e.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
  };
  const auto before = snapshot();
  const QStringList args = {"--source", source, "--target", QString::fromStdString(target.string()), "--drive-c",
                            DriveC("realistic")};
  const PressRun cancelled = Press(args + QStringList{"IMPORT INTO VARNHOLT", "Update"});
  EXPECT_EQ(cancelled.exit_code, 0) << cancelled.err.toStdString();
  ASSERT_EQ(cancelled.out_lines.size(), 2);
  EXPECT_TRUE(cancelled.out_lines[0].startsWith(
      "box: Insufficient table rights for operation. Password required. Table: "))
      << cancelled.out_lines[0].toStdString();
  EXPECT_TRUE(cancelled.out_lines[0].endsWith("CH01MAST.DB.")) << cancelled.out_lines[0].toStdString();
  const PressRun wrong = Press(args + QStringList{"--table-password", password.toLower(), "IMPORT INTO VARNHOLT"});
  ASSERT_EQ(wrong.out_lines.size(), 1);
  EXPECT_TRUE(wrong.out_lines[0].startsWith("box: Invalid password given.")) << wrong.out_lines[0].toStdString();
  EXPECT_TRUE(snapshot() == before);

  const PressRun run = Press(args + QStringList{"--table-password", password, "IMPORT INTO VARNHOLT", "Update"});
  EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
  EXPECT_EQ(run.out_lines, QStringList({"box: Finished", "box: Finished"}));
}

TEST(PressTest, ARealisticTargetTakesImportAndUpdateAndEveryFamilyStaysSound) {
  namespace fs = std::filesystem;
  const fs::path school = fs::path(VARNHOLT_TEST_OUTPUT_DIR) / "press_realistic_indexed_school";
  fs::remove_all(school);
  QProcess make;
  make.start(VARNHOLT_MAKE_SAMPLE, {QString::fromStdString(school.string()), "--learners", "400", "--parents", "300",
                                    "--classes", "12", "--target-holds", "0.3", "--realistic-target"});
  ASSERT_TRUE(make.waitForFinished(60000));
  ASSERT_EQ(make.exitCode(), 0);
  const QString password = QString::fromUtf8(make.readAllStandardOutput()).trimmed().section(": ", -1);
  const fs::path target = school / "varnholt";
  for (const char* index : {"CH01MAST.XG0", "CH01MAST.YG0", "DL01MAST.X02", "DL01MAST.Y02"}) {
    EXPECT_TRUE(fs::exists(target / index)) << index;
  }
  const PressRun run = Press({"--source", QString::fromStdString((school / "torbek.mdb").string()), "--target",
                              QString::fromStdString(target.string()), "--drive-c", DriveC("realistic_indexed"),
                              "--table-password", password, "IMPORT INTO VARNHOLT", "Update"});
  EXPECT_EQ(run.exit_code, 0) << run.err.toStdString();
  EXPECT_EQ(run.out_lines, QStringList({"box: Finished", "box: Finished"}));
  {
    // Learner 1, Zoë Müller, under her surname without regard to case: a-z in capitals, ü (0x81
    // in code page 437) as it is.
    std::ifstream in(target / "CH01MAST.XG0", std::ios::binary);
    const std::string x(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(x.find("M\x81LLER"), std::string::npos);
  }
  // The checker rebuilds every maintained index from the rows and compares; the protected table is
  // looked at through an unscrambled copy.
  const fs::path plain = school / "unprotected";
  fs::create_directories(plain);
  for (const char* name : {"CH01MAST.DB", "DL01MAST.DB", "DL00CODE.DB", "CLASSMAS.DB"}) {
    SCOPED_TRACE(name);
    const std::string db = paradox::testing::UnprotectedCopy((target / name).string(), plain.string());
    const paradox::CheckResult check = paradox::CheckTable(db);
    EXPECT_TRUE(check.ok()) << check.Summary();
    EXPECT_GT(check.records, 0u);
    if (paradox::testing::HavePxlib()) {
      std::string error;
      EXPECT_EQ(paradox::testing::ReadWithPxlib(db, &error).size(), check.records);
      EXPECT_EQ(error, "");
    }
    if (fs::exists(fs::path(VARNHOLT_SHARED_DIR) / "tools" / "pxinspect.py")) {
      std::vector<std::string> family;
      for (const auto& e : fs::directory_iterator(plain)) {
        if (e.path().stem() == fs::path(name).stem() && e.path().extension() != ".VAL") {
          family.push_back(e.path().string());
        }
      }
      EXPECT_EQ(paradox::testing::FormatAuditComplaints(family), "");
    }
  }
}

TEST(PressTest, PicturesTheWindowBeforeTheFirstClickAndUnderEachBox) {
  const std::filesystem::path school = MakeSchool("press_pictures_school");
  const std::filesystem::path pictures = school / "pictures";
  const std::filesystem::path failed = school / "failed_pictures";
  const QString target = QString::fromStdString((school / "varnholt").string());
  const PressRun run = Press({"--source", QString::fromStdString((school / "torbek.mdb").string()), "--target", target,
                              "--drive-c", DriveC("pictures"), "--pictures", QString::fromStdString(pictures.string()),
                              "IMPORT INTO VARNHOLT", "Update"});
  ASSERT_EQ(run.exit_code, 0) << run.err.toStdString();
  ASSERT_EQ(run.out_lines, QStringList({"box: Finished", "box: Finished"}));
  // No source: the import's error box instead.
  const PressRun error_run = Press({"--source", "", "--target", target, "--drive-c", DriveC("pictures"), "--pictures",
                                    QString::fromStdString(failed.string()), "IMPORT INTO VARNHOLT"});
  ASSERT_EQ(error_run.exit_code, 0) << error_run.err.toStdString();

  const QImage window(QString::fromStdString((pictures / "window.png").string()));
  const QImage finished(QString::fromStdString((pictures / "box-1.png").string()));
  const QImage error(QString::fromStdString((failed / "box-1.png").string()));
  ASSERT_FALSE(window.isNull());
  ASSERT_FALSE(finished.isNull());
  ASSERT_FALSE(error.isNull());
  EXPECT_TRUE(std::filesystem::exists(pictures / "box-2.png"));
  EXPECT_FALSE(std::filesystem::exists(pictures / "box-3.png"));
  // The whole window is in the picture, at least as large as its outer size.
  EXPECT_GE(window.width(), 271);
  EXPECT_GE(window.height(), 482);
  // A box covers the middle of the window and leaves its corners as they were.
  ASSERT_EQ(finished.size(), window.size());
  const QPoint corner(window.width() / 8, window.height() - window.height() / 16);
  const QRect middle(window.width() / 2 - 40, window.height() / 2 - 20, 80, 40);
  EXPECT_EQ(finished.pixel(corner), window.pixel(corner));
  EXPECT_NE(finished.copy(middle), window.copy(middle));
  EXPECT_NE(error, finished);
}

TEST(PressTest, APicturesFolderThatCannotBeMadeRunsNothing) {
  const std::filesystem::path school = MakeSchool("press_no_pictures_school");
  const std::filesystem::path blocked = school / "file";
  std::ofstream(blocked) << "not a folder";
  const PressRun run = Press({"--source", QString::fromStdString((school / "torbek.mdb").string()), "--target",
                              QString::fromStdString((school / "varnholt").string()), "--drive-c",
                              DriveC("no_pictures"), "--pictures", QString::fromStdString((blocked / "pictures").string()),
                              "IMPORT INTO VARNHOLT"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(run.out_lines.isEmpty());
  EXPECT_TRUE(run.err.contains("pictures")) << run.err.toStdString();
  EXPECT_FALSE(std::filesystem::exists(DriveC("no_pictures").toStdString() + "/Varnholt import.csv"));
}

TEST(PressTest, RefusesAMalformedCommandLine) {
  EXPECT_EQ(Press({"Update"}).exit_code, 2);
  EXPECT_EQ(Press({"--source", "a", "--target", "b", "--date-separator", "ab", "Update"}).exit_code, 2);
  EXPECT_EQ(Press({"--source", "a", "--target", "b", "--bogus", "x"}).exit_code, 2);
  EXPECT_EQ(Press({"--source", "a", "--target", "b", "Update", "--pictures"}).exit_code, 2);
}

}  // namespace
}  // namespace varnholt
