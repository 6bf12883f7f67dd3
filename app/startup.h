// Start-up helpers shared by the program and the press tool.
#ifndef VARNHOLT_APP_STARTUP_H_
#define VARNHOLT_APP_STARTUP_H_

#include <QString>

namespace varnholt {

// The application title: the program file's name (no folders) up to its first full stop, its
// first character unchanged and the rest in lower case. "/opt/Varnholt-Import.exe" gives
// "Varnholt-import".
QString ApplicationTitle(const QString& program_file);

// Makes "MS Sans Serif" at 11 pixels (8 points at 96 dpi) the font of the whole application, so
// message boxes and dialogs get it too. The font is loaded from `font_file` when that exists;
// otherwise the system's sans font is used, quietly. Returns whether the file was loaded.
// REQUIRES: a QApplication exists.
bool UseApplicationFont(const QString& font_file = QStringLiteral("/usr/share/wine/fonts/ms_sans_serif.ttf"));

// A write past the file-size limit (ulimit -f) would otherwise end the process with SIGXFSZ in the
// middle of a table write; ignored, the write fails with EFBIG and the command reports it.
void IgnoreFileSizeSignal();

}  // namespace varnholt

#endif  // VARNHOLT_APP_STARTUP_H_
