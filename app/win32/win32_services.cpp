#include "app/win32/win32_services.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "app/win32/password_dialog.h"

namespace varnholt::win32 {

namespace {

// Room for a long path typed into the dialog's file-name box.
constexpr DWORD kFileNameChars = 32768;

std::optional<std::wstring> OpenFile(HWND owner, const std::wstring& file_name) {
  std::vector<wchar_t> buffer(kFileNameChars, L'\0');
  file_name.copy(buffer.data(), buffer.size() - 1);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kFileNameChars;
  // No type list, no starting folder, no title of our own; a typed name of a missing file is
  // accepted, and the working directory is not kept (the report's skip marker follows it).
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::wstring(buffer.data());
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& prompt) {
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.pidlRoot = nullptr;  // the desktop
  browse.lpszTitle = prompt.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&browse);
  if (chosen == nullptr) return std::wstring();
  std::vector<wchar_t> path(MAX_PATH * 4, L'\0');
  const bool got = ::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
  ::CoTaskMemFree(chosen);
  return got ? std::wstring(path.data()) : std::wstring();
}

}  // namespace

Win32Services Win32Services::Default() {
  Win32Services services;
  services.open_file = OpenFile;
  services.browse_for_folder = BrowseForFolder;
  services.show_error = [](HWND owner, const std::wstring& text, const std::wstring& title) {
    ::MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
  };
  services.show_message = [](HWND owner, const std::wstring& text, const std::wstring& title) {
    ::MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK);
  };
  services.ask_table_password = AskTablePasswordDialog;
  return services;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::wstring ApplicationTitle(const std::wstring& program_file) {
  std::wstring name = program_file.substr(program_file.find_last_of(L"\\/") + 1);
  name = name.substr(0, name.find(L'.'));
  if (name.size() > 1) ::CharLowerBuffW(name.data() + 1, static_cast<DWORD>(name.size() - 1));
  return name;
}

std::wstring OwnApplicationTitle() {
  std::vector<wchar_t> path(kFileNameChars, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return ApplicationTitle(std::wstring(path.data(), length));
}

}  // namespace varnholt::win32
