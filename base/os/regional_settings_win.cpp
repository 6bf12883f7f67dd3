#include <windows.h>

#include "base/os/regional_settings.h"
#include "base/os/windows_path.h"

namespace varnholt::os {

namespace {

// The longest value GetLocaleInfoEx gives for these (LOCALE_SDATE allows four characters,
// LOCALE_SSHORTDATE eighty).
constexpr int kLocaleValueLength = 128;

// The user's value of `type`, in UTF-8; empty when it cannot be read.
std::string UserLocaleValue(LCTYPE type) {
  wchar_t value[kLocaleValueLength];
  const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value, kLocaleValueLength);
  if (length <= 1) return "";
  return Utf8FromWide(std::wstring(value, static_cast<size_t>(length - 1)));
}

}  // namespace

RegionalSettings UserRegionalSettings() {
  return WithWindowsDate(RegionalSettings{}, UserLocaleValue(LOCALE_SDATE), UserLocaleValue(LOCALE_SSHORTDATE));
}

}  // namespace varnholt::os
