// Start-up: the application and its platform services, the main window, the message loop.
#include <QApplication>

#include "app/Unit1.h"
#include "app/platform/drive_c.h"
#include "app/platform/environment.h"
#include "app/platform/qt_platform_services.h"
#include "app/startup.h"
#include "base/os/large_pages.h"

int main(int argc, char** argv) {
  varnholt::PreferLargeMemoryPages(argv);
  varnholt::IgnoreFileSizeSignal();
  QApplication application(argc, argv);
  varnholt::UseApplicationFont();
  varnholt::QtPlatformServices platform(varnholt::ApplicationTitle(QCoreApplication::applicationFilePath()));

  varnholt::TForm1 form(platform, varnholt::MakeCommandEnvironment(varnholt::DriveCFolder(),
                                                                   varnholt::SystemRegionalSettings()));
  varnholt::Form1 = &form;
  form.show();
  // Closing the window ends the loop; everything is released on the way out.
  const int status = application.exec();
  varnholt::Form1 = nullptr;
  return status;
}
