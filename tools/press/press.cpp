// press: drives the real main window without a display. Types the two locations, clicks the named
// visible buttons in order through the operator's click path, and prints every message box as one
// line "box: TEXT". With --pictures DIR it also saves DIR/window.png, the window before the first
// click, and DIR/box-N.png, the window with its Nth message box over it. Exits 0 when every click
// ran (whatever the boxes say), 1 when a picture cannot be written, 2 for a caption that is not a
// visible button or a bad command line. --table-password TEXT answers every password dialog of a
// protected target table with TEXT; without it those dialogs are cancelled. --dry-run DIR previews:
// the commands run to their end, the list of what they would change goes to DIR/changes.csv (the
// report to DIR too), one line "dry run: ..." a table is printed, and nothing is written in the
// target folder.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/Unit1.h"
#include "app/platform/drive_c.h"
#include "app/platform/environment.h"
#include "app/platform/qt_platform_services.h"
#include "app/platform/recording_platform_services.h"
#include "app/startup.h"
#include "base/os/large_pages.h"
#include "tools/press/dry_run_summary.h"
#include "tools/press/window_picture.h"

namespace {

constexpr int kPictureError = 1;
constexpr int kUsageError = 2;

constexpr char kUsage[] =
    "usage: press --source PATH --target DIR [--drive-c DIR] [--date-separator C] [--pictures DIR]\n"
    "             [--table-password TEXT] [--dry-run DIR] CAPTION...\n";

// The boxes in the pictures carry the title the program gives them, which comes from its file name.
constexpr char kProgramFile[] = "varnholt-import";
constexpr char kWindowPicture[] = "window.png";

struct Options {
  std::optional<std::string> source;
  std::optional<std::string> target;
  std::optional<std::filesystem::path> drive_c;
  std::optional<char> date_separator;
  std::optional<QString> pictures;
  std::optional<std::string> table_password;
  std::optional<std::string> dry_run;
  std::vector<std::string> captions;
};

// Returns nothing on a malformed command line.
std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--source" && has_value) {
      options.source = argv[++i];
    } else if (arg == "--target" && has_value) {
      options.target = argv[++i];
    } else if (arg == "--drive-c" && has_value) {
      options.drive_c = argv[++i];
    } else if (arg == "--date-separator" && has_value) {
      const std::string value = argv[++i];
      if (value.size() != 1) return std::nullopt;
      options.date_separator = value[0];
    } else if (arg == "--pictures" && has_value) {
      options.pictures = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--dry-run" && has_value) {
      options.dry_run = argv[++i];
    } else if (arg == "--table-password" && has_value) {
      options.table_password = argv[++i];
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      options.captions.push_back(arg);
    }
  }
  if (!options.source || !options.target) return std::nullopt;
  return options;
}

// A caption names a button as shown ("Close") or as written ("&Close").
bool CaptionMatches(const QPushButton* button, const QString& caption) {
  QString shown = button->text();
  shown.remove(u'&');
  return button->text() == caption || shown == caption;
}

// The first visible button with the caption, in the order the Tab key visits them.
QPushButton* FindVisibleButton(varnholt::TForm1& form, const QString& caption) {
  for (QPushButton* button : {form.Button2, form.BitBtn1, form.Button3, form.Button4, form.Button5, form.Button1,
                              form.Button7, form.Button6, form.Button8}) {
    if (button->isVisibleTo(&form) && CaptionMatches(button, caption)) return button;
  }
  return nullptr;
}

// Saves one picture into the pictures folder; says so on stderr when it cannot.
bool Save(const QImage& picture, const QString& folder, const QString& name) {
  const QString path = QDir(folder).filePath(name);
  if (varnholt::SavePicture(picture, path)) return true;
  std::cerr << "press: cannot write the picture " << path.toStdString() << "\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  varnholt::PreferLargeMemoryPages(argv);
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return kUsageError;
  }
  varnholt::IgnoreFileSizeSignal();
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt sees none of our arguments.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication application(qt_argc, qt_argv);
  varnholt::UseApplicationFont();

  if (options->pictures && !QDir().mkpath(*options->pictures)) {
    std::cerr << "press: cannot create the pictures folder " << options->pictures->toStdString() << "\n";
    return kPictureError;
  }
  // The real boxes, made only to be pictured; they never wait for an answer.
  const varnholt::QtPlatformServices real_boxes(varnholt::ApplicationTitle(QString::fromUtf8(kProgramFile)));
  bool pictures_written = true;
  int box_count = 0;

  varnholt::RecordingPlatformServices platform;
  if (options->table_password) platform.password_answer = QString::fromStdString(*options->table_password);
  varnholt::RegionalSettings regional = varnholt::SystemRegionalSettings();
  if (options->date_separator) regional.date_separator = *options->date_separator;
  const std::filesystem::path drive_c = options->drive_c.value_or(varnholt::DriveCFolder());

  varnholt::CommandEnvironment environment = varnholt::MakeCommandEnvironment(drive_c, regional);
  if (options->dry_run) environment.dry_run_folder = *options->dry_run;
  varnholt::TForm1 form(platform, std::move(environment));
  platform.on_box = [&](const varnholt::RecordingPlatformServices::Box& box) {
    std::cout << varnholt::BoxLine(box.text).toStdString() << std::endl;
    if (!options->pictures) return;
    const auto shown = box.kind == varnholt::RecordingPlatformServices::BoxKind::kError
                           ? real_boxes.MakeErrorBox(&form, box.text)
                           : real_boxes.MakeMessageBox(&form, box.text);
    pictures_written &= Save(varnholt::PictureWithBox(form, *shown), *options->pictures,
                             QStringLiteral("box-%1.png").arg(++box_count));
  };
  varnholt::Form1 = &form;
  form.show();
  form.Edit1->setText(QString::fromStdString(*options->source));
  form.Edit2->setText(QString::fromStdString(*options->target));

  // Every caption is checked before the first click, so a typo runs nothing.
  std::vector<QPushButton*> buttons;
  for (const std::string& caption : options->captions) {
    QPushButton* button = FindVisibleButton(form, QString::fromStdString(caption));
    if (button == nullptr) {
      std::cerr << "press: no visible button \"" << caption << "\"\n";
      varnholt::Form1 = nullptr;
      return kUsageError;
    }
    buttons.push_back(button);
  }
  if (options->pictures) {
    QCoreApplication::processEvents();
    pictures_written &= Save(varnholt::PictureOfWindow(form), *options->pictures, QString::fromUtf8(kWindowPicture));
  }
  for (QPushButton* button : buttons) {
    button->click();
    QCoreApplication::processEvents();
  }
  if (options->dry_run) varnholt::PrintDryRunSummary(form.commands().dry_run_summary());
  varnholt::Form1 = nullptr;
  return pictures_written ? EXIT_SUCCESS : kPictureError;
}
