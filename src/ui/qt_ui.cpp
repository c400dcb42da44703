#include "ui/qt_ui.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QSoundEffect>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "core/message_titles.h"
#include "host/dospath.h"
#include "ui/folder_dialog.h"

namespace kelvo::ui {

QString MessageText(const std::string& text) {
  QString out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += '\n';
    } else {
      std::size_t end = text.find('\r', i);
      if (end == std::string::npos) end = text.size();
      out += QString::fromUtf8(text.data() + i, static_cast<qsizetype>(end - i));
      i = end - 1;
    }
  }
  return out;
}

QString QtFilter(const std::string& dosFilter) {
  QString filter = QString::fromUtf8(dosFilter.data(), static_cast<qsizetype>(dosFilter.size()));
  QStringList parts = filter.split('|');
  if (parts.size() < 2) return filter;
  QString description = parts[0], pattern = parts[1] == "*.*" ? "*" : parts[1];
  pattern.replace(';', ' ');
  if (description.contains('('))
    return description.left(description.indexOf('(')) + "(" + pattern + ")";
  return description + " (" + pattern + ")";
}

namespace {

struct DialogStart {
  QString folder;  // host path; empty: where Qt starts
  QString file;    // a name in it to offer, or empty
};

// Whether `name` is one the dialog's DOS filter looks for. A catch-all
// filter looks for no kind: what it is handed is a neighbour to start
// beside (the NFO for an extra file), not an answer to offer.
bool FilterLooksFor(const std::string& dosFilter, const std::string& name) {
  const std::size_t start = dosFilter.find('|');
  if (start == std::string::npos) return false;
  const std::size_t end = dosFilter.find('|', start + 1);
  const std::string patterns = dosFilter.substr(start + 1, end - start - 1);
  for (std::size_t at = 0; at <= patterns.size();) {
    std::size_t next = patterns.find(';', at);
    if (next == std::string::npos) next = patterns.size();
    const std::string pattern = patterns.substr(at, next - at);
    if (pattern != "*" && pattern != "*.*" && dos::MatchWildcard(pattern, name)) return true;
    at = next + 1;
  }
  return false;
}

// The logic may hand a file as the starting point (the chosen DIZ): Qt shows
// an empty view for it, so the dialog opens in the nearest folder that
// exists, and offers the file when it is of the dialog's kind.
DialogStart StartOf(const host::DriveTable& drives, const FileDialogRequest& request) {
  DialogStart start;
  if (request.initialDir.empty()) return start;
  std::string dosPath = request.initialDir;
  for (;;) {
    auto host = drives.ToHost(dosPath);
    if (!host) return start;
    const QFileInfo info(QString::fromStdString(*host));
    if (info.isDir()) {
      start.folder = info.absoluteFilePath();
      return start;
    }
    if (info.isFile() && dosPath == request.initialDir &&
        FilterLooksFor(request.filter, info.fileName().toStdString()))
      start.file = info.fileName();
    const std::string parent = dos::Parent(dosPath);
    if (parent == dosPath) return start;
    dosPath = parent;
  }
}

}  // namespace

int WavDurationMs(const std::string& hostPath) {
  QFile file(QString::fromStdString(hostPath));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  QByteArray bytes = file.read(4096);
  auto le32 = [&](qsizetype at) {
    return static_cast<quint32>(static_cast<unsigned char>(bytes[at])) |
           static_cast<quint32>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<quint32>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<quint32>(static_cast<unsigned char>(bytes[at + 3])) << 24;
  };
  if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE") return 0;
  quint32 byteRate = 0;
  for (qsizetype at = 12; at + 8 <= bytes.size();) {
    QByteArray id = bytes.mid(at, 4);
    quint32 size = le32(at + 4);
    if (id == "fmt " && at + 16 <= bytes.size()) byteRate = le32(at + 8 + 8);
    if (id == "data") {
      if (byteRate == 0) return 0;
      return static_cast<int>(static_cast<quint64>(size) * 1000 / byteRate);
    }
    at += 8 + size + (size & 1);
  }
  return 0;
}

void PrepareMessageBox(QMessageBox& box, const std::string& text, const std::string& title,
                       MessageIcon icon, MessageButtons buttons) {
  box.setWindowTitle(QString::fromStdString(title));
  box.setText(MessageText(text));
  switch (icon) {
    case MessageIcon::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
    case MessageIcon::Exclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case MessageIcon::None:
      break;
  }
  switch (buttons) {
    case MessageButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      // OK is what these boxes ask about (overwrite, go on): Enter must not
      // answer it.
      box.setDefaultButton(QMessageBox::Cancel);
      break;
    case MessageButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
  }
}

void PrepareRemovalQuestion(QMessageBox& box, const RemovalOffer& offer) {
  PrepareMessageBox(box, offer.question, kAppTitle, MessageIcon::Question, MessageButtons::YesNo);
  box.setTextFormat(Qt::PlainText);  // host paths are data, never markup
  // Removing is what the box asks about: Enter must not answer it.
  box.setDefaultButton(QMessageBox::No);
}

QSize DialogSize(const QWidget& dialog, QSize wanted) {
  const QScreen* screen = dialog.screen();
  return screen ? wanted.boundedTo(screen->availableGeometry().size() - QSize(16, 48)) : wanted;
}

void PrepareFileDialog(QFileDialog& dialog, const host::DriveTable& drives,
                       const FileDialogRequest& request, bool save) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // Wide enough for the name, size, type and date columns to read.
  dialog.resize(DialogSize(dialog, QSize(820, 520)));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilter(QtFilter(request.filter));
  const DialogStart start = StartOf(drives, request);
  if (!start.folder.isEmpty()) dialog.setDirectory(start.folder);
  // A pattern as the initial name is what the filter already says.
  if (request.initialName.find_first_of("*?") == std::string::npos)
    dialog.selectFile(QString::fromStdString(request.initialName));
  else if (!start.file.isEmpty())
    dialog.selectFile(start.file);
}

QtUi::QtUi(const host::DriveTable& drives) : drives_(drives) {}
QtUi::~QtUi() = default;

void QtUi::SetWindow(QWidget* window, std::function<void()> render) {
  window_ = window;
  render_ = std::move(render);
}

MessageResult QtUi::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                                MessageButtons buttons) {
  QMessageBox box(window_);
  PrepareMessageBox(box, text, title, icon, buttons);
  switch (box.exec()) {
    case QMessageBox::Ok:
      return MessageResult::Ok;
    case QMessageBox::Yes:
      return MessageResult::Yes;
    case QMessageBox::No:
      return MessageResult::No;
    default:
      // Escape or the close button of a Yes/No box answers as the safe choice.
      return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
  }
}

bool QtUi::OfferRemoval(const RemovalOffer& offer) {
  QMessageBox box(window_);
  PrepareRemovalQuestion(box, offer);
  return box.exec() == QMessageBox::Yes;
}

void QtUi::ProcessEvents() {
  if (render_) render_();
  QCoreApplication::processEvents();
}

void QtUi::PlaySound(const std::string& hostPath, bool wait) {
  if (!QFile::exists(QString::fromStdString(hostPath))) return;
  auto& effect = sounds_[hostPath];
  if (!effect) {
    effect = std::make_unique<QSoundEffect>();
    effect->setSource(QUrl::fromLocalFile(QString::fromStdString(hostPath)));
  }
  effect->play();
  if (!wait) return;
  // Without an audio device the effect may claim to play for ever: wait for
  // the file's own length, repainting but taking no input meanwhile.
  int duration = WavDurationMs(hostPath);
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < duration) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    QThread::msleep(10);
  }
}

std::optional<std::string> QtUi::ToDos(const QString& hostPath) {
  QByteArray bytes = hostPath.toUtf8();
  if (bytes.contains('\\')) {
    ShowMessage("can't use '" + bytes.toStdString() + "': a DOS name can't hold '\\'", kErrorTitle,
                MessageIcon::Critical, MessageButtons::Ok);
    return std::nullopt;
  }
  return drives_.ToDos(bytes.toStdString());
}

std::optional<std::string> QtUi::ChooseFile(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(window_, QString::fromStdString(request.title));
  PrepareFileDialog(dialog, drives_, request, save);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToDos(dialog.selectedFiles().first());
}

std::optional<std::string> QtUi::ChooseFolder(const FolderDialogRequest& request) {
  FolderDialog dialog(window_, drives_, request);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  auto chosen = dialog.ChosenPath();
  if (!chosen) return std::nullopt;
  return ToDos(QString::fromStdString(*chosen));
}

}  // namespace kelvo::ui
