// Start-up on Windows: COM on the window thread, the main window, the message loop.
#include <windows.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "app/platform/drive_c.h"
#include "app/platform/environment.h"
#include "app/win32/Unit1.h"
#include "app/win32/win32_services.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  // The layout scales itself by the screen's DPI, so Windows need not stretch its bitmap.
  ::SetProcessDPIAware();
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring title = varnholt::win32::OwnApplicationTitle();
  int status = 0;
  try {
    varnholt::win32::TForm1 form(instance, varnholt::win32::Win32Services::Default(), title,
                                 varnholt::MakeCommandEnvironment(varnholt::DriveCFolder(),
                                                                  varnholt::SystemRegionalSettings()));
    form.Show(show_command);
    // Closing the window ends the loop; everything is released on the way out.
    status = varnholt::win32::RunMessageLoop(form);
  } catch (const std::exception& error) {
    ::MessageBoxW(nullptr, varnholt::win32::WideFromUtf8(error.what()).c_str(), title.c_str(), MB_OK | MB_ICONERROR);
    status = 1;
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return status;
}
