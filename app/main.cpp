// kelvo32: the window, or with "!" or "$" before a job script an unattended
// run that builds no window at all and ends with the batch status.
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/context.h"
#include "core/message_titles.h"
#include "core/unattended_ui.h"
#include "host/command_runner.h"
#include "host/host_config.h"
#include "host/host_error.h"
#include "host/mounts.h"
#include "host/state_dir.h"
#include "host/stop_signal.h"
#include "run/run_driver.h"
#include "shell/own_options.h"
#include "shell/session.h"
#include "shell/startup.h"
#include "shell/unattended.h"
#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/qt_ui.h"
#include "ui/settings_store.h"
#include "ui/single_instance.h"
#include "ui/splash_screen.h"

namespace {

// Status of a copy that did nothing because another one runs, or because it
// lies in a drive's root directory.
constexpr int kExitNotStarted = 1;

// In a batch run stderr carries the reason for the status; the platform's
// notes (no window masks offscreen, no runtime directory) would bury it.
void QuietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// The drive table, the files and programs on it, and the application
// directory: what both modes run on.
struct Setup {
  kelvo::host::FileSystem fs;
  kelvo::host::CommandRunner runner;
  std::string appDir;
  std::string appHostDir;
  std::string stateDir;  // where Kelvo32.ini and temp\ go (DOS)
  Setup(const kelvo::host::HostConfig& config, std::string dosAppDir, std::string dosStateDir)
      : fs(config.drives),
        runner(fs, config.programs),
        appDir(std::move(dosAppDir)),
        appHostDir(config.appHostDir),
        stateDir(std::move(dosStateDir)) {}
};

// "!job.kvo" or "$job.kvo": no window, no splash, no display needed.
int RunWithoutWindow(int argc, char** argv, Setup& host, const std::string& commandLine,
                     bool resume) {
  using namespace kelvo;
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("Kelvo32");
  UnattendedUi ui = UnattendedUi::ForStderr();
  SystemClock clock;
  Context ctx(host.fs, host.runner, ui, clock, host.appDir, host.stateDir);
  if (shell::RunsFromDriveRoot(ctx)) {
    // No one is there to answer a box: the reason goes with the status.
    ui.Report(shell::kDriveRootText);
    return kExitNotStarted;
  }
  ui::SingleInstance instance(QString::fromStdString(host.appHostDir));
  if (!instance.Claim([] {})) {
    instance.AskFirstToRaise();
    ui.Report("Kelvo32 is already running from this folder: nothing was packaged");
    return kExitNotStarted;
  }
  ui::LoadProgramSettings(ctx.prefs);  // "&SFV" and "NFO p&icture" count here too
  RunDriver driver(ctx);
  int status = shell::StartUnattended(ctx, driver, commandLine, resume);
  shell::CleanUpAtExit(ctx, false);
  return status;
}

int RunWindow(int argc, char** argv, Setup& host, const std::string& commandLine) {
  using namespace kelvo;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kelvo32");
  QGuiApplication::setDesktopFileName("kelvo32");
  QApplication::setWindowIcon(ui::ApplicationIcon());

  ui::QtUi qtUi(host.fs.Drives());
  SystemClock clock;
  Context ctx(host.fs, host.runner, qtUi, clock, host.appDir, host.stateDir);
  ui::LoadProgramSettings(ctx.prefs);
  RunDriver driver(ctx);
  shell::Session session(ctx, driver);
  session.ReadSettings();  // before the splash, which only shows it

  ui::MainWindow window(session);
  qtUi.SetWindow(&window, [&window] { window.RenderShown(); });
  ui::SplashScreen splash(ctx, &window);
  window.showAboutBox = [&splash](int intervalMs) { splash.OpenAboutRole(intervalMs); };
  splash.OpenStartRole();

  if (shell::RunsFromDriveRoot(ctx)) {
    session.SetRemovesNothing(true);
    splash.CloseSplash();
    qtUi.ShowMessage(shell::kDriveRootText, kErrorTitle, MessageIcon::Critical, MessageButtons::Ok);
    return kExitNotStarted;
  }

  ui::SingleInstance instance(QString::fromStdString(host.appHostDir));
  if (!instance.Claim([&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
      })) {
    session.SetRemovesNothing(true);
    splash.CloseSplash();
    instance.AskFirstToRaise();
    return 0;
  }

  window.PlaceAtStart();
  shell::StartHooks hooks;
  hooks.closeSplash = [&splash] { splash.CloseSplash(); };
  hooks.showWindow = [&window] {
    window.Render();
    window.show();
    window.repaint();
  };
  session.Start(commandLine, hooks);
  splash.CloseSplash();
  hooks.showWindow();
  int status = QApplication::exec();
  return ctx.programExit.value_or(status);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelvo;
  std::optional<std::string> resumed;
  if (auto option = shell::ReadOwnOption(argc, argv)) {
    switch (*option) {
      case shell::OwnOption::Resume:
        resumed = shell::ResumeCommandLine(argc, argv);
        if (!resumed) return kExitNotStarted;
        break;
      case shell::OwnOption::Help:
        std::fputs(shell::UsageText().c_str(), stdout);
        return 0;
      case shell::OwnOption::Version:
        std::fputs(shell::VersionLine().c_str(), stdout);
        return 0;
      case shell::OwnOption::Test:
      case shell::OwnOption::Repair:
        return shell::TestSetCommand(argc, argv);
      case shell::OwnOption::Unknown:
        std::fprintf(stderr, "kelvo32: unknown option '%s' (kelvo32 --help lists them)\n",
                     PrintableReason(argv[1]).c_str());
        return kExitNotStarted;
    }
  }
  std::string commandLine = resumed ? *resumed : shell::JoinArguments(argc, argv);
  const bool batch = shell::ReadCommandLine(commandLine).batchMode != BatchMode::None;
  if (batch) {
    host::InstallStopHandlers();
    qInstallMessageHandler(QuietQtNotes);
  } else if (!kelvo::host::HasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    // A window nobody can see would only wait for ever; a platform named on
    // purpose is kept.
    std::fprintf(stderr,
                 "Kelvo32 needs a desktop to show its window (neither DISPLAY nor "
                 "WAYLAND_DISPLAY is set).\nTo package a job without one: kelvo32 "
                 "'!c:\\jobs\\job.kvo'\n");
    return kExitNotStarted;
  }

  // A drive table that can't be read would send files to the default
  // drives, where the caller never meant them to go: nothing is started.
  std::optional<host::HostConfig> loaded;
  try {
    loaded = host::LoadHostConfig(host::ExecutableDir());
  } catch (const host::HostError& e) {
    std::fprintf(stderr, "Kelvo32: %s\n", e.what());
    return kExitNotStarted;
  }
  host::HostConfig& config = *loaded;
  for (const auto& warning : config.warnings)
    std::fprintf(stderr, "Kelvo32: %s\n", warning.c_str());
  host::AddMountedVolumes(config.drives, host::RemovableVolumes(host::ReadMountInfo()));
  commandLine = shell::ScriptOnDrives(commandLine, config.drives);
  auto appDir = config.drives.ToDos(config.appHostDir);
  if (!appDir) {
    std::fprintf(stderr, "Kelvo32: can't map '%s': no drive holds it\n", config.appHostDir.c_str());
    return kExitNotStarted;
  }
  // A system-wide install can't be written: what the program keeps beside
  // itself goes to a per-user folder instead.
  const host::StateDir state = host::ChooseStateDir(config.appHostDir);
  auto stateDir = state.hostDir.empty() ? std::nullopt : config.drives.ToDos(state.hostDir);
  if (!stateDir) {
    std::fprintf(stderr, "Kelvo32: can't keep its settings: %s\n",
                 state.hostDir.empty() ? state.problem.c_str() : "no drive holds the folder");
    return kExitNotStarted;
  }
  Setup host(config, *appDir, *stateDir);
  return batch ? RunWithoutWindow(argc, argv, host, commandLine, resumed.has_value())
               : RunWindow(argc, argv, host, commandLine);
}
