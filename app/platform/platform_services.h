// PlatformServices: the window system's dialogs and message boxes, in one place so that tests and
// the press tool can replace them. Every call is modal: it returns when the operator is done.
#ifndef VARNHOLT_APP_PLATFORM_PLATFORM_SERVICES_H_
#define VARNHOLT_APP_PLATFORM_PLATFORM_SERVICES_H_

#include <optional>

#include <QString>

class QWidget;

namespace varnholt {

// What the window asks of its file-open dialog.
struct OpenDialogRequest {
  // Shown in the file-name box; when it holds wildcards the list shows only matching names.
  QString file_name;
};

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // Shows the file-open dialog over `owner`. Returns the chosen file's full path (a typed name of
  // a file that does not exist included), or nothing when the operator cancels.
  virtual std::optional<QString> ExecuteOpenDialog(QWidget* owner, const OpenDialogRequest& request) = 0;

  // Shows the folder browser, modal over the whole program, with `text` as its prompt. Returns the
  // chosen folder's full path, or empty text when the operator cancels.
  virtual QString BrowseForFolder(const QString& text) = 0;

  // An error box: error icon, one OK button, the application title. `text` is shown as given.
  virtual void ShowError(QWidget* owner, const QString& text) = 0;

  // An information box ("Finished"): no icon, one OK button, the application title.
  virtual void ShowMessage(QWidget* owner, const QString& text) = 0;

  // The "Enter password" dialog for the password-protected table `table_name`, its typing hidden.
  // Returns the text typed, or nothing when the operator cancels.
  virtual std::optional<QString> AskTablePassword(QWidget* owner, const QString& table_name) = 0;
};

}  // namespace varnholt

#endif  // VARNHOLT_APP_PLATFORM_PLATFORM_SERVICES_H_
