// The main window on the offscreen platform: layout, keyboard, pickers, the error path.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "app/form/report_notice.h"
#include "app/platform/environment.h"
#include "app/platform/recording_platform_services.h"
#include "base/utf8_path.h"

namespace varnholt {
namespace {

using Box = RecordingPlatformServices::Box;
using BoxKind = RecordingPlatformServices::BoxKind;

// The real window, with its handlers counted and, where a test asks, made to fail.
class WatchedForm : public TForm1 {
 public:
  using TForm1::TForm1;

  void Button2Click(QObject* sender) override { Run("Button2", sender, [&] { TForm1::Button2Click(sender); }); }
  void Button3Click(QObject* sender) override { Run("Button3", sender, [&] { TForm1::Button3Click(sender); }); }
  void Button1Click(QObject* sender) override { Run("Button1", sender, [&] { TForm1::Button1Click(sender); }); }
  void Button6Click(QObject* sender) override { Run("Button6", sender, [&] { TForm1::Button6Click(sender); }); }
  void Button7Click(QObject* sender) override { Run("Button7", sender, [&] { TForm1::Button7Click(sender); }); }
  void Button8Click(QObject* sender) override { Run("Button8", sender, [&] { TForm1::Button8Click(sender); }); }

  // Handler names in the order they ran, each with the sender's object name.
  std::vector<std::string> ran;
  // Run instead of a handler's own step, after it has been counted (e.g. to throw or to press).
  std::map<std::string, std::function<void()>> instead;

 private:
  void Run(const std::string& name, QObject* sender, const std::function<void()>& own) {
    ran.push_back(name + (sender != nullptr ? "" : "(no sender)"));
    if (auto it = instead.find(name); it != instead.end()) {
      it->second();
    } else {
      own();
    }
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_c_ = std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / "drive_c" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    form_ = std::make_unique<WatchedForm>(platform_, MakeCommandEnvironment(drive_c_, SystemRegionalSettings()));
  }

  void ShowActive() {
    form_->show();
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  }

  RecordingPlatformServices platform_;
  std::filesystem::path drive_c_;
  std::unique_ptr<WatchedForm> form_;
};

struct Expected {
  const char* name;
  QWidget* widget;
  QString caption;
  QRect place;
  bool visible;
};

TEST_F(WindowTest, LayoutMatchesTheDesign) {
  ShowActive();
  TForm1& f = *form_;
  EXPECT_EQ(f.windowTitle(), "Varnholt Import");
  // The outer rectangle includes the platform's frame (the offscreen platform draws a thin one).
  EXPECT_EQ(f.frameGeometry(), QRect(191, 112, 271, 482));
  EXPECT_TRUE(f.frameGeometry().contains(f.geometry()));
  EXPECT_EQ(f.palette().color(QPalette::Window), f.palette().color(QPalette::Button));
  EXPECT_TRUE(f.autoFillBackground());
  if (std::filesystem::exists("/usr/share/wine/fonts/ms_sans_serif.ttf")) {
    EXPECT_EQ(QFontInfo(f.font()).family(), "MS Sans Serif");
  }
  EXPECT_EQ(f.font().pixelSize(), 11);

  const std::vector<Expected> buttons = {
      {"Button4", f.Button4, "Browse", {8, 48, 49, 25}, true},
      {"Button5", f.Button5, "Browse", {8, 168, 49, 25}, true},
      {"Button2", f.Button2, "IMPORT INTO VARNHOLT", {56, 200, 137, 25}, true},
      {"Button8", f.Button8, "Update 4", {0, 224, 75, 25}, false},
      {"Button7", f.Button7, "Update 3", {0, 256, 75, 25}, false},
      {"Button3", f.Button3, "Update", {80, 256, 75, 25}, true},
      {"Button1", f.Button1, "Update2", {176, 256, 75, 25}, false},
      {"Button6", f.Button6, "Button6", {176, 376, 75, 25}, false},
      {"BitBtn1", f.BitBtn1, "&Close", {168, 408, 75, 25}, true},
  };
  for (const Expected& e : buttons) {
    SCOPED_TRACE(e.name);
    auto* button = static_cast<QPushButton*>(e.widget);
    EXPECT_EQ(button->text(), e.caption);
    EXPECT_EQ(button->geometry(), e.place);
    EXPECT_EQ(button->isVisible(), e.visible);
    EXPECT_FALSE(button->autoDefault());
    EXPECT_FALSE(button->isDefault());
  }
  EXPECT_FALSE(f.BitBtn1->icon().isNull());
  EXPECT_TRUE(f.Button2->icon().isNull());

  for (const Expected& e : std::vector<Expected>{{"Edit1", f.Edit1, "", {64, 48, 121, 21}, true},
                                                 {"Edit2", f.Edit2, "", {64, 168, 121, 21}, true}}) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(static_cast<QLineEdit*>(e.widget)->text(), e.caption);
    EXPECT_EQ(e.widget->geometry(), e.place);
    EXPECT_TRUE(e.widget->isVisible());
  }

  // Labels keep their place and grow only as far as their text needs.
  const std::vector<Expected> labels = {
      {"Label1", f.Label1, "Configure TORBEK", {72, 8, 92, 13}, true},
      {"Label3", f.Label3, "Set Torbek Database Location", {40, 32, 151, 13}, true},
      {"Label2", f.Label2, "Import to Varnholt", {80, 120, 81, 13}, true},
      {"Label4", f.Label4, "Set Varnholt Database Location", {48, 152, 149, 13}, true},
  };
  for (const Expected& e : labels) {
    SCOPED_TRACE(e.name);
    auto* label = static_cast<QLabel*>(e.widget);
    EXPECT_EQ(label->text(), e.caption);
    EXPECT_EQ(label->pos(), e.place.topLeft());
    EXPECT_GE(label->width(), e.place.width());
    EXPECT_LE(label->width(), std::max(e.place.width(), label->sizeHint().width()));
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_EQ(label->height(), std::max(e.place.height(), label->sizeHint().height()));
    EXPECT_TRUE(label->isVisible());
  }

  // Resizing moves nothing.
  const QRect update = f.Button3->geometry();
  const QRect close = f.BitBtn1->geometry();
  f.resize(600, 700);
  QApplication::processEvents();
  EXPECT_EQ(f.Button3->geometry(), update);
  EXPECT_EQ(f.BitBtn1->geometry(), close);
}

TEST_F(WindowTest, TabVisitsTheVisibleControlsInOrderFromTheImportButton) {
  ShowActive();
  EXPECT_EQ(QApplication::focusWidget(), form_->Button2);
  const std::vector<QWidget*> expected = {form_->BitBtn1, form_->Edit1,   form_->Edit2,  form_->Button3,
                                          form_->Button4, form_->Button5, form_->Button2, form_->BitBtn1};
  for (QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
  // And back again with Shift+Tab.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), form_->Button2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), form_->Button5);
  EXPECT_TRUE(form_->ran.empty());
}

TEST_F(WindowTest, SpaceAndEnterRunTheImportFromTheStart) {
  ShowActive();
  // Only which handler runs matters here, not what the commands do with empty locations.
  form_->instead["Button2"] = [] {};
  form_->instead["Button3"] = [] {};
  ASSERT_EQ(QApplication::focusWidget(), form_->Button2);
  QTest::keyClick(form_->Button2, Qt::Key_Space);
  EXPECT_EQ(form_->ran, std::vector<std::string>({"Button2"}));
  QTest::keyClick(form_->Button2, Qt::Key_Return);
  QTest::keyClick(form_->Button2, Qt::Key_Enter);
  EXPECT_EQ(form_->ran, std::vector<std::string>({"Button2", "Button2", "Button2"}));

  // Enter runs only the button that has the focus: there is no default button.
  form_->Edit1->setFocus();
  QTest::keyClick(form_->Edit1, Qt::Key_Return);
  QTest::keyClick(form_->Edit1, Qt::Key_Escape);
  form_->Button3->setFocus();
  QTest::keyClick(form_->Button3, Qt::Key_Return);
  EXPECT_EQ(form_->ran, std::vector<std::string>({"Button2", "Button2", "Button2", "Button3"}));
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(platform_.boxes.empty());
}

TEST_F(WindowTest, AltCCloses) {
  ShowActive();
  // Alt with any other letter does nothing.
  QTest::keyClick(form_.get(), Qt::Key_U, Qt::AltModifier);
  QTest::qWait(200);
  EXPECT_TRUE(form_->isVisible());
  QTest::keyClick(form_.get(), Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form_->isVisible(); }, 2000));
  EXPECT_TRUE(form_->ran.empty());
}

TEST_F(WindowTest, CloseButtonClosesTheWindow) {
  ShowActive();
  form_->BitBtn1->click();
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(WindowTest, SourcePickerAsksForMdbFilesAndKeepsTheFieldOnCancel) {
  ShowActive();
  form_->Edit1->setText("  /old/school.mdb ");
  form_->Button4->click();  // no queued answer: cancelled
  EXPECT_EQ(form_->Edit1->text(), "  /old/school.mdb ");
  ASSERT_EQ(platform_.open_dialog_requests.size(), 1u);
  EXPECT_EQ(platform_.open_dialog_requests[0].file_name, "*.mdb");

  // A typed name of a file that does not exist goes into the field as it is.
  platform_.open_dialog_answers.push_back(QString("/nowhere/new school.mdb"));
  form_->Button4->click();
  EXPECT_EQ(form_->Edit1->text(), "/nowhere/new school.mdb");
  EXPECT_EQ(form_->SourceLocation(), "/nowhere/new school.mdb");
  EXPECT_TRUE(platform_.folder_prompts.empty());
}

TEST_F(WindowTest, TargetPickerFillsTheFieldAndEmptiesItOnCancel) {
  ShowActive();
  platform_.folder_answers.push_back("/data/varnholt");
  form_->Button5->click();
  EXPECT_EQ(form_->Edit2->text(), "/data/varnholt");
  form_->Button5->click();  // cancelled
  EXPECT_EQ(form_->Edit2->text(), "");
  EXPECT_EQ(platform_.folder_prompts, std::vector<QString>({"Select a directory", "Select a directory"}));
  EXPECT_TRUE(platform_.open_dialog_requests.empty());
}

TEST_F(WindowTest, LocationTextsReachTheCommandsUntrimmed) {
  form_->Edit1->setText(QString::fromUtf8(" C:\\Torbek\\sk\xc3\xb6ol.mdb "));
  form_->Edit2->setText("");
  EXPECT_EQ(form_->SourceLocation(), " C:\\Torbek\\sk\xc3\xb6ol.mdb ");
  EXPECT_EQ(form_->TargetLocation(), "");
}

TEST_F(WindowTest, AFailingCommandShowsOneBoxAndTheWindowStaysUsable) {
  ShowActive();
  form_->instead["Button3"] = [] { throw std::runtime_error("Ch01mast: Table is busy"); };
  form_->instead["Button2"] = [] {};
  form_->Button3->click();
  ASSERT_EQ(platform_.boxes.size(), 1u);
  EXPECT_EQ(platform_.boxes[0].kind, BoxKind::kError);
  EXPECT_EQ(platform_.boxes[0].text, "Ch01mast: Table is busy.");

  // The next command starts at once, from the keyboard too.
  form_->Button2->setFocus();
  QTest::keyClick(form_->Button2, Qt::Key_Space);
  EXPECT_EQ(form_->ran, std::vector<std::string>({"Button3", "Button2"}));
  EXPECT_EQ(platform_.boxes.size(), 1u);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(form_->Button3->isEnabled());
}

TEST_F(WindowTest, AProtectedTargetTableAsksForItsPasswordOncePerRun) {
  const std::filesystem::path school = std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / "window_realistic_school";
  std::filesystem::remove_all(school);
  QProcess make;
  make.start(VARNHOLT_MAKE_SAMPLE, {QString::fromStdString(school.string()), "--learners", "40", "--parents", "30",
                                    "--classes", "6", "--realistic-target"});
  ASSERT_TRUE(make.waitForFinished(60000));
  ASSERT_EQ(make.exitCode(), 0);
  const QString password =
      QString::fromUtf8(make.readAllStandardOutput()).trimmed().split('\n').last().section(": ", 1);
  form_->Edit1->setText(QString::fromStdString((school / "torbek.mdb").string()));
  form_->Edit2->setText(QString::fromStdString((school / "varnholt").string()));
  platform_.password_answer = password;
  form_->Button2->click();
  form_->Button3->click();
  form_->Button2->click();
  ASSERT_EQ(platform_.boxes.size(), 3u);
  for (const Box& box : platform_.boxes) EXPECT_EQ(box.text, "Finished");
  EXPECT_EQ(platform_.password_requests, std::vector<QString>{"CH01MAST.DB"});
}

TEST_F(WindowTest, AReportPutElsewhereIsNamedOnceARunAfterTheCommandsOwnBox) {
  // Linux never has a fallback; here one is given, and a folder at the report's name denies it.
  CommandEnvironment environment = MakeCommandEnvironment(drive_c_, SystemRegionalSettings());
  environment.report_fallback = Utf8FromPath(drive_c_ / "VirtualStore" / "Varnholt import.csv");
  std::filesystem::remove_all(drive_c_);
  std::filesystem::create_directories(PathFromUtf8(environment.report_file));
  form_ = std::make_unique<WatchedForm>(platform_, environment);
  const std::filesystem::path school = std::filesystem::path(VARNHOLT_TEST_OUTPUT_DIR) / "window_report_elsewhere";
  std::filesystem::remove_all(school);
  QProcess make;
  make.start(VARNHOLT_MAKE_SAMPLE, {QString::fromStdString(school.string()), "--learners", "5", "--parents", "3",
                                    "--classes", "2"});
  ASSERT_TRUE(make.waitForFinished(60000));
  ASSERT_EQ(make.exitCode(), 0);
  form_->Edit1->setText(QString::fromStdString((school / "torbek.mdb").string()));
  form_->Edit2->setText(QString::fromStdString((school / "varnholt").string()));
  form_->Button2->click();
  form_->Button3->click();
  ASSERT_EQ(platform_.boxes.size(), 3u);
  EXPECT_EQ(platform_.boxes[0].text, "Finished");
  EXPECT_EQ(platform_.boxes[1].kind, platform_.boxes[0].kind);
  EXPECT_EQ(platform_.boxes[1].text, QString::fromStdString(form::ReportPlaceText(environment.report_fallback)));
  EXPECT_EQ(platform_.boxes[2].text, "Finished");
  EXPECT_TRUE(std::filesystem::file_size(PathFromUtf8(environment.report_fallback)) > 0);
}

TEST_F(WindowTest, AnErrorInAPressedButtonEndsThePressingCommandWithOneBox) {
  ShowActive();
  bool after_press = false;
  form_->instead["Button2"] = [&] {
    form_->Press(HiddenButton::kButton7);
    after_press = true;
  };
  form_->instead["Button7"] = [] { throw std::runtime_error("Classes: File not found!"); };
  form_->Button2->click();
  EXPECT_FALSE(after_press);
  EXPECT_EQ(form_->ran, std::vector<std::string>({"Button2", "Button7"}));
  ASSERT_EQ(platform_.boxes.size(), 1u);
  EXPECT_EQ(platform_.boxes[0].text, "Classes: File not found!");
}

TEST_F(WindowTest, PressRunsEachHiddenHandlerDirectlyAndLetsItsErrorThrough) {
  for (const char* name : {"Button1", "Button6", "Button7", "Button8"}) form_->instead[name] = [] {};
  form_->Press(HiddenButton::kButton1);
  form_->Press(HiddenButton::kButton6);
  form_->Press(HiddenButton::kButton7);
  form_->Press(HiddenButton::kButton8);
  EXPECT_EQ(form_->ran, std::vector<std::string>({"Button1", "Button6", "Button7", "Button8"}));

  form_->instead["Button8"] = [] { throw std::runtime_error("Update 4 failed"); };
  EXPECT_THROW(form_->Press(HiddenButton::kButton8), std::runtime_error);
  EXPECT_TRUE(platform_.boxes.empty());
}

TEST_F(WindowTest, HiddenButtonsCannotBeReachedOrPressed) {
  ShowActive();
  for (QPushButton* hidden : {form_->Button1, form_->Button7, form_->Button6, form_->Button8}) {
    EXPECT_FALSE(hidden->isVisible());
    EXPECT_EQ(hidden->focusPolicy(), Qt::NoFocus);
    // A mouse click on a hidden button's place reaches whatever is visible there, never it.
    QTest::mouseClick(form_.get(), Qt::LeftButton, Qt::NoModifier, hidden->geometry().center());
  }
  EXPECT_TRUE(form_->ran.empty());
}

TEST_F(WindowTest, ShowMessageUsesTheInformationBox) {
  form_->ShowMessage("Finished");
  ASSERT_EQ(platform_.boxes.size(), 1u);
  EXPECT_EQ(platform_.boxes[0].kind, BoxKind::kMessage);
  EXPECT_EQ(platform_.boxes[0].text, "Finished");
}

TEST_F(WindowTest, CommandsGetTheReportPathOnDriveC) {
  EXPECT_EQ(form_->commands().environment().report_file, Utf8FromPath(drive_c_ / "Varnholt import.csv"));
  EXPECT_TRUE(std::filesystem::is_directory(drive_c_));
  EXPECT_EQ(form_->commands().environment().regional.date_separator, '/');
}

TEST_F(WindowTest, Screenshot) {
  ShowActive();
  const QPixmap picture = form_->grab();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), form_->size());
  const QString file = QString(VARNHOLT_TEST_OUTPUT_DIR) + "/window.png";
  EXPECT_TRUE(picture.save(file, "PNG")) << file.toStdString();
  // The background is the button face, not the default window colour of a plain widget.
  EXPECT_EQ(picture.toImage().pixelColor(4, 4), form_->palette().color(QPalette::Button));
}

}  // namespace
}  // namespace varnholt
