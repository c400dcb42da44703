// make_pictures OUTDIR: saves the pictures the program draws, for the desktop:
// the application icon at the hicolor theme's sizes
// (OUTDIR/share/icons/hicolor/NxN/apps/kelvo32.png) and the splash picture
// (OUTDIR/splash.png). Drawn by the same functions as in the window, so
// there is one source.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "ui/pictures.h"

namespace {

bool Save(const QPixmap& pixmap, const QString& path) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !pixmap.save(path, "PNG")) {
    std::fprintf(stderr, "make_pictures: can't write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_pictures OUTDIR\n");
    return 2;
  }
  // Runs during the build, where there may be no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString dir = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const QString path =
        QString("%1/share/icons/hicolor/%2x%2/apps/kelvo32.png").arg(dir).arg(size);
    if (!Save(kelvo::ui::LogoPicture(size), path)) return 1;
  }
  return Save(kelvo::ui::SplashPicture(), dir + "/splash.png") ? 0 : 1;
}
