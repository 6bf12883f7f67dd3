// QtPlatformServices: the real dialogs and message boxes, built on QFileDialog and QMessageBox.
// Where the platform offers no native dialogs, Qt's own widget-based ones are used.
#ifndef VARNHOLT_APP_PLATFORM_QT_PLATFORM_SERVICES_H_
#define VARNHOLT_APP_PLATFORM_QT_PLATFORM_SERVICES_H_

#include <memory>

#include "app/platform/platform_services.h"

class QFileDialog;
class QInputDialog;
class QMessageBox;

namespace varnholt {

class QtPlatformServices : public PlatformServices {
 public:
  // `title` captions every message box (the application title).
  explicit QtPlatformServices(QString title);

  std::optional<QString> ExecuteOpenDialog(QWidget* owner, const OpenDialogRequest& request) override;
  QString BrowseForFolder(const QString& text) override;
  void ShowError(QWidget* owner, const QString& text) override;
  void ShowMessage(QWidget* owner, const QString& text) override;
  std::optional<QString> AskTablePassword(QWidget* owner, const QString& table_name) override;

  // The dialogs and boxes exactly as the calls above show them, unshown, so their set-up can be
  // checked without running a modal loop.
  static std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* owner, const OpenDialogRequest& request);
  static std::unique_ptr<QFileDialog> MakeFolderBrowser(const QString& text);
  std::unique_ptr<QMessageBox> MakeErrorBox(QWidget* owner, const QString& text) const;
  std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text) const;
  static std::unique_ptr<QInputDialog> MakePasswordDialog(QWidget* owner, const QString& table_name);

 private:
  QString title_;
};

}  // namespace varnholt

#endif  // VARNHOLT_APP_PLATFORM_QT_PLATFORM_SERVICES_H_
