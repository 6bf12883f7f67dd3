// The Win32 window's platform services: the file-open dialog, the folder browser and the message
// boxes, as replaceable functions so that tests can answer them without a modal dialog. Default()
// gives the real ones. Texts are UTF-16, as Windows takes them.
#ifndef VARNHOLT_APP_WIN32_WIN32_SERVICES_H_
#define VARNHOLT_APP_WIN32_WIN32_SERVICES_H_

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varnholt::win32 {

struct Win32Services {
  // GetOpenFileNameW over `owner`, its file-name box holding `file_name`: the chosen file's full
  // path, or nothing when the operator cancels.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& file_name)> open_file;
  // SHBrowseForFolderW with `prompt` above the tree: the chosen folder, or "" after Cancel.
  std::function<std::wstring(HWND owner, const std::wstring& prompt)> browse_for_folder;
  // MessageBoxW: the error icon and one OK, or (show_message) one OK alone; `title` on top.
  std::function<void(HWND owner, const std::wstring& text, const std::wstring& title)> show_error;
  std::function<void(HWND owner, const std::wstring& text, const std::wstring& title)> show_message;
  // The "Enter password" dialog for the protected table `table_name`: the text typed, or nothing
  // when the operator cancels.
  std::function<std::optional<std::wstring>(HWND owner, const std::wstring& table_name)> ask_table_password;

  static Win32Services Default();
};

// UTF-16 for a UTF-8 text (not a path: paths go through base/os).
std::wstring WideFromUtf8(std::string_view utf8);

// The application title from the program file's path: its name up to the first full stop, the
// first character unchanged and the others in lower case. L"C:\\x\\VARNHOLT-IMPORT.EXE" gives
// L"Varnholt-import".
std::wstring ApplicationTitle(const std::wstring& program_file);

// The title of this process's own .exe.
std::wstring OwnApplicationTitle();

}  // namespace varnholt::win32

#endif  // VARNHOLT_APP_WIN32_WIN32_SERVICES_H_
