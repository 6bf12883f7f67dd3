#include "base/os/regional_settings.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <optional>
#endif

namespace varnholt::os {
namespace {

TEST(RegionalSettingsTest, WindowsDatePatternsBecomeOurs) {
  const RegionalSettings fixed;
  struct Case {
    const char* separator;
    const char* pattern;
    const char* format;
    char ours;
  };
  const Case cases[] = {
      {".", "dd.MM.yyyy", "dd/MM/yyyy", '.'},  // German, Danish
      {"/", "M/d/yyyy", "M/d/yyyy", '/'},      // United States
      {"-", "yyyy-MM-dd", "yyyy/MM/dd", '-'},  // Swedish
      {"/", "yyyy/MM/dd", "yyyy/MM/dd", '/'},  // what the product was made for
      {".", "d.M.yy 'r.'", "d/M/yy r.", '.'},  // quoted text is kept as it is, without its quotes
  };
  for (const Case& c : cases) {
    const RegionalSettings got = WithWindowsDate(fixed, c.separator, c.pattern);
    EXPECT_EQ(got.short_date_format, c.format) << c.pattern;
    EXPECT_EQ(got.date_separator, c.ours) << c.pattern;
    EXPECT_EQ(got.long_time_format, fixed.long_time_format);
  }
}

TEST(RegionalSettingsTest, PatternsWeCannotFollowKeepTheFixedSettings) {
  const RegionalSettings fixed;
  const char* const unusable[][2] = {
      {"", "dd.MM.yyyy"},          // no separator read
      {". ", "dd. MM. yyyy"},      // two characters
      {"\xC2\xB7", "dd\xC2\xB7MM\xC2\xB7yyyy"},  // not ASCII
      {"d", "dd"},                 // a letter
      {".", ""},                   // nothing read
      {".", "MM.yyyy"},            // no day
      {".", "dd.MM.yyyy 'open"},   // an unclosed quote
      {".", "dd.MM.yyyy 'day'"},   // a date letter in quoted text
      {".", "gg yyyy.MM.dd"},      // an era
      {"-", "dd-MM/yyyy"},         // a slash that is not the separator
  };
  for (const auto& u : unusable) {
    const RegionalSettings got = WithWindowsDate(fixed, u[0], u[1]);
    EXPECT_EQ(got.short_date_format, fixed.short_date_format) << u[1];
    EXPECT_EQ(got.date_separator, fixed.date_separator) << u[1];
  }
}

#ifdef _WIN32
// The user's regional settings live here; Windows (and Wine) read them through GetLocaleInfoEx.
constexpr wchar_t kInternational[] = L"Control Panel\\International";

std::optional<std::wstring> ReadValue(HKEY key, const wchar_t* name) {
  wchar_t value[256];
  DWORD size = sizeof value;
  DWORD type = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return std::wstring(value, size / sizeof(wchar_t)).c_str();
}

void WriteValue(HKEY key, const wchar_t* name, const std::optional<std::wstring>& value) {
  if (!value) {
    ::RegDeleteValueW(key, name);
    return;
  }
  ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                   static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
}

// Changes the user's date settings for one test and puts them back after it. The suite runs
// alone (RUN_SERIAL), so no other test sees the changed settings.
class UserDateSettings {
 public:
  UserDateSettings() {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kInternational, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    separator_ = ReadValue(key_, L"sDate");
    pattern_ = ReadValue(key_, L"sShortDate");
  }
  ~UserDateSettings() {
    WriteValue(key_, L"sDate", separator_);
    WriteValue(key_, L"sShortDate", pattern_);
    ::RegCloseKey(key_);
  }
  void Set(const wchar_t* separator, const wchar_t* pattern) {
    WriteValue(key_, L"sDate", std::wstring(separator));
    WriteValue(key_, L"sShortDate", std::wstring(pattern));
  }

 private:
  HKEY key_ = nullptr;
  std::optional<std::wstring> separator_;
  std::optional<std::wstring> pattern_;
};

TEST(RegionalSettingsTest, TheUsersDateSettingsComeThrough) {
  UserDateSettings user;
  user.Set(L".", L"dd.MM.yyyy");
  // Read once: Wine keeps the settings it read for the rest of the process.
  const RegionalSettings got = UserRegionalSettings();
  EXPECT_EQ(got.short_date_format, "dd/MM/yyyy");
  EXPECT_EQ(got.date_separator, '.');
  EXPECT_EQ(got.long_time_format, RegionalSettings{}.long_time_format);
}
#else
TEST(RegionalSettingsTest, WithoutWindowsSettingsTheFixedOnesApply) {
  const RegionalSettings got = UserRegionalSettings();
  EXPECT_EQ(got.short_date_format, RegionalSettings{}.short_date_format);
  EXPECT_EQ(got.date_separator, RegionalSettings{}.date_separator);
}
#endif

}  // namespace
}  // namespace varnholt::os
