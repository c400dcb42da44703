// The help viewer's window: the manual in a text browser, with an index pane
// (a search box over the list of entries) beside it when asked for.
#pragma once

#include <QMainWindow>
#include <vector>

#include "viewer/help_index.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTextBrowser;

namespace kelvo::help {

class HelpWindow : public QMainWindow {
 public:
  // html: the manual's text; helpFile: its host path, which the title
  // shows and beside which its pictures would be found.
  HelpWindow(const QString& html, const QString& helpFile, bool atIndex);

  // The manual from its start, the index pane closed.
  void ShowContents();
  // The index pane open, its search box empty and focused.
  void ShowIndex();

  QTextBrowser* Browser() const { return browser_; }
  QWidget* IndexPane() const { return indexPane_; }
  QLineEdit* SearchBox() const { return search_; }
  QListWidget* IndexList() const { return list_; }

 private:
  void Filter(const QString& text);
  void Jump(QListWidgetItem* item);
  void JumpToFirstShown();

  QTextBrowser* browser_;
  QWidget* indexPane_;
  QLineEdit* search_;
  QListWidget* list_;
};

}  // namespace kelvo::help
