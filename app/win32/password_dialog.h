// The "Enter password" dialog of the Windows window: a small modal dialog over `owner` naming the
// password-protected table, its typing hidden, with OK and Cancel. Built from an in-memory template,
// so the program needs no resource script for it.
#ifndef VARNHOLT_APP_WIN32_PASSWORD_DIALOG_H_
#define VARNHOLT_APP_WIN32_PASSWORD_DIALOG_H_

#include <windows.h>

#include <optional>
#include <string>

namespace varnholt::win32 {

// The id of its password box, for tests that answer it (its caption is form::kPasswordTitle).
inline constexpr int kPasswordBoxId = 100;

// Shows the dialog and waits: the text typed after OK, or nothing after Cancel or Escape.
std::optional<std::wstring> AskTablePasswordDialog(HWND owner, const std::wstring& table_name);

}  // namespace varnholt::win32

#endif  // VARNHOLT_APP_WIN32_PASSWORD_DIALOG_H_
