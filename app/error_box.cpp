#include "app/error_box.h"

#include <exception>

#include <QStringList>

namespace varnholt {

namespace {

// Shown for an error that carries no text of ours (not a std::exception).
constexpr char kUnknownError[] = "Unknown error";

}  // namespace

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back() > u'.') return message + u'.';
  return message;
}

void RunOperatorClick(const std::function<void()>& click, const std::function<void()>& discard_pending,
                      const std::function<void(const QString&)>& show_error) {
  QString message;
  try {
    click();
    return;
  } catch (const std::exception& error) {
    message = QString::fromUtf8(error.what());
  } catch (...) {
    message = QString::fromUtf8(kUnknownError);
  }
  // The box is shown outside the handler above, so an error while discarding cannot hide the one
  // that ended the command; it is added below it.
  try {
    discard_pending();
  } catch (const std::exception& error) {
    // A save that failed inside the command fails again here: each line is shown once.
    const QStringList shown = message.split(u'\n');
    for (const QString& line : QString::fromUtf8(error.what()).split(u'\n')) {
      if (!line.isEmpty() && !shown.contains(line)) message += u'\n' + line;
    }
  } catch (...) {
  }
  show_error(ErrorBoxText(message));
}

}  // namespace varnholt
