// RecordingPlatformServices: dialogs and message boxes that never block. Boxes are recorded (and
// optionally passed to a callback as they appear); dialogs give the answers queued beforehand and
// cancel when none is left. The press tool and the tests use it.
#ifndef VARNHOLT_APP_PLATFORM_RECORDING_PLATFORM_SERVICES_H_
#define VARNHOLT_APP_PLATFORM_RECORDING_PLATFORM_SERVICES_H_

#include <deque>
#include <functional>
#include <vector>

#include "app/platform/platform_services.h"

namespace varnholt {

class RecordingPlatformServices : public PlatformServices {
 public:
  enum class BoxKind { kError, kMessage };
  struct Box {
    BoxKind kind;
    QString text;
  };

  std::optional<QString> ExecuteOpenDialog(QWidget* owner, const OpenDialogRequest& request) override;
  QString BrowseForFolder(const QString& text) override;
  void ShowError(QWidget* owner, const QString& text) override;
  void ShowMessage(QWidget* owner, const QString& text) override;
  std::optional<QString> AskTablePassword(QWidget* owner, const QString& table_name) override;

  // Answers for the next dialogs, in order; nullopt (open dialog) or empty text (folder) cancels.
  std::deque<std::optional<QString>> open_dialog_answers;
  std::deque<QString> folder_answers;
  // The answer to every password dialog; nothing cancels them.
  std::optional<QString> password_answer;

  // What was asked and shown, in order.
  std::vector<OpenDialogRequest> open_dialog_requests;
  std::vector<QString> folder_prompts;
  std::vector<QString> password_requests;  // the table names asked for
  std::vector<Box> boxes;

  // Called with every box as it is shown.
  std::function<void(const Box&)> on_box;
};

// One box as a single line "box: TEXT"; line breaks inside the text become blanks.
QString BoxLine(const QString& text);

}  // namespace varnholt

#endif  // VARNHOLT_APP_PLATFORM_RECORDING_PLATFORM_SERVICES_H_
