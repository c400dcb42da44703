// webdial >mailto:<address> | $<web address>: hands the address to the
// desktop's mail client or web browser, and ends.
#include <QDesktopServices>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "launcher/dial.h"

namespace {

void Complain(const QString& text) {
  std::fprintf(stderr, "webdial: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelvo::dial;
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  // A refused argument is told before Qt starts, unmixed with its notes.
  if (const Target target = ParseTarget(args); !target.url.isValid()) {
    Complain(target.error);
    return kExitUsage;
  }

  // Without a display Qt aborts; the desktop's opener needs none.
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!(display && *display) && !(wayland && *wayland) &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  QString error;
  const int status = Dial(
      args, [](const QUrl& url) { return QDesktopServices::openUrl(url); }, &error);
  if (status != kExitOpened) Complain(error);
  return status;
}
