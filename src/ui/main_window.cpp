#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/panel_table.h"
#include "run/run_driver.h"
#include "run/test_set.h"
#include "scripts/job_script.h"
#include "shell/drop.h"
#include "shell/help.h"
#include "shell/navigation.h"
#include "shell/session.h"
#include "shell/splash.h"
#include "shell/startup.h"
#include "texts/zip_comment.h"
#include "ui/navigation_bar.h"
#include "ui/panel_header.h"
#include "ui/panels.h"
#include "ui/pictures.h"
#include "ui/qt_ui.h"
#include "ui/settings_store.h"

namespace kelvo::ui {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

MainWindow::MainWindow(shell::Session& session) : session_(session), ctx_(session.ctx()) {
  auto* central = new QWidget(this);
  navigation = new NavigationBar(central);
  navigation->setFixedWidth(112);
  header = new PanelHeader(central);
  panels = new QStackedWidget(central);
  panels->addWidget(new QWidget(panels));  // no panel shown
  for (const PanelRow& row : PanelRows()) {
    if (row.panel == Panel::None) continue;
    PanelBase* widget = MakePanel(row.panel, panels);
    panelWidgets[row.panel] = widget;
    panels->addWidget(widget);
  }

  dropNotice = new QLabel(central);
  dropNotice->setWordWrap(true);
  dropNotice->hide();

  // On a small or scaled screen (twice as large on 1280x900) the panels
  // scroll instead of pushing the window past the screen's edge.
  panelScroll = new QScrollArea(central);
  panelScroll->setWidget(panels);
  panelScroll->setWidgetResizable(true);
  panelScroll->setFrameShape(QFrame::NoFrame);

  auto* right = new QVBoxLayout;
  right->addWidget(header);
  right->addWidget(panelScroll, 1);
  right->addWidget(dropNotice);
  auto* layout = new QHBoxLayout(central);
  layout->addWidget(navigation);
  layout->addLayout(right, 1);
  setCentralWidget(central);

  shell::NavigationActions actions;
  actions.runJob = [this] { session_.driver().RunJob(); };
  actions.openHelpFile = [this] { shell::OpenHelpFile(ctx_); };
  navigation->onItem = [this, actions](shell::NavItem item) {
    Act([this, item, actions] { shell::NavigateTo(ctx_, item, actions); });
  };
  navigation->onGroup = [this](NavGroup opened, NavGroup before) {
    Act([this, opened, before] { shell::SwitchGroup(ctx_, opened, before); });
  };
  header->onLogoPressed = [this](Qt::MouseButton button, QPoint at) {
    if (button == Qt::RightButton) {
      panelMenu->popup(at);
    } else if (showAboutBox) {
      showAboutBox(shell::kAboutLogoIntervalMs);
    }
  };
  BuildMenus();
  qApp->installEventFilter(this);
  KeepContextMenuOff(central);
  setAcceptDrops(true);
  resize(RestoredSize());

  session_.render = [this] { Render(); };
  session_.focus = [this](FocusBox box) { Focus(box); };
  // A run still on the stack has ended by the time the session asks.
  session_.close = [this] { QTimer::singleShot(0, this, [this] { close(); }); };
  session_.Show();
}

MainWindow::~MainWindow() {
  // The session may outlive the window: it asks nothing of it any more.
  session_.render = nullptr;
  session_.focus = nullptr;
  session_.close = nullptr;
}

PanelBase* MainWindow::MakePanel(Panel panel, QWidget* parent) {
  ActFn act = [this](const std::function<void()>& operation) { Act(operation); };
  switch (panel) {
    case Panel::Source:
      return source = new SourcePanel(ctx_, act, parent);
    case Panel::Skip:
      return skip = new SkipPanel(ctx_, act, parent);
    case Panel::Diz:
      return diz = new DizPanel(ctx_, act, parent);
    case Panel::Nfo:
      return nfo = new NfoPanel(ctx_, act, parent);
    case Panel::Zip:
      return zip = new ZipPanel(ctx_, act, parent);
    case Panel::Run:
      return run = new RunPanel(
                 ctx_, act, [this] { session_.Abort(); }, [this] { session_.ExitFromRun(); },
                 [this] { session_.Resume(); }, parent);
    case Panel::About:
      return aboutPanel = new AboutPanel(ctx_, act, parent);
    case Panel::None:
      break;
  }
  return nullptr;
}

void MainWindow::KeepContextMenuOff(QWidget* central) {
  // A right click that no widget takes reaches the window and pops "menu";
  // the controls, the navigation bar, the link panels and two texts of the
  // Zip panel take it and show nothing.
  for (QWidget* widget : central->findChildren<QWidget*>()) {
    if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
        qobject_cast<QAbstractSlider*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
        qobject_cast<QProgressBar*>(widget))
      widget->setContextMenuPolicy(Qt::PreventContextMenu);
  }
  for (QWidget* widget :
       std::initializer_list<QWidget*>{navigation, zip->compressionCaption, zip->estimate,
                                       aboutPanel->webPage, aboutPanel->email})
    widget->setContextMenuPolicy(Qt::PreventContextMenu);
}

void MainWindow::BuildMenus() {
  fileMenu = menuBar()->addMenu("&File");
  openScript = fileMenu->addAction("&Open script...");
  saveScript = fileMenu->addAction("&Save script...");
  fileMenu->addSeparator();
  zipComment = fileMenu->addAction("&Zip comment");
  zipComment->setCheckable(true);
  testSet = fileMenu->addAction("&Test set...");
  resumeSet = fileMenu->addAction("&Resume set");
  fileMenu->addSeparator();
  exitProgram = fileMenu->addAction("E&xit");
  connect(openScript, &QAction::triggered, this, [this] { Act([this] { OpenScript(ctx_); }); });
  connect(saveScript, &QAction::triggered, this, [this] { Act([this] { SaveScript(ctx_); }); });
  connect(zipComment, &QAction::triggered, this,
          [this] { Act([this] { texts::ToggleZipComment(ctx_); }); });
  connect(testSet, &QAction::triggered, this, [this] { Act([this] { TestChosenSet(ctx_); }); });
  connect(resumeSet, &QAction::triggered, this, [this] { session_.Resume(); });
  connect(exitProgram, &QAction::triggered, this, [this] { session_.Exit(); });

  panelMenu = new QMenu("menu", this);
  shell::NavigationActions actions;
  actions.runJob = [this] { session_.driver().RunJob(); };
  for (const PanelRow& row : PanelRows()) {
    if (!row.menuCaption) continue;
    if (row.menuSeparated) panelMenu->addSeparator();
    QAction* action = panelMenu->addAction(row.menuCaption);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, panel = row.panel, actions] {
      Act([this, panel, actions] { shell::ChooseMenuItem(ctx_, panel, actions); });
    });
    panelActions[row.panel] = action;
  }

  helpMenu = menuBar()->addMenu("&Help");
  helpContents = helpMenu->addAction("&Contents...");
  helpIndex = helpMenu->addAction("&Index...");
  helpMenu->addSeparator();
  webPage = helpMenu->addAction("&Web page...");
  email = helpMenu->addAction("&Email");
  helpMenu->addSeparator();
  about = helpMenu->addAction("&About");
  // The help and the links start a program beside the window, also during a
  // run.
  connect(helpContents, &QAction::triggered, this,
          [this] { session_.Direct([this] { shell::HelpContents(ctx_); }); });
  connect(helpIndex, &QAction::triggered, this,
          [this] { session_.Direct([this] { shell::HelpIndex(ctx_); }); });
  connect(webPage, &QAction::triggered, this,
          [this] { session_.Direct([this] { shell::OpenWebPage(ctx_); }); });
  connect(email, &QAction::triggered, this,
          [this] { session_.Direct([this] { shell::SendEmail(ctx_); }); });
  connect(about, &QAction::triggered, this, [this] {
    if (showAboutBox) showAboutBox(shell::kAboutMenuIntervalMs);
  });
}

void MainWindow::Act(const std::function<void()>& operation) {
  session_.Act(operation);
}

void MainWindow::Render() {
  RenderShown();
  const Context& model = ctx_;
  for (const auto& [panel, widget] : panelWidgets) widget->Render(model);
}

void MainWindow::RenderShown() {
  const Context& model = ctx_;
  const ViewState& view = model.view;
  setWindowTitle(MessageText(ShownWindowTitle(view)));
  header->SetText(MessageText(view.PanelHeader));
  auto shown = panelWidgets.find(view.VisiblePanel);
  PanelBase* widget = shown == panelWidgets.end() ? nullptr : shown->second;
  if (widget) widget->Render(model);
  panels->setCurrentIndex(widget ? panels->indexOf(widget) : 0);
  for (auto& [panel, action] : panelActions) action->setChecked(view.CheckedMenuItem == panel);
  zipComment->setChecked(model.job.ZipCommentEnabled);
  resumeSet->setEnabled(view.Resumable && !view.RunInProgress);
  navigation->Render(view);
  dropNotice->setText(MessageText(view.DropNotice));
  dropNotice->setVisible(!view.DropNotice.empty());

  bool waiting = QApplication::overrideCursor() != nullptr;
  if (view.BusyPointer && !waiting) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!view.BusyPointer && waiting) QApplication::restoreOverrideCursor();
  if (isVisible()) {
    if (view.WindowMinimised && !isMinimized()) showMinimized();
    if (!view.WindowMinimised && isMinimized()) showNormal();
  }
}

void MainWindow::Focus(FocusBox box) {
  QLineEdit* edit = nullptr;
  switch (box) {
    case FocusBox::DizColumn:
      edit = diz->column;
      break;
    case FocusBox::DizLine:
      edit = diz->line;
      break;
    case FocusBox::ZipBaseName:
      edit = zip->baseName;
      break;
    case FocusBox::None:
      return;
  }
  // The box keeps the focus until the user moves it.
  edit->setFocus();
  edit->selectAll();
}

void MainWindow::PlaceAtStart() {
  if (!RestoreWindowGeometry(*this)) PlaceOnScreen();
}

QSize MainWindow::RestoredSize() const {
  const QSize wanted(620, 470);
  QScreen* screen = this->screen();
  if (!screen) return wanted;
  // The frame around it (a title bar, mostly) needs its room too.
  const QSize frame(16, 48);
  return wanted.boundedTo(screen->availableGeometry().size() - frame);
}

void MainWindow::PlaceOnScreen() {
  QScreen* screen = this->screen();
  if (!screen) return;
  QRect area = screen->geometry();
  QSize frame = frameGeometry().size();
  int below =
      static_cast<int>(shell::kPlacementTwips / kTwipsPerInch * screen->logicalDotsPerInchY());
  int left = area.left() + (area.width() - frame.width()) / 2;
  int top = area.top() + (area.height() - frame.height()) / 2 + below;
  // Kept on the screen when it is too small for the offset.
  top = std::max(area.top(), std::min(top, area.bottom() - frame.height()));
  move(left, top);
}

void MainWindow::changeEvent(QEvent* event) {
  // A minimise or restore by the user (the archiver's window among them) is
  // the view's, so that the next render keeps it rather than undoing it.
  if (event->type() == QEvent::WindowStateChange) session_.NoteWindowMinimised(isMinimized());
  QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (session_.Busy()) {
    // A run is in progress: stop it, and close when it has returned.
    session_.Exit();
    event->ignore();
    return;
  }
  session_.Shutdown([this] {
    SaveProgramSettings(ctx_.prefs);
    SaveWindowGeometry(*this);
  });
  event->accept();
}

bool MainWindow::TakeDrop(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return false;
  auto* drag = static_cast<QDropEvent*>(event);
  // Dropped files are taken by the window as a whole: a text box would
  // otherwise take the file's address as text.
  if (!drag->mimeData()->hasUrls()) return false;
  if (session_.Busy()) {
    drag->ignore();
    return true;
  }
  drag->acceptProposedAction();
  if (type != QEvent::Drop) return true;
  std::vector<std::string> paths;
  for (const QUrl& url : drag->mimeData()->urls())
    paths.push_back(url.isLocalFile() ? url.toLocalFile().toUtf8().toStdString() : std::string());
  Act([this, paths] { shell::DropOnWindow(ctx_, paths); });
  return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (TakeDrop(watched, event)) return true;
  if (event->type() != QEvent::KeyPress || !isActiveWindow())
    return QMainWindow::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_F1) {
    session_.Direct([this] { shell::OpenHelpFile(ctx_); });
    return true;
  }
  // The keyboard's way to "menu": where a right click would show it, at
  // the control that has the focus.
  if (key->key() == Qt::Key_Menu ||
      (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
    QWidget* at = focusWidget() ? focusWidget() : panels;
    panelMenu->popup(at->mapToGlobal(at->rect().center()));
    return true;
  }
  // Return opens the navigation item that has the focus, as a click does.
  if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && watched != nullptr) {
    auto* item = qobject_cast<QToolButton*>(watched);
    if (item && navigation->isAncestorOf(item)) {
      item->click();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  panelMenu->popup(event->globalPos());
}

}  // namespace kelvo::ui
