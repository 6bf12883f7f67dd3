// What Explorer and the taskbar read from varnholt-import.exe: its version resource and its icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The program as built, as a Wine path (Z: is the root of the Linux file system).
const std::wstring kProgram = L"Z:" VARNHOLT_PROGRAM_PATH;

std::wstring StringValue(const std::vector<char>& info, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring key = L"\\StringFileInfo\\080904B0\\" + name;
  if (!::VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return L"(missing)";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(Win32IdentityTest, TheProgramCarriesItsVersionDescriptionAndIcon) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(kProgram.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource in the program, error " << ::GetLastError();
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(kProgram.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(VARNHOLT_VERSION_MINOR, VARNHOLT_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  EXPECT_EQ(StringValue(info, L"ProductName"), L"Varnholt Import");
  EXPECT_EQ(StringValue(info, L"ProductVersion"), StringValue(info, L"FileVersion"));
  EXPECT_EQ(StringValue(info, L"FileVersion").rfind(std::to_wstring(VARNHOLT_VERSION_MAJOR) + L".", 0), 0u);
  EXPECT_NE(StringValue(info, L"FileDescription").find(L"Varnholt Import"), std::wstring::npos);
  EXPECT_EQ(StringValue(info, L"OriginalFilename"), L"varnholt-import.exe");

  // Both sizes of the icon, as the taskbar (32) and a title bar (16) take them.
  HICON large = nullptr;
  HICON small = nullptr;
  ASSERT_EQ(::ExtractIconExW(kProgram.c_str(), -1, nullptr, nullptr, 0), 1u);
  ASSERT_EQ(::ExtractIconExW(kProgram.c_str(), 0, &large, &small, 1), 2u);
  ICONINFO icon{};
  ASSERT_TRUE(::GetIconInfo(large, &icon));
  BITMAP bitmap{};
  ASSERT_TRUE(::GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap));
  EXPECT_EQ(bitmap.bmWidth, 32);
  ::DeleteObject(icon.hbmColor);
  ::DeleteObject(icon.hbmMask);
  ::DestroyIcon(large);
  ::DestroyIcon(small);
}

}  // namespace
