// The dialogs, message boxes, sound and event processing of the window:
// the platform side of the logic's Ui seam. Every path a dialog returns is
// a DOS path.
#pragma once

#include <QSize>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "core/ui.h"
#include "host/drive_table.h"

class QFileDialog;
class QMessageBox;
class QSoundEffect;
class QWidget;

namespace kelvo::ui {

// Display text of a message: CR LF and lone CR become line breaks.
QString MessageText(const std::string& text);
// The Qt form of a DOS filter: "Script (*.kvo)|*.kvo|" -> "Script (*.kvo)".
QString QtFilter(const std::string& dosFilter);
// The playing time of a PCM WAV file in milliseconds; 0 when it is none.
int WavDurationMs(const std::string& hostPath);

// A message box as ShowMessage shows it: title, text, icon, buttons.
void PrepareMessageBox(QMessageBox& box, const std::string& text, const std::string& title,
                       MessageIcon icon, MessageButtons buttons);
// The box OfferRemoval shows: a question whose Enter keeps everything.
void PrepareRemovalQuestion(QMessageBox& box, const RemovalOffer& offer);
// `wanted`, or what the dialog's screen has room for.
QSize DialogSize(const QWidget& dialog, QSize wanted);
// A file dialog as the file dialogs of the Ui show it for `request`.
void PrepareFileDialog(QFileDialog& dialog, const host::DriveTable& drives,
                       const FileDialogRequest& request, bool save);

class QtUi : public Ui {
 public:
  explicit QtUi(const host::DriveTable& drives);
  ~QtUi() override;

  // The window the dialogs belong to, and its render; both may be unset.
  void SetWindow(QWidget* window, std::function<void()> render);

  MessageResult ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                            MessageButtons buttons) override;
  bool OfferRemoval(const RemovalOffer& offer) override;
  void ProcessEvents() override;
  void PlaySound(const std::string& hostPath, bool wait) override;

 protected:
  std::optional<std::string> ChooseFile(const FileDialogRequest& request, bool save) override;
  std::optional<std::string> ChooseFolder(const FolderDialogRequest& request) override;

 private:
  // The DOS path of a host path a dialog gave; a name DOS can't hold is
  // refused here with its reason.
  std::optional<std::string> ToDos(const QString& hostPath);

  const host::DriveTable& drives_;
  QWidget* window_ = nullptr;
  std::function<void()> render_;
  std::map<std::string, std::unique_ptr<QSoundEffect>> sounds_;
};

}  // namespace kelvo::ui
