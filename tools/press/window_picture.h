// Pictures of the main window and its message boxes as the operator sees them, drawn from the real
// widgets (offscreen too), each window with a plain frame and its title, as a window manager adds.
// Used by press for the demo and the README's picture.
#ifndef VARNHOLT_TOOLS_PRESS_WINDOW_PICTURE_H_
#define VARNHOLT_TOOLS_PRESS_WINDOW_PICTURE_H_

#include <QImage>
#include <QString>

class QWidget;

namespace varnholt {

// The window, framed, on a margin of desktop. REQUIRES: the window is shown.
QImage PictureOfWindow(QWidget& window);

// The window with `box` (a message box) over it, centred as a box opens over its owner. Shows the
// box for the picture and hides it again. REQUIRES: the window is shown.
QImage PictureWithBox(QWidget& window, QWidget& box);

// Writes `picture` as a PNG at `path`, in at most 256 colours to keep it small. Returns false when the
// file cannot be written.
bool SavePicture(const QImage& picture, const QString& path);

}  // namespace varnholt

#endif  // VARNHOLT_TOOLS_PRESS_WINDOW_PICTURE_H_
