#include "editor/open_editor.h"

#include <QMessageBox>

#include "host/host_error.h"

namespace kelvo::notepad {

namespace {

std::unique_ptr<NotepadWindow> Fail(const QString& text, int& exitStatus) {
  QMessageBox::critical(nullptr, "Notepad", text);
  exitStatus = 1;
  return nullptr;
}

}  // namespace

std::unique_ptr<NotepadWindow> OpenEditor(const std::vector<std::string>& args,
                                          const host::FileSystem& fs, int& exitStatus) {
  exitStatus = 0;
  std::string dosPath = PathFromArgs(args);
  if (dosPath.empty()) return Fail("No file named.\nUse: notepad <file>", exitStatus);

  std::string hostPath;
  QString shown = QString::fromLocal8Bit(dosPath.c_str());
  try {
    dosPath = fs.Absolute(dosPath);
    shown = QString::fromLocal8Bit(dosPath.c_str());
    hostPath = fs.RequireHostPath(dosPath, "open");
  } catch (const host::HostError& e) {
    return Fail(QString::fromLocal8Bit(e.what()), exitStatus);
  }

  FileRead read = ReadFile(hostPath);
  switch (read.status) {
    case FileRead::Status::Ok:
      break;
    case FileRead::Status::Missing:
      // The file is made on the first save, never before.
      if (QMessageBox::question(
              nullptr, "Notepad",
              QString("Cannot find the file %1.\n\nDo you want to create a new file?")
                  .arg(shown)) != QMessageBox::Yes)
        return nullptr;
      break;
    case FileRead::Status::TooBig:
      return Fail(QString("%1 is too large to edit: %2 bytes, at most %3 bytes.")
                      .arg(shown)
                      .arg(qulonglong(read.size))
                      .arg(qulonglong(kMaxFileBytes)),
                  exitStatus);
    case FileRead::Status::Failed:
      return Fail(
          QString("%1 cannot be opened:\n%2").arg(shown, QString::fromStdString(read.error)),
          exitStatus);
  }
  if (LooksBinary(read.bytes))
    QMessageBox::warning(nullptr, "Notepad",
                         QString("%1 does not look like a text file.\nIt is opened anyway; its "
                                 "bytes stay as they are unless you save.")
                             .arg(shown));
  return std::make_unique<NotepadWindow>(hostPath, shown, std::move(read.bytes));
}

}  // namespace kelvo::notepad
