// The seams through which the logic reaches the user: dialogs, message
// boxes, reports, sound and pending events. Each mode is a Ui: the Qt
// window's shows boxes and ignores reports, the unattended one shows no box
// and writes reports to stderr; tests answer them from a script.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

enum class MessageIcon { None, Critical, Exclamation, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageResult { Ok, Cancel, Yes, No };

struct FileDialogRequest {
  std::string title;
  std::string filter;       // "Script (*.kvo)|*.kvo|": description, '|', pattern
  std::string initialName;  // "*.kvo"
  std::string initialDir;   // DOS path, may be empty
  // The read-only box is always hidden.
  // A file inside the source tree (a skip entry) may have any name: it never
  // reaches a command line. Every other choice must be a DOS name.
  bool anyName = false;
};

// What a folder dialog offers the logic while it is open.
class FolderDialogStatus {
 public:
  virtual ~FolderDialogStatus() = default;
  virtual void SetStatusText(const std::string& text) = 0;
};

struct FolderDialogRequest {
  std::string title;
  std::string initialSelection;  // DOS path or empty
  bool anyName = false;          // as FileDialogRequest::anyName
  // Called each time the highlighted folder changes, with its DOS path.
  std::function<void(const std::string& path, FolderDialogStatus& status)> onHighlighted;
};

// Things earlier runs left that this run could remove.
struct RemovalOffer {
  std::string question;            // the whole question, as the window asks it
  std::vector<std::string> items;  // one line for each thing, naming it
};

// A reason as it goes to stderr or a log: every control byte but the line
// breaks escaped ("\x01"; CR is a line break), so that no value can cut,
// colour or rewrite the line; and a reason past 2,000 bytes cut in its
// middle (at character boundaries), so that no value floods the log.
std::string PrintableReason(std::string_view text);

class Ui {
 public:
  virtual ~Ui() = default;

  virtual MessageResult ShowMessage(const std::string& text, const std::string& title,
                                    MessageIcon icon, MessageButtons buttons) = 0;
  // DOS path of the chosen file or folder; nullopt when cancelled. A choice
  // that is no DOS name (d:\a>b) is refused with a message and counts as
  // cancelled, so that no operation ever holds one.
  std::optional<std::string> OpenFile(const FileDialogRequest& request);
  std::optional<std::string> SaveFile(const FileDialogRequest& request);
  std::optional<std::string> BrowseFolder(const FolderDialogRequest& request);

  // Where the dialogs keep the folder they were last answered in; a dialog
  // given no starting folder starts there. Unset, nothing is kept.
  void RememberFoldersIn(std::map<std::string, std::string>* folders) { folders_ = folders; }

  // The log of a run without a window: the reason for its status, its
  // warnings, and the archiver's progress (one line, rewritten in place on
  // a terminal, then ended). The window shows all of it on its panels and in
  // its boxes, and ignores these.
  virtual void Report(const std::string& /*text*/) {}

  // Offers to remove what earlier runs left; true to remove it. The window
  // asks (No unless the user says Yes); a run without a window names each
  // item in a warning and keeps them all.
  virtual bool OfferRemoval(const RemovalOffer& offer) = 0;

  // A milestone (each tenth of the archiver, each zip, the end) is what a
  // log keeps; a terminal shows every text.
  virtual void ReportProgress(const std::string& /*text*/, bool /*milestone*/) {}
  virtual void EndProgressReport() {}

  // Let the window repaint from the view state and take input (Abort).
  virtual void ProcessEvents() = 0;
  // Plays a WAV file of the application directory (host path); a missing
  // file plays nothing.
  virtual void PlaySound(const std::string& hostPath, bool wait) = 0;

 protected:
  // The dialogs themselves, as the platform shows them.
  virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request, bool save) = 0;
  virtual std::optional<std::string> ChooseFolder(const FolderDialogRequest& request) = 0;

 private:
  std::optional<std::string> Accept(std::optional<std::string> chosen, bool anyName);
  std::optional<std::string> ChooseFileRemembering(const FileDialogRequest& request, bool save);
  // The folder kept for `title`, or empty; and keeping one.
  std::string RememberedFolder(const std::string& title) const;
  void Remember(const std::string& title, const std::string& folder);

  std::map<std::string, std::string>* folders_ = nullptr;
};

}  // namespace kelvo
