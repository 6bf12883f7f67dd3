#include "app/error_box.h"

#include "app/form/click.h"

namespace varnholt {

// Both windows share the rule and the catching: the texts cross as UTF-8.
QString ErrorBoxText(const QString& message) {
  return QString::fromStdString(form::ErrorBoxText(message.toStdString()));
}

void RunOperatorClick(const std::function<void()>& click, const std::function<void()>& discard_pending,
                      const std::function<void(const QString&)>& show_error) {
  form::RunOperatorClick(click, discard_pending,
                         [&show_error](const std::string& text) { show_error(QString::fromStdString(text)); });
}

}  // namespace varnholt
