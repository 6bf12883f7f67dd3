// The top of an operator's click and the texts around its boxes, for both windows: the one place
// where an error that ends a command is caught and turned into the error box's text.
#ifndef VARNHOLT_APP_FORM_CLICK_H_
#define VARNHOLT_APP_FORM_CLICK_H_

#include <functional>
#include <string>
#include <string_view>

namespace varnholt::form {

// The error's text as the box shows it: a full stop is added when the last character sorts after
// "." (letters and digits get one; ".", "!", ")" or a blank at the end do not). Empty stays empty.
// UTF-8: a text ending in any non-ASCII character gets one too.
std::string ErrorBoxText(std::string_view message);

// Runs `click`. When an error escapes it, calls `discard_pending` (so no half-filled row is posted
// by a later command, and what was posted is saved) and then `show_error` with the box text, which
// gets the lines of an error of `discard_pending` that it does not already show; the click then
// ends normally.
void RunOperatorClick(const std::function<void()>& click, const std::function<void()>& discard_pending,
                      const std::function<void(const std::string&)>& show_error);

}  // namespace varnholt::form

#endif  // VARNHOLT_APP_FORM_CLICK_H_
