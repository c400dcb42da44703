// notepad <path>: the editor for DIZ and NFO art. The path is a DOS path,
// relative ones taken from the working directory the parent started us in;
// an unquoted path with blanks arrives in pieces and is joined again.
//
// KELVO_NOTEPAD_SHOT=<png>: save a picture of the window and quit, for
// screenshots.
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "editor/open_editor.h"
#include "host/dospath.h"
#include "host/filesystem.h"
#include "host/host_config.h"
#include "host/host_error.h"

namespace {

using namespace kelvo::notepad;

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::optional<kelvo::host::FileSystem> fs;
  try {
    fs.emplace(kelvo::host::ToolFileSystem());
  } catch (const kelvo::host::HostError& e) {
    std::fprintf(stderr, "notepad: %s\n", e.what());
    return 1;
  }
  int status = 0;
  auto window = OpenEditor({argv + 1, argv + argc}, *fs, status);
  if (!window) return status;
  window->show();
  QString shot = qEnvironmentVariable("KELVO_NOTEPAD_SHOT");
  if (!shot.isEmpty()) {
    QTimer::singleShot(300, window.get(), [&] {
      window->grab().save(shot);
      app.exit(0);
    });
  }
  return app.exec();
}
