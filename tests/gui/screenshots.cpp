// Saves a picture of every panel, of the splash screen and of the run panel
// during the archiver and during the zips, and as each ending leaves it
// (complete, aborted in either step, failed), for a person to look at:
//   xvfb-run -a build/tests/kelvo_screenshots build/screenshots
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/host_error.h"
#include "run/leftovers.h"
#include "run/nfo_picture.h"
#include "run/recovery.h"
#include "run/run_driver.h"
#include "run/sfv.h"
#include "run/test_set.h"
#include "sample_release.h"
#include "shell/drop.h"
#include "shell/navigation.h"
#include "shell/session.h"
#include "shell/startup.h"
#include "source/archive_size.h"
#include "source/drives.h"
#include "support/temp_drives.h"
#include "texts/diz_numbering.h"
#include "texts/text_pictures.h"
#include "texts/text_preview.h"
#include "ui/main_window.h"
#include "ui/panels.h"
#include "ui/qt_ui.h"
#include "ui/splash_screen.h"
#include "ui/text_preview.h"
#include "zip/write.h"

using namespace kelvo;

namespace {

QString outDir;
int saved = 0;

void Save(QWidget& widget, const QString& name) {
  QApplication::processEvents();
  QString path = outDir + "/" + name + ".png";
  if (widget.grab().save(path)) {
    ++saved;
    std::printf("%s\n", path.toUtf8().constData());
  } else {
    std::fprintf(stderr, "can't save %s\n", path.toUtf8().constData());
  }
}

std::string Noise(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (auto& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 16);
  }
  return bytes;
}

// What the screen shows, cut to the windows on it (the X server's
// background is black).
void SaveScreen(const QString& name) {
  QApplication::processEvents();
  QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  QRect used;
  for (int y = 0; y < screen.height(); y += 2)
    for (int x = 0; x < screen.width(); x += 2)
      if (qGray(screen.pixel(x, y)) > 8) used |= QRect(x, y, 2, 2);
  QString path = outDir + "/" + name + ".png";
  if (!used.isEmpty() && screen.copy(used).save(path)) {
    ++saved;
    std::printf("%s\n", path.toUtf8().constData());
  } else {
    std::fprintf(stderr, "can't save %s\n", path.toUtf8().constData());
  }
}

// One of the stand-ins shown on its own: started, given time to paint,
// grabbed, ended. Its DOS paths reach the host through z:.
// The screen with `widget`'s tooltip shown at `at` within it.
void SaveToolTip(QWidget& window, QWidget* widget, QPoint at, const QString& name) {
  window.move(40, 40);
  QApplication::processEvents();
  QToolTip::showText(widget->mapToGlobal(at), widget->toolTip(), widget);
  QThread::msleep(300);
  SaveScreen(name);
  QToolTip::hideText();
}

void SaveTool(const QString& tool, const QStringList& arguments, const QString& name) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("KELVO32_DRIVES", "z=/");
  process.setProcessEnvironment(env);
  process.start(QString(KELVO_APP_BUILD_DIR) + "/" + tool, arguments);
  if (!process.waitForStarted(5000)) {
    std::fprintf(stderr, "can't start %s\n", tool.toUtf8().constData());
    return;
  }
  process.waitForFinished(2500);  // it stays: this is the time it has to paint
  SaveScreen(name);
  process.kill();
  process.waitForFinished();
}

std::string SampleFile(const char* name) {
  std::ifstream in(std::string(KELVO_SAMPLES_DIR) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The DOS form of a host path on z:.
QString OnDriveZ(const QString& hostPath) {
  return "z:" + QString(hostPath).replace('/', '\\');
}

}  // namespace

// The window as the program opens it with QT_SCALE_FACTOR=2 on a 1280x900
// screen (this program again, under an X server of that size): whole on it.
int SaveScaled() {
  testing::TestApp test;
  RunDriver driver(test.ctx);
  shell::Session session(test.ctx, driver);
  session.ReadSettings();
  ui::MainWindow window(session);
  session.Start("", {});
  session.Act([&] { shell::NavigateTo(test.ctx, shell::NavItem::Zip, {}); });
  window.show();
  window.move(0, 0);
  QThread::msleep(300);
  SaveScreen("scaled_1280x900");
  return saved == 1 ? 0 : 1;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  outDir = argc > 1 ? argv[1] : "screenshots";
  QDir().mkpath(outDir);
  if (argc > 2 && QString(argv[2]) == "--scaled") return SaveScaled();

  testing::TestApp test;
  auto& drives = test.drives;
  testing::TempDrives::WriteFile(drives.Host('d', "release/readme.txt"), "read me\r\n");
  testing::TempDrives::WriteFile(drives.Host('d', "release/data.bin"), Noise(1'300'000, 7));
  // What the skip list names: an entry that matches nothing stops the run.
  testing::TempDrives::WriteFile(drives.Host('d', "release/old/draft.txt"), "draft\r\n");
  testing::TempDrives::WriteFile(drives.Host('d', "release/notes.bak"), "notes\r\n");
  // The sample release's CP437 texts, with its stamp place.
  testing::TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), SampleFile("file_id.diz"));
  testing::TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), SampleFile("orbit.nfo"));
  std::filesystem::create_directories(drives.Host('e', "zips"));

  Context& ctx = test.ctx;
  RunDriver driver(ctx);
  shell::Session session(ctx, driver);
  session.ReadSettings();
  ui::MainWindow window(session);
  ui::SplashScreen splash(ctx, &window);
  splash.OpenStartRole();
  Save(splash, "splash");
  splash.CloseSplash();

  // Each change below is one action of the session: the figures that follow
  // from the job are refreshed, then the window renders.
  session.Start("", {});
  JobSettings& job = ctx.job;
  session.Act([&] {
    job.SourcePath = "d:\\release";
    ctx.view.SourceSizeText = "1,300,009 bytes";
    job.SourceSize = 1.3f;
    job.SkipEntries = "d:\\release\\old\\*.*\r\nd:\\release\\notes.bak\r\n";
    job.DizPath = "c:\\rel\\file_id.diz";
    texts::SetDizNumberingMode(ctx, true);
    job.DizColumn = samples::kStampColumn;
    job.DizLine = samples::kStampLine;
    job.NfoPath = "c:\\rel\\demo.nfo";
    job.ZipStorageDir = "e:\\zips";
    SetArchiveSize(ctx, 1);
    job.ZipBaseName = "DEMO";
    job.Compression = 0;
  });
  window.show();

  const std::pair<shell::NavItem, const char*> panels[] = {
      {shell::NavItem::Source, "source"}, {shell::NavItem::Skip, "skip"},
      {shell::NavItem::Diz, "diz"},       {shell::NavItem::Nfo, "nfo"},
      {shell::NavItem::Zip, "zip"},       {shell::NavItem::About, "about"}};
  for (const auto& [item, name] : panels) {
    // As the user gets there: the item's group opened on the bar first.
    session.Act([&, item = item] {
      shell::SwitchGroup(ctx, shell::NavItemGroup(item), ctx.view.OpenNavGroup);
      shell::NavigateTo(ctx, item, {});
    });
    Save(window, name);
  }
  session.Act([&] { shell::SwitchGroup(ctx, NavGroup::Main, ctx.view.OpenNavGroup); });

  // The Diz preview with a zip's own number, and a position that does not
  // fit.
  session.Act([&] {
    shell::NavigateTo(ctx, shell::NavItem::Diz, {});
    texts::SetDizPreviewZip(ctx, 2);
  });
  Save(window, "diz_zip2");
  session.Act([&] {
    texts::SetDizPreviewZip(ctx, 0);
    job.DizColumn = "40";
  });
  Save(window, "diz_column_too_high");
  // The end of the NFO preview: the lines every copy gains.
  session.Act([&] {
    job.DizColumn = samples::kStampColumn;
    shell::NavigateTo(ctx, shell::NavItem::Nfo, {});
  });
  window.nfo->preview->verticalScrollBar()->setValue(
      window.nfo->preview->verticalScrollBar()->maximum());
  Save(window, "nfo_end");
  window.nfo->preview->verticalScrollBar()->setValue(0);
  // The NFO's picture as "Save as &picture..." writes it.
  {
    const QString path = outDir + "/nfo_picture.png";
    try {
      texts::WriteTextPicture(ctx, job.NfoPath, "c:\\rel\\demo.png");
      QFile::remove(path);
      if (QFile::copy(QString::fromStdString(drives.Host('c', "rel/demo.png")), path)) {
        ++saved;
        std::printf("%s\n", path.toUtf8().constData());
      }
    } catch (const host::HostError& e) {
      std::fprintf(stderr, "can't save %s: %s\n", path.toUtf8().constData(), e.what());
    }
  }

  // The Zip panel at the floppy's size: the largest zip and the SFV box;
  // then with an NFO too large for the floppy.
  session.Act([&] {
    shell::NavigateTo(ctx, shell::NavItem::Zip, {});
    SetArchiveSize(ctx, kFloppyArchiveSize);
    SetWriteSfv(ctx, true);
    SetWriteRecovery(ctx, true);
    SetWriteNfoPicture(ctx, true);
  });
  Save(window, "zip_floppy");
  testing::TempDrives::WriteFile(drives.Host('c', "rel/big.nfo"), std::string(40'000, 'n'));
  session.Act([&] { job.NfoPath = "c:\\rel\\big.nfo"; });
  Save(window, "zip_floppy_warning");
  session.Act([&] {
    job.NfoPath = "c:\\rel\\demo.nfo";
    SetArchiveSize(ctx, 1);
  });

  // Maximised on the whole screen, the Zip panel keeps its controls
  // together (without a window manager, the screen's size is the maximum).
  session.Act([&] { shell::NavigateTo(ctx, shell::NavItem::Zip, {}); });
  const QRect screenArea = window.screen()->availableGeometry();
  window.move(screenArea.topLeft());
  window.resize(screenArea.size());
  Save(window, "zip_maximised");
  window.resize(window.RestoredSize());

  // A path's tooltip: its DOS text and where it lies on this computer.
  session.Act([&] { shell::NavigateTo(ctx, shell::NavItem::Source, {}); });
  SaveToolTip(window, window.source->sourcePath, QPoint(20, 20), "tooltip_paths");

  // Without par2 the recovery choice is greyed, and its tooltip says why.
  session.Act([&] {
    shell::NavigateTo(ctx, shell::NavItem::Zip, {});
    ctx.view.RecoveryUnavailable =
        "par2 is not installed: the recovery files need Debian's package par2";
  });
  SaveToolTip(window, window.zip->recovery, QPoint(10, 10), "zip_par2_missing");
  session.Act([&] { NoteRecoveryTool(ctx); });

  // The context menu over the Source panel.
  session.Act([&] { shell::NavigateTo(ctx, shell::NavItem::Source, {}); });
  window.move(40, 40);
  QApplication::processEvents();
  window.panelMenu->popup(window.mapToGlobal(QPoint(330, 260)));
  QThread::msleep(200);
  SaveScreen("context_menu");
  window.panelMenu->hide();

  window.hide();
  const QString help = OnDriveZ(QString(KELVO_APP_BUILD_DIR) + "/kelvo32.hlp");
  SaveTool("winhelp", {help}, "help_contents");
  SaveTool("winhelp", {"-index", help}, "help_index");
  SaveTool("notepad", {OnDriveZ(QString(KELVO_SAMPLES_DIR) + "/orbit.nfo")}, "editor_nfo");
  window.show();

  // The run panel during the archiver step, its bar part-way, the window
  // restored by the user: a source that keeps 7-Zip busy, the run aborted
  // once it is shot; then the panel as the abort left it.
  testing::TempDrives::WriteFile(drives.Host('d', "big/data.bin"), Noise(12'000'000, 8));
  session.Act([&] {
    job.SourcePath = "d:\\big";
    job.Compression = 5;
  });
  bool archiverShot = false;
  test.ui.onProcessEvents = [&] {
    if (!archiverShot && ctx.view.TitleProgress >= 25) {
      archiverShot = true;
      window.showNormal();
      window.Render();
      Save(window, "run_archiver");
      session.Abort();
    }
  };
  session.Act([&] { driver.RunJob(); });
  if (!archiverShot) std::fprintf(stderr, "the archiver reported no progress\n");
  Save(window, "run_aborted_archiver");
  session.Act([&] {
    job.SourcePath = "d:\\release";
    job.Compression = 0;
  });

  // The run panel while the second zip is written, then in the recovery
  // step, its bar part-way, then after "Ripping complete".
  bool shot = false;
  int recoveryTicks = 0;
  session.Act([&] { SetRecoveryPercent(ctx, 100); });
  test.ui.onProcessEvents = [&] {
    if (!shot && ctx.run.VolumeNumber == 2 && !ctx.view.CurrentZipLine.empty()) {
      shot = true;
      window.Render();
      Save(window, "run");
    }
    if (ctx.view.StatusLine == "Making recovery files" && recoveryTicks >= 0 &&
        (ctx.view.Progress > 0 || ++recoveryTicks > 5)) {
      recoveryTicks = -1;
      window.Render();
      Save(window, "run_recovery");
    }
  };
  // The aborted archiver left no zip: no question about one.
  session.Act([&] { driver.RunJob(); });
  if (recoveryTicks >= 0) std::fprintf(stderr, "the recovery step was not reached\n");
  Save(window, "run_complete");
  session.Act([&] { SetWriteRecovery(ctx, false); });

  // "&Abort" while the second zip is written: the first zip stays.
  bool abortedInZips = false;
  test.ui.onProcessEvents = [&] {
    if (!abortedInZips && ctx.run.VolumeNumber == 2 && !ctx.view.CurrentZipLine.empty()) {
      abortedInZips = true;
      session.Abort();
    }
  };
  test.ui.messageAnswers.push_back(MessageResult::Ok);  // the zips of the run before
  session.Act([&] { driver.RunJob(); });
  if (!abortedInZips) std::fprintf(stderr, "the zip step was not reached\n");
  Save(window, "run_aborted_zip");
  // The set that abort left can be resumed: "&Resume" with the keyboard.
  if (ctx.view.Resumable) {
    window.run->resume->setFocus(Qt::TabFocusReason);
    Save(window, "run_resumable");
  } else {
    std::fprintf(stderr, "the aborted run left nothing to resume\n");
  }

  // A zip that can't be written: a folder holds its name.
  test.ui.onProcessEvents = nullptr;
  std::filesystem::remove_all(drives.Host('e', "zips"));
  std::filesystem::create_directories(drives.Host('e', "zips/DEMO01.zip"));
  test.ui.messageAnswers.push_back(MessageResult::No);  // the volumes the abort left
  session.Act([&] { driver.RunJob(); });
  Save(window, "run_failed");

  // The next run's question about the volumes those runs left, as the
  // window asks it.
  {
    QMessageBox question(&window);
    ui::PrepareRemovalQuestion(question, LeftoverOffer(FindLeftovers(ctx)));
    question.show();
    Save(question, "leftovers_question");
  }

  // "&Test set..." on a set whose second zip was damaged after it was made.
  {
    const std::string set = drives.Host('d', "set");
    std::filesystem::create_directories(set);
    zip::Writer writer;
    for (const char* name : {"DEMO01.zip", "DEMO02.zip", "DEMO03.zip"}) {
      std::vector<zip::Input> inputs;
      inputs.push_back(zip::TakeBytes("DEMO.7z.001", Noise(200'000, 3), 6, 0).value);
      writer.Write({set + "/" + name, name}, inputs, {});
    }
    // With its recovery files, which can repair it.
    const std::string made = "cd '" + set + "' && par2 c -q -q -r20 -- DEMO.par2 DEMO0?.zip";
    if (std::system(made.c_str()) != 0) std::fprintf(stderr, "par2 made no recovery files\n");
    std::string bytes = testing::TempDrives::ReadFile(set + "/DEMO02.zip");
    bytes[5000] = static_cast<char>(bytes[5000] ^ 1);
    testing::TempDrives::WriteFile(set + "/DEMO02.zip", bytes);
    test.ui.fileAnswers.push_back("d:\\set\\DEMO01.zip");
    test.ui.messageAnswers.push_back(MessageResult::No);
    const std::size_t before = test.ui.messages.size();
    session.Act([&] { TestChosenSet(ctx); });
    if (test.ui.messages.size() > before) {
      const testing::ShownMessage& shown = test.ui.messages.back();
      QMessageBox box(&window);
      ui::PrepareMessageBox(box, shown.text, shown.title, shown.icon, shown.buttons);
      box.show();
      Save(box, "test_set_damaged");
    }
  }

  // A dark desktop: nothing but the link blue may keep a colour of its own.
  // The Source panel shows why a drop of two items was refused.
  QApplication::setStyle("Fusion");
  QPalette dark;
  const std::pair<QPalette::ColorRole, QColor> roles[] = {
      {QPalette::Window, QColor(45, 45, 48)},        {QPalette::WindowText, QColor(230, 230, 230)},
      {QPalette::Base, QColor(30, 30, 32)},          {QPalette::AlternateBase, QColor(45, 45, 48)},
      {QPalette::Text, QColor(230, 230, 230)},       {QPalette::Button, QColor(60, 60, 64)},
      {QPalette::ButtonText, QColor(230, 230, 230)}, {QPalette::Dark, QColor(20, 20, 22)},
      {QPalette::BrightText, QColor(255, 255, 255)}, {QPalette::Highlight, QColor(42, 130, 218)},
      {QPalette::HighlightedText, QColor(0, 0, 0)},  {QPalette::ToolTipBase, QColor(60, 60, 64)},
      {QPalette::ToolTipText, QColor(230, 230, 230)}};
  for (const auto& [role, colour] : roles) dark.setColor(role, colour);
  // As a dark desktop greys what is disabled.
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    dark.setColor(QPalette::Disabled, role, QColor(120, 120, 124));
  QApplication::setPalette(dark);
  // The failed run's picture keeps to the style too; during the zips the
  // bar is greyed as the light one is.
  session.Act([] {});
  Save(window, "dark_run_failed");
  std::filesystem::remove_all(drives.Host('e', "zips"));
  std::filesystem::create_directories(drives.Host('e', "zips"));
  bool darkShot = false;
  test.ui.onProcessEvents = [&] {
    if (!darkShot && ctx.run.VolumeNumber == 2 && !ctx.view.CurrentZipLine.empty()) {
      darkShot = true;
      window.Render();
      Save(window, "dark_run");
    }
  };
  test.ui.messageAnswers.push_back(MessageResult::No);  // the volumes the failed runs left
  session.Act([&] { driver.RunJob(); });
  test.ui.onProcessEvents = nullptr;
  session.Act([&] {
    shell::NavigateTo(ctx, shell::NavItem::Source, {});
    shell::DropOnWindow(ctx, {drives.Host('d', "release/readme.txt"), drives.Host('d', "release")});
  });
  Save(window, "dark_source");
  session.Act([&] { shell::NavigateTo(ctx, shell::NavItem::Zip, {}); });
  Save(window, "dark_zip");
  // Both previews keep to the palette.
  session.Act([&] { shell::NavigateTo(ctx, shell::NavItem::Diz, {}); });
  Save(window, "dark_diz");
  session.Act([&] { shell::NavigateTo(ctx, shell::NavItem::Nfo, {}); });
  Save(window, "dark_nfo");

  QProcess scaled;
  QProcessEnvironment scaledEnv = QProcessEnvironment::systemEnvironment();
  scaledEnv.insert("QT_SCALE_FACTOR", "2");
  scaled.setProcessEnvironment(scaledEnv);
  scaled.start("xvfb-run", {"-a", "-s", "-screen 0 1280x900x24",
                            QApplication::applicationFilePath(), outDir, "--scaled"});
  if (scaled.waitForFinished(60000) && scaled.exitCode() == 0) {
    ++saved;
    std::printf("%s/scaled_1280x900.png\n", outDir.toUtf8().constData());
  } else {
    std::fprintf(stderr, "can't save the scaled window: %s\n",
                 scaled.readAllStandardError().constData());
  }
  return saved == 37 ? 0 : 1;
}
