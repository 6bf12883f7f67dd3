#include "base/os/windows_path.h"

#include <windows.h>

#include <vector>

namespace varnholt::os {

namespace {

constexpr wchar_t kLongPathPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                           static_cast<int>(utf8.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), length);
  return wide;
}

}  // namespace

std::wstring WindowsPath(std::string_view utf8) {
  std::wstring wide = Widen(utf8);
  if (wide.empty()) return wide;
  if (wide.rfind(kLongPathPrefix, 0) == 0) return wide;  // already in the long form
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  // The long form skips Windows' own clean-up of "." and ".." and relative paths: do it first.
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::wstring();
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return std::wstring();
  full.resize(written);
  if (full.rfind(L"\\\\", 0) == 0) return kLongUncPrefix + full.substr(2);  // \\server\share
  return kLongPathPrefix + full;
}

std::string Utf8FromWindowsPath(std::wstring_view wide) {
  const std::wstring_view unc_prefix(kLongUncPrefix);
  const std::wstring_view long_prefix(kLongPathPrefix);
  if (wide.starts_with(unc_prefix)) return Utf8FromWide(L"\\\\" + std::wstring(wide.substr(unc_prefix.size())));
  if (wide.starts_with(long_prefix)) return Utf8FromWide(wide.substr(long_prefix.size()));
  return Utf8FromWide(wide);
}

std::string Utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string utf8(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                        nullptr, nullptr);
  return utf8;
}

std::string WindowsErrorText(unsigned long error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) return "Windows error " + std::to_string(error);
  return Utf8FromWide(text);
}

}  // namespace varnholt::os
