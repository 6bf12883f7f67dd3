#include "tools/press/window_picture.h"

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QWidget>

namespace varnholt {
namespace {

constexpr int kBorder = 1;
constexpr int kTitleHeight = 18;
constexpr int kTitleInset = 4;  // space before the title text
// Desktop around the windows, where the window with a box needs room for a wider box.
constexpr int kMargin = 8;
const QColor kTitleBar(0, 0, 128);
const QColor kBorderColour(64, 64, 64);
const QColor kDesktop(0, 128, 128);

QImage Framed(QWidget& widget) {
  const QImage client = widget.grab().toImage();
  QImage framed(client.width() + 2 * kBorder, client.height() + kTitleHeight + 2 * kBorder, QImage::Format_RGB32);
  framed.fill(kBorderColour);
  QPainter painter(&framed);
  const QRect bar(kBorder, kBorder, client.width(), kTitleHeight);
  painter.fillRect(bar, kTitleBar);
  QFont font = QApplication::font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(bar.adjusted(kTitleInset, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, widget.windowTitle());
  painter.drawImage(kBorder, kBorder + kTitleHeight, client);
  return framed;
}

// The pictures centred on a piece of desktop, each over the one before.
QImage OnDesktop(const std::vector<QImage>& windows) {
  int width = 0;
  int height = 0;
  for (const QImage& window : windows) {
    width = std::max(width, window.width() + 2 * kMargin);
    height = std::max(height, window.height() + 2 * kMargin);
  }
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(kDesktop);
  QPainter painter(&picture);
  for (const QImage& window : windows) {
    painter.drawImage((width - window.width()) / 2, (height - window.height()) / 2, window);
  }
  return picture;
}

}  // namespace

QImage PictureOfWindow(QWidget& window) { return OnDesktop({Framed(window)}); }

QImage PictureWithBox(QWidget& window, QWidget& box) {
  // A message box sizes itself to its text only when shown.
  box.show();
  QCoreApplication::processEvents();
  QImage picture = OnDesktop({Framed(window), Framed(box)});
  box.hide();
  return picture;
}

bool SavePicture(const QImage& picture, const QString& path) {
  // Dithering would spread noise over the flat faces and make the file larger, not smaller.
  const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
  return indexed.save(path, "PNG");
}

}  // namespace varnholt
