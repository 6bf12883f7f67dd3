// grab-screen: saves the X display's screen as a PNG once a window has appeared on it. Used by
// run-under-xvfb, whose fresh server starts with a plain black screen.
#include <cstdlib>
#include <iostream>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>

namespace {

constexpr int kPollIntervalMs = 100;
constexpr int kPollLimit = 200;  // 20 seconds for the window to appear
// Time for the window to finish painting after its first pixels show.
constexpr int kSettleMs = 1000;

bool IsPlain(const QImage& image) {
  if (image.isNull()) return true;
  const QRgb first = image.pixel(0, 0);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != first) return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: grab-screen OUT.png\n";
    return 2;
  }
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QGuiApplication application(qt_argc, qt_argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::cerr << "grab-screen: no screen\n";
    return 1;
  }
  bool appeared = false;
  for (int i = 0; i < kPollLimit && !appeared; ++i) {
    appeared = !IsPlain(screen->grabWindow(0).toImage());
    if (!appeared) QThread::msleep(kPollIntervalMs);
  }
  if (!appeared) {
    std::cerr << "grab-screen: no window appeared\n";
    return 1;
  }
  QThread::msleep(kSettleMs);
  if (!screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::cerr << "grab-screen: cannot write " << argv[1] << "\n";
    return 1;
  }
  return EXIT_SUCCESS;
}
