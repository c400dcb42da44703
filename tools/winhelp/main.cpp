// winhelp [-index] <help file>: shows the HTML manual at its contents, or
// with -index at its index and search box. The path is a DOS path, mapped
// through the drive table; see viewer/help_index.h for the argument forms.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "host/host_config.h"
#include "viewer/help_file.h"
#include "viewer/help_index.h"
#include "viewer/help_window.h"

namespace {

constexpr int kExitNoDesktop = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoFile = 3;
constexpr int kExitNoDrives = 4;

void Complain(const QString& text) {
  std::fprintf(stderr, "winhelp: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kelvo;
  // Taken before Qt sees them: Qt would take some "-..." words for itself.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

  const bool desktop = kelvo::host::HasDisplay();
  // Without a display Qt aborts; offscreen still lets the errors be told.
  if (!desktop && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const bool visible = desktop && QGuiApplication::platformName() != "offscreen";

  auto fail = [&](const QString& text, int status) {
    Complain(text);
    if (visible) QMessageBox::critical(nullptr, "Kelvo32 Help", text);
    return status;
  };

  const auto request = help::ParseHelpArgs(args);
  if (!request)
    return fail("No help file named.\nUse: winhelp.exe [-index] <help file>", kExitUsage);

  std::optional<host::DriveTable> drives;
  try {
    drives = host::ToolDrives();
  } catch (const std::exception& e) {
    return fail(QString::fromLocal8Bit(e.what()), kExitNoDrives);
  }
  const auto hostPath = drives->ToHost(request->dosPath.toStdString());
  if (!hostPath)
    return fail(QString("The help file %1 is not on a known drive.").arg(request->dosPath),
                kExitNoFile);
  const help::HelpFile file = help::ReadHelpFile(*hostPath);
  if (!file.problem.isEmpty())
    return fail(
        QString("The help file %1 can't be opened: %2.").arg(request->dosPath, file.problem),
        kExitNoFile);

  if (!visible) {
    Complain("there is no desktop to show the help window on.");
    return kExitNoDesktop;
  }
  help::HelpWindow window(file.html, QString::fromStdString(*hostPath), request->index);
  window.show();
  return app.exec();
}
