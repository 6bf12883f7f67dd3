// The top of an operator's click: the one place where an error that ends a command is caught and
// shown. Nothing below it catches, and nothing escapes it into Qt's event loop.
#ifndef VARNHOLT_APP_ERROR_BOX_H_
#define VARNHOLT_APP_ERROR_BOX_H_

#include <functional>

#include <QString>

namespace varnholt {

// The error's text as the box shows it: a full stop is added when the last character sorts after
// "." (letters and digits get one; ".", "!", ")" or a blank at the end do not). Empty stays empty.
QString ErrorBoxText(const QString& message);

// Runs `click`. When an error escapes it, calls `discard_pending` (so no half-filled row is posted
// by a later command, and what was posted is saved) and then `show_error` with the box text, which
// gets an error of `discard_pending` on a line below; the click then ends normally.
void RunOperatorClick(const std::function<void()>& click, const std::function<void()>& discard_pending,
                      const std::function<void(const QString&)>& show_error);

}  // namespace varnholt

#endif  // VARNHOLT_APP_ERROR_BOX_H_
