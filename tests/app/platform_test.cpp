// Start-up helpers and the platform layer: box texts, the title, drive C:, the real dialogs' set-up.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/error_box.h"
#include "app/platform/drive_c.h"
#include "app/platform/environment.h"
#include "app/platform/qt_platform_services.h"
#include "app/platform/recording_platform_services.h"
#include "app/startup.h"
#include "base/utf8_path.h"

namespace varnholt {
namespace {

namespace fs = std::filesystem;

TEST(ErrorBoxTextTest, AddsAFullStopOnlyAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(ErrorBoxText("File not found"), "File not found.");
  EXPECT_EQ(ErrorBoxText("Index out of range 7"), "Index out of range 7.");
  EXPECT_EQ(ErrorBoxText("Key violation:"), "Key violation:.");
  EXPECT_EQ(ErrorBoxText("path/"), "path/.");
  EXPECT_EQ(ErrorBoxText(QString::fromUtf8("Fehler \xc3\xa4")), QString::fromUtf8("Fehler \xc3\xa4."));
  EXPECT_EQ(ErrorBoxText("Done."), "Done.");
  EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!");
  EXPECT_EQ(ErrorBoxText("(x)"), "(x)");
  EXPECT_EQ(ErrorBoxText("trailing "), "trailing ");
  EXPECT_EQ(ErrorBoxText("a-b,"), "a-b,");
  EXPECT_EQ(ErrorBoxText("line\n"), "line\n");
  EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(RunOperatorClickTest, ShowsTheErrorOnceAfterDiscardingPendingRows) {
  std::vector<std::string> calls;
  auto discard = [&] { calls.push_back("discard"); };
  auto show = [&](const QString& text) { calls.push_back("show " + text.toStdString()); };

  RunOperatorClick([&] { calls.push_back("click"); }, discard, show);
  EXPECT_EQ(calls, std::vector<std::string>({"click"}));

  calls.clear();
  RunOperatorClick([] { throw std::runtime_error("Dl01mast: Key violation"); }, discard, show);
  EXPECT_EQ(calls, std::vector<std::string>({"discard", "show Dl01mast: Key violation."}));

  // Nothing escapes, whatever is thrown; a failing discard (its save) does not hide the error but
  // adds the lines that the error does not already say.
  calls.clear();
  RunOperatorClick([] { throw 42; }, [] { throw std::runtime_error("discard failed"); }, show);
  EXPECT_EQ(calls, std::vector<std::string>({"show Unknown error\ndiscard failed."}));
  calls.clear();
  RunOperatorClick([] { throw std::runtime_error("A.DB: cannot write\nB.DB: cannot write"); },
                   [] { throw std::runtime_error("A.DB: cannot write\nB.DB: cannot write"); }, show);
  EXPECT_EQ(calls, std::vector<std::string>({"show A.DB: cannot write\nB.DB: cannot write."}));
}

TEST(ApplicationTitleTest, NameUpToTheFirstFullStopWithTheRestInLowerCase) {
  EXPECT_EQ(ApplicationTitle("/usr/local/bin/varnholt-import"), "varnholt-import");
  EXPECT_EQ(ApplicationTitle("C:/Program Files/VarnholtImport.exe"), "Varnholtimport");
  EXPECT_EQ(ApplicationTitle("/opt/VARNHOLT.Import.EXE"), "Varnholt");
  EXPECT_EQ(ApplicationTitle("vARNHOLT"), "varnholt");
  EXPECT_EQ(ApplicationTitle("/x/.hidden"), "");
  EXPECT_EQ(ApplicationTitle("/x/Q"), "Q");
}

TEST(DriveCTest, LivesUnderTheDataHome) {
  EXPECT_EQ(DriveCFolder("/data", "/home/op"), fs::path("/data/varnholt-import/drive_c"));
  EXPECT_EQ(DriveCFolder(nullptr, "/home/op"), fs::path("/home/op/.local/share/varnholt-import/drive_c"));
  EXPECT_EQ(DriveCFolder("", "/home/op"), fs::path("/home/op/.local/share/varnholt-import/drive_c"));
  EXPECT_EQ(DriveCFolder("relative/data", "/home/op"), fs::path("/home/op/.local/share/varnholt-import/drive_c"));
}

TEST(DriveCTest, MapsDriveCPathsIntoTheFolder) {
  const fs::path c = "/d/drive_c";
  EXPECT_EQ(MapDriveCPath("c:\\Varnholt import.csv", c), c / "Varnholt import.csv");
  EXPECT_EQ(MapDriveCPath("C:/reports\\x.csv", c), c / "reports" / "x.csv");
  EXPECT_EQ(MapDriveCPath("d:\\x.csv", c), fs::path("d:\\x.csv"));
  EXPECT_EQ(MapDriveCPath("Varnholt import.csv", c), fs::path("Varnholt import.csv"));
}

TEST(DriveCTest, EnvironmentCreatesTheFolderOnFirstUse) {
  const fs::path root = fs::path(VARNHOLT_TEST_OUTPUT_DIR) / "drive_c_first_use";
  fs::remove_all(root);
  RegionalSettings regional = SystemRegionalSettings();
  regional.date_separator = '-';
  const CommandEnvironment environment = MakeCommandEnvironment(root / "drive_c", regional);
  EXPECT_TRUE(fs::is_directory(root / "drive_c"));
  EXPECT_FALSE(fs::exists(PathFromUtf8(environment.report_file)));  // the report is never created here
  EXPECT_EQ(environment.report_file, Utf8FromPath(root / "drive_c" / "Varnholt import.csv"));
  EXPECT_EQ(environment.skip_marker, "Varnholt import.csv");
  EXPECT_EQ(environment.regional.date_separator, '-');
  EXPECT_EQ(environment.regional.short_date_format, "yyyy/mm/dd");
  EXPECT_EQ(environment.regional.long_time_format, "hh:nn:ss");
}

TEST(DriveCTest, ProcessEnvironmentDecides) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string saved_value = saved != nullptr ? saved : "";
  setenv("XDG_DATA_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(DriveCFolder(), fs::path("/tmp/xdg-test/varnholt-import/drive_c"));
  if (saved != nullptr) {
    setenv("XDG_DATA_HOME", saved_value.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

TEST(DriveCTest, WithoutHomeTheAccountDatabaseGivesTheHomeFolder) {
  const passwd* entry = getpwuid(getuid());
  if (entry == nullptr || entry->pw_dir == nullptr) GTEST_SKIP() << "no account entry";
  const fs::path expected = fs::path(entry->pw_dir) / ".local/share/varnholt-import/drive_c";
  const char* home = std::getenv("HOME");
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::string saved_home = home != nullptr ? home : "", saved_xdg = xdg != nullptr ? xdg : "";
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "", 1);
  const fs::path with_empty_home = DriveCFolder();
  unsetenv("HOME");
  const fs::path without_home = DriveCFolder();
  if (home != nullptr) setenv("HOME", saved_home.c_str(), 1);
  if (xdg != nullptr) setenv("XDG_DATA_HOME", saved_xdg.c_str(), 1);
  EXPECT_EQ(with_empty_home, expected);
  EXPECT_EQ(without_home, expected);
}

TEST(ApplicationFontTest, LoadsMsSansSerifWhenPresentAndFallsBackQuietly) {
  if (fs::exists("/usr/share/wine/fonts/ms_sans_serif.ttf")) {
    EXPECT_TRUE(UseApplicationFont());
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), "MS Sans Serif");
  }
  EXPECT_FALSE(UseApplicationFont("/nonexistent/font.ttf"));
  EXPECT_EQ(QApplication::font().pixelSize(), 11);
  UseApplicationFont();
}

TEST(RecordingPlatformTest, BoxLinesAreOneLineEach) {
  EXPECT_EQ(BoxLine("Finished"), "box: Finished");
  EXPECT_EQ(BoxLine("a\r\nb\nc"), "box: a b c");
}

TEST(QtPlatformTest, OpenDialogShowsTheNameAsItsOnlyFilterAndAcceptsNewNames) {
  auto dialog = QtPlatformServices::MakeOpenDialog(nullptr, {"*.mdb"});
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
  EXPECT_EQ(dialog->nameFilters(), QStringList({"*.mdb"}));
  EXPECT_FALSE(dialog->testOption(QFileDialog::ReadOnly));
  dialog->show();
  auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->text(), "*.mdb");
  auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  EXPECT_FALSE(types->isVisible());
  EXPECT_FALSE(dialog->windowTitle().isEmpty());

  // A wildcard in the name box filters the list; the dialog stays up.
  const fs::path folder = fs::path(VARNHOLT_TEST_OUTPUT_DIR) / "open_dialog";
  fs::create_directories(folder);
  name->setText(QString::fromStdString((folder / "*.txt").string()));
  static_cast<QDialog*>(dialog.get())->accept();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->nameFilters(), QStringList({"*.txt"}));
  EXPECT_EQ(dialog->directory().absolutePath(), QString::fromStdString(folder.string()));
  EXPECT_FALSE(types->isVisible());

  const fs::path missing = fs::path(VARNHOLT_TEST_OUTPUT_DIR) / "no such school.mdb";
  fs::remove(missing);
  name->setText(QString::fromStdString(missing.string()));
  static_cast<QDialog*>(dialog.get())->accept();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->selectedFiles(), QStringList({QString::fromStdString(missing.string())}));
}

TEST(QtPlatformTest, FolderBrowserIsApplicationModalAndShowsFoldersOnly) {
  auto dialog = QtPlatformServices::MakeFolderBrowser("Select a directory");
  EXPECT_EQ(dialog->parent(), nullptr);
  EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
  EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
  EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
  EXPECT_EQ(dialog->windowTitle(), "Select a directory");
}

// Cancels the modal dialog as soon as it is up.
void CancelNextModal() {
  QTimer::singleShot(0, [] {
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      modal->reject();
    } else {
      CancelNextModal();
    }
  });
}

TEST(QtPlatformTest, CancelledDialogsAnswerNothing) {
  QtPlatformServices platform("varnholt-import");
  CancelNextModal();
  EXPECT_EQ(platform.ExecuteOpenDialog(nullptr, {"*.mdb"}), std::nullopt);
  CancelNextModal();
  EXPECT_EQ(platform.BrowseForFolder("Select a directory"), QString());
}

TEST(QtPlatformTest, PasswordDialogNamesTheTableAndHidesTheTyping) {
  auto dialog = QtPlatformServices::MakePasswordDialog(nullptr, "CH01MAST.DB");
  EXPECT_EQ(dialog->windowTitle(), "Enter password");
  EXPECT_TRUE(dialog->labelText().contains("CH01MAST.DB")) << dialog->labelText().toStdString();
  EXPECT_EQ(dialog->textEchoMode(), QLineEdit::Password);
  EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);

  QtPlatformServices platform("varnholt-import");
  CancelNextModal();
  EXPECT_EQ(platform.AskTablePassword(nullptr, "CH01MAST.DB"), std::nullopt);
  // Typed and accepted: the text as typed.
  QTimer::singleShot(0, [] {
    if (auto* modal = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
      modal->setTextValue("Bursar24");
      modal->accept();
    }
  });
  EXPECT_EQ(platform.AskTablePassword(nullptr, "CH01MAST.DB"), std::optional<QString>("Bursar24"));
}

TEST(QtPlatformTest, BoxesCarryTheTitleOneOkButtonAndTheirIcon) {
  QtPlatformServices platform("varnholt-import");
  auto error = platform.MakeErrorBox(nullptr, "Ch01mast: Table is busy.");
  EXPECT_EQ(error->windowTitle(), "varnholt-import");
  EXPECT_EQ(error->text(), "Ch01mast: Table is busy.");
  EXPECT_EQ(error->icon(), QMessageBox::Critical);
  EXPECT_EQ(error->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(error->buttons().size(), 1);

  auto message = platform.MakeMessageBox(nullptr, "Finished");
  EXPECT_EQ(message->windowTitle(), "varnholt-import");
  EXPECT_EQ(message->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(message->buttons().size(), 1);

  // A picture of the box next to the window's, to look at.
  error->show();
  EXPECT_TRUE(error->grab().save(QString(VARNHOLT_TEST_OUTPUT_DIR) + "/error-box.png", "PNG"));
  error->hide();

  CancelNextModal();  // a box's Escape/close is its OK
  platform.ShowError(nullptr, "x");
}

}  // namespace
}  // namespace varnholt
