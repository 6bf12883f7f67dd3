// Windows only: the one conversion between our paths (UTF-8, "/" or "\" between folders) and the
// UTF-16 paths every wide Win32 call takes, and Windows' error texts as UTF-8.
#ifndef VARNHOLT_BASE_OS_WINDOWS_PATH_H_
#define VARNHOLT_BASE_OS_WINDOWS_PATH_H_

#include <string>
#include <string_view>

namespace varnholt::os {

// `utf8` made absolute against the current folder, with "\" between folders and the "\\?\" (or
// "\\?\UNC\") prefix, so paths longer than MAX_PATH work. Text that is not valid UTF-8 gives an
// empty result, which every Win32 call refuses as a missing file.
std::wstring WindowsPath(std::string_view utf8);

// A path Windows gives back, as UTF-8 in the form our callers spell: without the long form's
// "\\?\" prefix, and "\\?\UNC\server" as "\\server".
std::string Utf8FromWindowsPath(std::wstring_view wide);

// UTF-16 from Windows as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

// The system's text for a GetLastError code, without the trailing full stop and line break.
std::string WindowsErrorText(unsigned long error);

}  // namespace varnholt::os

#endif  // VARNHOLT_BASE_OS_WINDOWS_PATH_H_
