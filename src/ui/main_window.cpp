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
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "run/run_driver.h"
#include "run/zip_fit.h"
#include "scripts/job_script.h"
#include "shell/drop.h"
#include "shell/help.h"
#include "shell/navigation.h"
#include "shell/splash.h"
#include "shell/startup.h"
#include "source/drives.h"
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

MainWindow::MainWindow(Context& ctx, RunDriver& driver) : ctx_(ctx), driver_(driver) {
  ActFn act = [this](const std::function<void()>& operation) { Act(operation); };

  auto* central = new QWidget(this);
  navigation = new NavigationBar(central);
  navigation->setFixedWidth(112);
  header = new PanelHeader(central);
  panels = new QStackedWidget(central);
  source = new SourcePanel(ctx_, act, panels);
  skip = new SkipPanel(ctx_, act, panels);
  diz = new DizPanel(ctx_, act, panels);
  nfo = new NfoPanel(ctx_, act, panels);
  zip = new ZipPanel(ctx_, act, panels);
  run = new RunPanel(
      ctx_, act, driver_, [this] { CloseWhenIdle(); }, panels);
  aboutPanel = new AboutPanel(ctx_, act, panels);
  panels->addWidget(new QWidget(panels));  // no panel shown
  for (QWidget* panel :
       std::initializer_list<QWidget*>{source, skip, diz, nfo, zip, run, aboutPanel})
    panels->addWidget(panel);

  dropNotice = new QLabel(central);
  dropNotice->setWordWrap(true);
  dropNotice->hide();

  auto* right = new QVBoxLayout;
  right->addWidget(header);
  right->addWidget(panels, 1);
  right->addWidget(dropNotice);
  auto* layout = new QHBoxLayout(central);
  layout->addWidget(navigation);
  layout->addLayout(right, 1);
  setCentralWidget(central);

  shell::NavigationActions actions;
  actions.runJob = [this] { driver_.RunJob(); };
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
  resize(620, 470);
  RefreshZipFit(ctx_);
  RefreshFreeSpace(ctx_);
  Render();
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
  fileMenu->addSeparator();
  exitProgram = fileMenu->addAction("E&xit");
  connect(openScript, &QAction::triggered, this, [this] { Act([this] { OpenScript(ctx_); }); });
  connect(saveScript, &QAction::triggered, this, [this] { Act([this] { SaveScript(ctx_); }); });
  connect(zipComment, &QAction::triggered, this,
          [this] { Act([this] { texts::ToggleZipComment(ctx_); }); });
  connect(exitProgram, &QAction::triggered, this, [this] {
    shell::ExitProgram(ctx_, driver_);
    CloseWhenIdle();
  });

  panelMenu = new QMenu("menu", this);
  const std::pair<Panel, const char*> items[] = {{Panel::Source, "&Source"},
                                                 {Panel::Skip, "S&kip"},
                                                 {Panel::Diz, "&Diz"},
                                                 {Panel::Nfo, "&Nfo"},
                                                 {Panel::Zip, "&Zip"}};
  for (const auto& [panel, caption] : items) {
    QAction* action = panelMenu->addAction(caption);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this,
            [this, panel = panel] { Act([this, panel] { ShowPanel(ctx_.view, panel); }); });
    panelActions[panel] = action;
  }
  panelMenu->addSeparator();
  QAction* kelvo = panelMenu->addAction("&Kelvo");
  kelvo->setCheckable(true);
  connect(kelvo, &QAction::triggered, this, [this] { Act([this] { driver_.RunJob(); }); });
  panelActions[Panel::Run] = kelvo;

  helpMenu = menuBar()->addMenu("&Help");
  helpContents = helpMenu->addAction("&Contents...");
  helpIndex = helpMenu->addAction("&Index...");
  helpMenu->addSeparator();
  webPage = helpMenu->addAction("&Web page...");
  email = helpMenu->addAction("&Email");
  helpMenu->addSeparator();
  about = helpMenu->addAction("&About");
  connect(helpContents, &QAction::triggered, this, [this] { shell::HelpContents(ctx_); });
  connect(helpIndex, &QAction::triggered, this, [this] { shell::HelpIndex(ctx_); });
  connect(webPage, &QAction::triggered, this, [this] { shell::OpenWebPage(ctx_); });
  connect(email, &QAction::triggered, this, [this] { shell::SendEmail(ctx_); });
  connect(about, &QAction::triggered, this, [this] {
    if (showAboutBox) showAboutBox(shell::kAboutMenuIntervalMs);
  });
}

void MainWindow::Act(const std::function<void()>& operation) {
  if (busy_ > 0) return;
  ++busy_;
  operation();
  --busy_;
  RefreshZipFit(ctx_);
  RefreshFreeSpace(ctx_);
  Render();
  if (ctx_.programExit || closeRequested_) CloseWhenIdle();
}

void MainWindow::CloseWhenIdle() {
  closeRequested_ = true;
  // A run still on the stack ends first (its abort request is raised); the
  // window closes once the action that started it has returned.
  if (busy_ == 0) QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::Render() {
  RenderShown();
  for (auto* panel :
       std::initializer_list<PanelBase*>{source, skip, diz, nfo, zip, run, aboutPanel})
    panel->Render();
}

void MainWindow::RenderShown() {
  const ViewState& view = ctx_.view;
  setWindowTitle(MessageText(ShownWindowTitle(view)));
  header->SetText(MessageText(view.PanelHeader));
  PanelBase* shown = nullptr;
  switch (view.VisiblePanel) {
    case Panel::Source:
      shown = source;
      break;
    case Panel::Skip:
      shown = skip;
      break;
    case Panel::Diz:
      shown = diz;
      break;
    case Panel::Nfo:
      shown = nfo;
      break;
    case Panel::Zip:
      shown = zip;
      break;
    case Panel::Run:
      shown = run;
      break;
    case Panel::About:
      shown = aboutPanel;
      break;
    case Panel::None:
      break;
  }
  if (shown) shown->Render();
  panels->setCurrentIndex(shown ? panels->indexOf(shown) : 0);
  for (auto& [panel, action] : panelActions) action->setChecked(view.CheckedMenuItem == panel);
  zipComment->setChecked(ctx_.job.ZipCommentEnabled);
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
  ApplyFocus();
}

void MainWindow::ApplyFocus() {
  QLineEdit* box = nullptr;
  switch (ctx_.view.Focus) {
    case FocusBox::DizColumn:
      box = diz->column;
      break;
    case FocusBox::DizLine:
      box = diz->line;
      break;
    case FocusBox::ZipBaseName:
      box = zip->baseName;
      break;
    case FocusBox::None:
      return;
  }
  // A request, taken once: the box keeps the focus until the user moves it.
  ctx_.view.Focus = FocusBox::None;
  box->setFocus();
  box->selectAll();
}

void MainWindow::PlaceAtStart() {
  if (!RestoreWindowGeometry(*this)) PlaceOnScreen();
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
  if (event->type() == QEvent::WindowStateChange) ctx_.view.WindowMinimised = isMinimized();
  QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ > 0) {
    // A run is in progress: stop it, and close when it has returned.
    shell::ExitProgram(ctx_, driver_);
    CloseWhenIdle();
    event->ignore();
    return;
  }
  if (!cleanedUp_) {
    cleanedUp_ = true;
    shell::CleanUpAtExit(ctx_, removesNothing_);
    // A copy that never showed its window (a second copy, one in a drive
    // root) leaves the user's settings as they were.
    if (!removesNothing_) {
      SaveProgramSettings(ctx_.prefs);
      SaveWindowGeometry(*this);
    }
  }
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
  if (busy_ > 0) {
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
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
      isActiveWindow()) {
    shell::OpenHelpFile(ctx_);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  panelMenu->popup(event->globalPos());
}

}  // namespace kelvo::ui
