// A MainWindow on the test drives, shown offscreen, with the sounds of the
// application directory present so that the window asks for them.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_driver.h"
#include "shell/session.h"
#include "shell/startup.h"
#include "support/temp_drives.h"
#include "ui/main_window.h"
#include "ui/navigation_bar.h"
#include "ui/panel_header.h"
#include "ui/panels.h"

namespace kelvo::gui {

using shell::NavItem;
using testing::TempDrives;

struct GuiApp : testing::TestApp {
  // `commandLine` as the program gets it; `before` lays out the files it
  // names before the start-up reads them.
  explicit GuiApp(std::string_view commandLine = "",
                  const std::function<void(GuiApp&)>& before = nullptr)
      : driver(ctx), session(ctx, driver), window(session) {
    for (const char* sound : {"type.wav", "whoosh.wav", "kvo.wav"})
      TempDrives::WriteFile(drives.Host('c', std::string("app/") + sound), "RIFF");
    if (before) before(*this);
    session.ReadSettings();
    session.Start(commandLine, {});
    // As the program's own event processing: the window renders first.
    ui.onProcessEvents = [this] { Pump(); };
    window.Render();
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  ~GuiApp() {
    ui.onProcessEvents = nullptr;
    QApplication::closeAllWindows();
  }

  // An action of the test itself, as the window's own go: through the
  // session, which refreshes the figures and renders.
  void Act(const std::function<void()>& operation) { session.Act(operation); }

  void Pump() {
    window.Render();
    QApplication::processEvents();
    if (duringRun) duringRun();
  }

  std::string Sound(const char* name) const { return drives.Host('c', std::string("app/") + name); }
  std::string Header() const { return window.header->text->text().toStdString(); }
  QToolButton* Item(NavItem item) const { return window.navigation->Item(item); }
  // A check box or an option takes clicks on its mark and caption only.
  void Click(QAbstractButton* button) {
    bool marked = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    QPoint at = marked ? QPoint(6, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
  }
  // A mnemonic: the button it reaches is pressed now and clicked when its
  // press animation ends.
  void Alt(Qt::Key key) {
    QTest::keyClick(&window, key, Qt::AltModifier);
    auto buttons = window.findChildren<QAbstractButton*>();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          return std::none_of(buttons.begin(), buttons.end(), [](auto* b) { return b->isDown(); });
        },
        2000));
  }
  void Click(NavItem item) { Click(Item(item)); }
  QWidget* Shown() const { return window.panels->currentWidget(); }
  // The captions of the checked items of "menu".
  std::vector<std::string> Checked() const {
    std::vector<std::string> checked;
    for (QAction* action : window.panelMenu->actions())
      if (action->isChecked()) checked.push_back(action->text().toStdString());
    return checked;
  }
  // A right click on `widget`; true when it popped "menu" (closed again).
  bool RightClickShowsMenu(QWidget* widget) {
    window.panelMenu->hide();
    QPoint at = widget->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
    bool shown = window.panelMenu->isVisible();
    window.panelMenu->hide();
    return shown;
  }

  // The arguments of `program` as the window starts it (without waiting)
  // during `action`: a recorder stands in for it.
  std::vector<std::string> StartedWith(const char* program, const std::function<void()>& action) {
    const std::string record = drives.root() + "/started-" + program;
    std::filesystem::remove(record);
    runner.Programs().Set(program, std::string(KELVO_TEST_BIN_DIR) + "/argv_recorder");
    setenv("KELVO_RECORD", record.c_str(), 1);
    action();
    std::vector<std::string> arguments;
    bool done = QTest::qWaitFor(
        [&] {
          if (!std::filesystem::exists(record)) return false;
          std::string text = TempDrives::ReadFile(record);
          return text.find("cwd=") != std::string::npos;
        },
        5000);
    unsetenv("KELVO_RECORD");
    if (!done) return {"<not started>"};
    std::string text = TempDrives::ReadFile(record);
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = text.find('\n', at);
      std::string line = text.substr(at, end - at);
      if (line.starts_with("cwd=")) break;
      arguments.push_back(line);
      at = end + 1;
    }
    return arguments;
  }

  RunDriver driver;
  shell::Session session;
  ui::MainWindow window;
  std::function<void()> duringRun;  // called from each ProcessEvents
};

}  // namespace kelvo::gui

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
