#include "app/startup.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>

#include "app/form/form_layout.h"

namespace varnholt {

QString ApplicationTitle(const QString& program_file) {
  QString name = QFileInfo(program_file).fileName();
  const qsizetype stop = name.indexOf(u'.');
  if (stop >= 0) name.truncate(stop);
  if (name.size() > 1) name = name.left(1) + name.mid(1).toLower();
  return name;
}

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

bool UseApplicationFont(const QString& font_file) {
  QString family = QString::fromLatin1(form::kFontName);
  bool loaded = false;
  if (QFileInfo::exists(font_file)) {
    const int id = QFontDatabase::addApplicationFont(font_file);
    if (id >= 0) {
      const QStringList families = QFontDatabase::applicationFontFamilies(id);
      if (!families.isEmpty()) family = families.first();
      loaded = true;
    }
  }
  QFont font(family);
  font.setPixelSize(form::kFontPixels);
  // Without the font file the family is unknown, and the sans-serif hint picks the system's.
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
  return loaded;
}

}  // namespace varnholt
