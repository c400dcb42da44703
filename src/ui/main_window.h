// The main window: the navigation bar, the header line and the panels, the
// menus "&File" and "&Help" and the context menu. It renders the job and
// the view state of its session's Context and forwards every action to its
// operation through the session, which refreshes the figures and asks for
// the render.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>

#include "core/context.h"

class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class QStackedWidget;

namespace kelvo::shell {
class Session;
}

namespace kelvo::ui {

class AboutPanel;
class DizPanel;
class NavigationBar;
class NfoPanel;
class PanelBase;
class PanelHeader;
class RunPanel;
class SkipPanel;
class SourcePanel;
class ZipPanel;

class MainWindow : public QMainWindow {
 public:
  // Takes the session's render, focus and close.
  explicit MainWindow(shell::Session& session);
  ~MainWindow() override;

  // Writes every element from the job and the view state; reads nothing
  // else and changes neither (the session refreshes the figures first).
  void Render();
  // Only what is to be seen: the frame and the panel shown. A run's events
  // come often, and what it changes is on the run panel.
  void RenderShown();
  // Centred across, 1300 twips below the vertical centre of the screen.
  void PlaceOnScreen();
  // Where the window was at its last close, or else as PlaceOnScreen.
  void PlaceAtStart();
  // The size it opens at: 620x470, or what the screen has room for.
  QSize RestoredSize() const;
  // The about box is the splash screen's, which the window does not own.
  std::function<void(int intervalMs)> showAboutBox;

  QMenu* fileMenu;
  QMenu* helpMenu;
  QMenu* panelMenu;                          // "menu", shown only as the context menu
  std::map<Panel, QAction*> panelActions;    // the panel items and "&Kelvo" (Panel::Run)
  std::map<Panel, PanelBase*> panelWidgets;  // from the panel table
  QAction* openScript;
  QAction* saveScript;
  QAction* zipComment;
  QAction* testSet;
  QAction* resumeSet;
  QAction* exitProgram;
  QAction* helpContents;
  QAction* helpIndex;
  QAction* webPage;
  QAction* email;
  QAction* about;
  NavigationBar* navigation;
  PanelHeader* header;
  QStackedWidget* panels;
  QScrollArea* panelScroll;  // holds `panels`
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
  // One user action, through the session.
  void Act(const std::function<void()>& operation);
  // The widget of a panel of the table.
  PanelBase* MakePanel(Panel panel, QWidget* parent);
  void BuildMenus();
  void KeepContextMenuOff(QWidget* central);
  void Focus(FocusBox box);
  // Files dragged over or dropped anywhere on the window; true when taken.
  bool TakeDrop(QObject* watched, QEvent* event);

  shell::Session& session_;
  Context& ctx_;  // the session's, for the operations the actions call
};

}  // namespace kelvo::ui
