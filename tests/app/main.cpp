// The window tests need one QApplication for the whole run, on the offscreen platform.
#include <QApplication>

#include <gtest/gtest.h>

#include "app/startup.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  varnholt::UseApplicationFont();
  return RUN_ALL_TESTS();
}
