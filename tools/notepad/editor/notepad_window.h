// The editor window: one file's bytes shown through a view, the cursor's
// line:column in the status bar, saving back only what was edited.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <string>
#include <vector>

#include "text/notepad_text.h"

namespace kelvo::notepad {

// The text area, with an optional guide after a given column.
class TextArea : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  void SetGuide(int column);  // 0: none
  int Guide() const { return guide_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int guide_ = 0;
};

class NotepadWindow : public QMainWindow {
 public:
  // hostPath is where the bytes go on save; shownName is the DOS path.
  NotepadWindow(std::string hostPath, QString shownName, std::string bytes);

  // The bytes a save would write now.
  std::string Bytes() const;
  // Writes them; returns the errno text, empty on success. The buffer stays
  // as it is either way.
  std::string Save();
  bool Modified() const;

  View CurrentView() const { return view_; }
  void SetView(View view);
  TextArea* Area() const { return area_; }
  // "Ln 3, Col 45" for the cursor, 1-based.
  QString Position() const;
  void SetGuide(bool on);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void Show(const std::string& bytes);
  void UpdateStatus();
  void UpdateTitle();
  bool SaveWithMessage();

  std::string hostPath_;
  QString shownName_;
  std::vector<Line> lines_;  // as last read or saved
  View view_ = View::Cp437;
  TextArea* area_;
  QLabel* position_;
  QLabel* note_;
};

// "Px IBM VGA8" at a whole-pixel size, else DejaVu Sans Mono.
QFont EditorFont();

}  // namespace kelvo::notepad
