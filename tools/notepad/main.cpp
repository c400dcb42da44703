// notepad <path>: the editor for DIZ and NFO art. The path is a DOS path,
// relative ones taken from the working directory the parent started us in;
// an unquoted path with blanks arrives in pieces and is joined again.
//
// KELVO_NOTEPAD_SHOT=<png>: save a picture of the window and quit, for
// screenshots.
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <string>
#include <vector>

#include "editor/notepad_window.h"
#include "host/dospath.h"
#include "host/filesystem.h"
#include "host/host_config.h"
#include "host/host_error.h"

namespace {

using namespace kelvo::notepad;

// The file system, with the working directory as the current DOS directory.
kelvo::host::FileSystem MakeFileSystem() {
  auto config = kelvo::host::LoadHostConfig(kelvo::host::ExecutableDir());
  kelvo::host::FileSystem fs(config.drives);
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd)) {
    if (auto dos = fs.Drives().ToDos(cwd)) {
      try {
        fs.ChangeDrive(kelvo::dos::DriveLetter(*dos));
        fs.ChangeDir(*dos);
      } catch (const kelvo::host::HostError&) {
        // Relative paths then start at the drive's root.
      }
    }
  }
  return fs;
}

int Fail(const QString& text) {
  QMessageBox::critical(nullptr, "Notepad", text);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string dosPath = PathFromArgs(args);
  if (dosPath.empty()) return Fail("No file named.\nUse: notepad <file>");
  QString shown = QString::fromLocal8Bit(dosPath.c_str());

  std::string hostPath;
  try {
    auto fs = MakeFileSystem();
    dosPath = fs.Absolute(dosPath);
    hostPath = fs.RequireHostPath(dosPath, "open");
    shown = QString::fromLocal8Bit(dosPath.c_str());
  } catch (const kelvo::host::HostError& e) {
    return Fail(QString::fromLocal8Bit(e.what()));
  }

  FileRead read = ReadFile(hostPath);
  switch (read.status) {
    case FileRead::Status::Ok:
      break;
    case FileRead::Status::Missing:
      // The file is made on the first save, never before.
      if (QMessageBox::question(nullptr, "Notepad",
                                QString("Cannot find the file %1.\n\nDo you want to create a "
                                        "new file?")
                                    .arg(shown)) != QMessageBox::Yes)
        return 0;
      break;
    case FileRead::Status::TooBig:
      return Fail(QString("%1 is too large to edit: %2 bytes, at most %3 bytes.")
                      .arg(shown)
                      .arg(qulonglong(read.size))
                      .arg(qulonglong(kMaxFileBytes)));
    case FileRead::Status::Failed:
      return Fail(
          QString("%1 cannot be opened:\n%2").arg(shown, QString::fromStdString(read.error)));
  }
  if (LooksBinary(read.bytes))
    QMessageBox::warning(nullptr, "Notepad",
                         QString("%1 does not look like a text file.\nIt is opened anyway; its "
                                 "bytes stay as they are unless you save.")
                             .arg(shown));

  NotepadWindow window(hostPath, shown, std::move(read.bytes));
  window.show();
  QString shot = qEnvironmentVariable("KELVO_NOTEPAD_SHOT");
  if (!shot.isEmpty()) {
    QTimer::singleShot(300, &window, [&] {
      window.grab().save(shot);
      app.exit(0);
    });
  }
  return app.exec();
}
