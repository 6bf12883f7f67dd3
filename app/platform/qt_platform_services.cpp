#include "app/platform/qt_platform_services.h"

#include <utility>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QStandardPaths>

#include "app/form/form_layout.h"

namespace varnholt {

namespace {

bool HasWildcards(const QString& name) {
  return name.contains(u'*') || name.contains(u'?');
}

// The file name is the only filter: no list of file types is offered. (Native dialogs build their
// own widgets and have no such children.)
void HideFileTypes(QFileDialog& dialog) {
  if (auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) combo->hide();
  if (auto* label = dialog.findChild<QLabel*>(QStringLiteral("fileTypeLabel"))) label->hide();
}

// A name with wildcards, typed or left in the name box, filters the list instead of being taken
// as the chosen file.
class OpenDialog : public QFileDialog {
 public:
  explicit OpenDialog(QWidget* owner) : QFileDialog(owner) {}

  void ApplyFilter(const QString& pattern) {
    setNameFilter(pattern);
    selectFile(pattern);
    HideFileTypes(*this);
  }

 protected:
  void accept() override {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
      const QFileInfo chosen(files.first());
      if (HasWildcards(chosen.fileName())) {
        setDirectory(chosen.absolutePath());
        ApplyFilter(chosen.fileName());
        return;
      }
    }
    QFileDialog::accept();
  }
};

}  // namespace

QtPlatformServices::QtPlatformServices(QString title) : title_(std::move(title)) {}

std::unique_ptr<QFileDialog> QtPlatformServices::MakeOpenDialog(QWidget* owner,
                                                                const OpenDialogRequest& request) {
  // No starting folder and no title: the toolkit's defaults apply ("Open", the working directory).
  auto dialog = std::make_unique<OpenDialog>(owner);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  // AnyFile lets the operator type the name of a file that does not exist yet.
  dialog->setFileMode(QFileDialog::AnyFile);
  if (HasWildcards(request.file_name)) {
    dialog->ApplyFilter(request.file_name);
  } else {
    dialog->selectFile(request.file_name);
    HideFileTypes(*dialog);
  }
  return dialog;
}

std::unique_ptr<QFileDialog> QtPlatformServices::MakeFolderBrowser(const QString& text) {
  // Owned by the application, not by a window, and modal over all of it.
  auto dialog = std::make_unique<QFileDialog>(nullptr, text);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  // The tree starts at the desktop; a home without one starts at home.
  QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (start.isEmpty() || !QDir(start).exists()) start = QDir::homePath();
  dialog->setDirectory(start);
  return dialog;
}

std::unique_ptr<QMessageBox> QtPlatformServices::MakeErrorBox(QWidget* owner, const QString& text) const {
  return std::make_unique<QMessageBox>(QMessageBox::Critical, title_, text, QMessageBox::Ok, owner);
}

std::unique_ptr<QMessageBox> QtPlatformServices::MakeMessageBox(QWidget* owner, const QString& text) const {
  return std::make_unique<QMessageBox>(QMessageBox::NoIcon, title_, text, QMessageBox::Ok, owner);
}

std::optional<QString> QtPlatformServices::ExecuteOpenDialog(QWidget* owner, const OpenDialogRequest& request) {
  auto dialog = MakeOpenDialog(owner, request);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog->selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(files.first());
}

QString QtPlatformServices::BrowseForFolder(const QString& text) {
  auto dialog = MakeFolderBrowser(text);
  if (dialog->exec() != QDialog::Accepted) return QString();
  const QStringList folders = dialog->selectedFiles();
  return folders.isEmpty() ? QString() : QDir::toNativeSeparators(folders.first());
}

void QtPlatformServices::ShowError(QWidget* owner, const QString& text) {
  MakeErrorBox(owner, text)->exec();
}

void QtPlatformServices::ShowMessage(QWidget* owner, const QString& text) {
  MakeMessageBox(owner, text)->exec();
}

std::unique_ptr<QInputDialog> QtPlatformServices::MakePasswordDialog(QWidget* owner,
                                                                      const QString& table_name) {
  auto dialog = std::make_unique<QInputDialog>(owner);
  dialog->setWindowTitle(QString::fromUtf8(form::kPasswordTitle));
  dialog->setLabelText(QString::fromUtf8(form::kPasswordTableLine) + table_name + QStringLiteral("\n\n") +
                       QString::fromUtf8(form::kPasswordPrompt));
  dialog->setInputMode(QInputDialog::TextInput);
  dialog->setTextEchoMode(QLineEdit::Password);
  dialog->setWindowModality(Qt::ApplicationModal);
  return dialog;
}

std::optional<QString> QtPlatformServices::AskTablePassword(QWidget* owner, const QString& table_name) {
  auto dialog = MakePasswordDialog(owner, table_name);
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  return dialog->textValue();
}

}  // namespace varnholt
