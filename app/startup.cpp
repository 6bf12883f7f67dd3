#include "app/startup.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>

namespace varnholt {

namespace {

constexpr char kFontFamily[] = "MS Sans Serif";
// 8 points at the 96 pixels per inch the layout was drawn for.
constexpr int kFontPixelSize = 11;

}  // namespace

QString ApplicationTitle(const QString& program_file) {
  QString name = QFileInfo(program_file).fileName();
  const qsizetype stop = name.indexOf(u'.');
  if (stop >= 0) name.truncate(stop);
  if (name.size() > 1) name = name.left(1) + name.mid(1).toLower();
  return name;
}

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

void PreferLargeMemoryPages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
  constexpr char kName[] = "GLIBC_TUNABLES";
  constexpr char kTunable[] =
      "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=67108864:"
      "glibc.malloc.top_pad=16777216";
  const char* current = std::getenv(kName);
  // Set already (by us, or by the user's own choice, e.g. hugetlb=0): never start again.
  if (current != nullptr && std::strstr(current, "glibc.malloc.hugetlb") != nullptr) return;
  // Under valgrind /proc/self/exe is valgrind's own tool, not this program.
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) return;
  const std::string value =
      current != nullptr && *current != '\0' ? std::string(current) + ":" + kTunable : std::string(kTunable);
  if (::setenv(kName, value.c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  // Not started again: the run goes on with small pages.
#else
  (void)argv;
#endif
}

bool UseApplicationFont(const QString& font_file) {
  QString family = QString::fromLatin1(kFontFamily);
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
  font.setPixelSize(kFontPixelSize);
  // Without the font file the family is unknown, and the sans-serif hint picks the system's.
  font.setStyleHint(QFont::SansSerif);
  QApplication::setFont(font);
  return loaded;
}

}  // namespace varnholt
