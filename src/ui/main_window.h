// The main window: the navigation bar, the header line and the panels, the
// menus "&File" and "&Help" and the context menu. It renders the job and
// the view state of its Context and forwards every action to its operation.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>

#include "core/context.h"

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;

namespace kelvo {
class RunDriver;
}

namespace kelvo::ui {

class AboutPanel;
class DizPanel;
class NavigationBar;
class NfoPanel;
class PanelHeader;
class RunPanel;
class SkipPanel;
class SourcePanel;
class ZipPanel;

class MainWindow : public QMainWindow {
 public:
  MainWindow(Context& ctx, RunDriver& driver);

  // Writes every element from the job and the view state.
  void Render();
  // Only what is to be seen: the frame and the panel shown. A run's events
  // come often, and what it changes is on the run panel.
  void RenderShown();
  // Centred across, 1300 twips below the vertical centre of the screen.
  void PlaceOnScreen();
  // Where the window was at its last close, or else as PlaceOnScreen.
  void PlaceAtStart();
  // A copy started as a second instance, or from a drive root, removes no
  // files when it closes.
  void SetRemovesNothing(bool removesNothing) { removesNothing_ = removesNothing; }

  // The about box is the splash screen's, which the window does not own.
  std::function<void(int intervalMs)> showAboutBox;

  QMenu* fileMenu;
  QMenu* helpMenu;
  QMenu* panelMenu;                        // "menu", shown only as the context menu
  std::map<Panel, QAction*> panelActions;  // the panel items and "&Kelvo" (Panel::Run)
  QAction* openScript;
  QAction* saveScript;
  QAction* zipComment;
  QAction* exitProgram;
  QAction* helpContents;
  QAction* helpIndex;
  QAction* webPage;
  QAction* email;
  QAction* about;
  NavigationBar* navigation;
  PanelHeader* header;
  QStackedWidget* panels;
  SourcePanel* source;
  SkipPanel* skip;
  DizPanel* diz;
  NfoPanel* nfo;
  ZipPanel* zip;
  RunPanel* run;
  AboutPanel* aboutPanel;
  QLabel* dropNotice;  // why a drop was refused

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // F1 anywhere in the window, whatever the shift keys.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // One user action: the operation, then a render. While one runs (a run
  // processes events) no other starts; "&Abort" and "E&xit" act directly.
  void Act(const std::function<void()>& operation);
  void BuildMenus();
  void KeepContextMenuOff(QWidget* central);
  void ApplyFocus();
  void CloseWhenIdle();
  // Files dragged over or dropped anywhere on the window; true when taken.
  bool TakeDrop(QObject* watched, QEvent* event);

  Context& ctx_;
  RunDriver& driver_;
  int busy_ = 0;
  bool closeRequested_ = false;
  bool cleanedUp_ = false;
  bool removesNothing_ = false;
};

}  // namespace kelvo::ui
