// A whole job set up through the panels and run from the navigation bar;
// "&Abort" and closing the window while the zips are written.

#include <unistd.h>

#include <algorithm>
#include <optional>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>

#include "gui_fixture.h"
#include "run/resume.h"
#include "run/zip_test_util.h"
#include "source/archive_size.h"
#include "tools/file_tree.h"

namespace kelvo::gui {

namespace {

// The numbering goes to column 9 of line 2.
const std::string kDiz = "DEMO RELEASE\r\n|  disk xx/xx of set  |\r\n";

std::string TwoDigits(std::size_t n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

// The job of a release of 2.2 MB in 500,000-byte volumes, set up through
// the panels and their dialogs.
struct RunApp : GuiApp {
  RunApp() {
    testing::WriteTree(drives.Host('d', "release"),
                       {{"readme.txt", "read me\r\n"},
                        {"data/one.bin", testing::NoiseBytes(1'200'000, 1)},
                        {"data/two.bin", testing::NoiseBytes(1'000'000, 2)}});
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), kDiz);
    TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "The release notes\r\n");
    std::filesystem::create_directories(drives.Host('e', "zips"));
    auto& w = window;

    ui.folderAnswers.push_back({{}, "d:\\release"});
    Click(w.source->browse);

    Click(NavItem::Diz);
    ui.fileAnswers.push_back("c:\\rel\\file_id.diz");
    Click(w.diz->browse);
    Click(w.diz->substitute);
    w.diz->column->setFocus();
    QTest::keyClicks(w.diz->column, "9");
    w.diz->line->setFocus();
    QTest::keyClicks(w.diz->line, "2");

    Click(NavItem::Nfo);
    ui.fileAnswers.push_back("c:\\rel\\demo.nfo");
    Click(w.nfo->browse);

    Click(NavItem::Zip);
    ui.folderAnswers.push_back({{}, "e:\\zips"});
    Click(w.zip->browse);
    w.zip->baseName->setFocus();
    QTest::keyClicks(w.zip->baseName, "DEMO");
    w.zip->archiveSize->setFocus();
    QTest::keyClick(w.zip->archiveSize, Qt::Key_Home);
    w.zip->archiveSize->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QTest::mouseClick(w.zip->compression->viewport(), Qt::LeftButton, {},
                      w.zip->compression->visualItemRect(w.zip->compression->item(0)).center());

    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{});
    EXPECT_TRUE(ui.fileAnswers.empty() && ui.folderAnswers.empty());
    ui.sounds.clear();
  }

  std::vector<std::string> Zips() const { return testing::FileNames(drives.Host('e', "zips")); }
  std::string Zip(const std::string& name) const { return drives.Host('e', "zips/" + name); }
  std::string Status() const { return window.run->status->text().toStdString(); }
  // How the picture beside the status line tells the run's end: the name
  // of the style's picture it shows, or "" for none.
  std::string Ending() const {
    QLabel* icon = window.run->endingIcon;
    if (!icon->isVisible()) return "";
    const std::pair<QStyle::StandardPixmap, const char*> pictures[] = {
        {QStyle::SP_MessageBoxCritical, "critical"},
        {QStyle::SP_MessageBoxWarning, "warning"},
        {QStyle::SP_DialogApplyButton, "done"}};
    const QImage shown = icon->pixmap().toImage();
    for (const auto& [picture, name] : pictures) {
      QIcon style = icon->style()->standardIcon(picture, nullptr, icon);
      if (style.pixmap(shown.size()).toImage() == shown) return name;
    }
    return "another picture";
  }
};

// True when no pixel of the widget has a colour of its own: it is drawn in
// greys, as a disabled widget is.
bool Greyed(QWidget* widget) {
  const QImage image = widget->grab().toImage();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y).hsvSaturation() > 60) return false;
  return true;
}

}  // namespace

TEST(RunFromTheWindow, PackagesTheJobSetUpOnThePanels) {
  RunApp app;
  const JobSettings& job = app.ctx.job;
  ASSERT_EQ(job.SourcePath, "d:\\release");
  ASSERT_EQ(job.DizColumn, "9");
  ASSERT_EQ(job.DizLine, "2");
  ASSERT_EQ(job.ZipBaseName, "DEMO");
  ASSERT_EQ(job.ArchiveSize, 1);
  ASSERT_EQ(job.Compression, 0);

  // An earlier run's end must not stay under this run's live bar.
  app.ctx.view.StatusLine = "Aborted";
  app.ctx.view.CounterLine = " 22 of 28";
  app.ctx.view.RunEnding = RunEnd::Aborted;
  bool staleSeen = false, abortDisabledSeen = false, greyedSeen = false;
  int volumesSeen = 0;
  app.duringRun = [&] {
    staleSeen = staleSeen || app.window.run->status->text() == "Aborted" ||
                app.window.run->counter->text() == " 22 of 28" || app.Ending() == "warning";
    abortDisabledSeen = abortDisabledSeen || !app.window.run->abort->isEnabled();
    // While a zip is written the bar takes no clicks.
    if (!app.ctx.view.CurrentZipLine.empty()) {
      volumesSeen = std::max<int>(volumesSeen, app.ctx.run.VolumeNumber);
      EXPECT_FALSE(app.window.navigation->isEnabled());
      // Closed, the bar looks closed: its items greyed, pictures too.
      if (!greyedSeen) {
        greyedSeen = true;
        for (NavItem item : {NavItem::Source, NavItem::Zip, NavItem::Kelvo})
          EXPECT_TRUE(Greyed(app.Item(item))) << app.Item(item)->text().toStdString();
      }
      EXPECT_EQ(app.window.navigation->CurrentItem(), app.Item(NavItem::Kelvo));
    }
  };
  app.Click(NavItem::Kelvo);

  EXPECT_EQ(app.Status(), "Ripping complete");
  EXPECT_EQ(app.Shown(), app.window.run);
  EXPECT_EQ(app.Header(), " Kelvo!");
  EXPECT_EQ(app.Checked(), std::vector<std::string>{"&Kelvo"});
  const auto zips = app.Zips();
  ASSERT_GE(zips.size(), 4u);
  EXPECT_EQ(volumesSeen, static_cast<int>(zips.size()));
  const std::string count = TwoDigits(zips.size());
  EXPECT_EQ(app.window.run->counter->text().toStdString(),
            " " + std::to_string(zips.size()) + " of " + std::to_string(zips.size()));
  EXPECT_EQ(app.window.run->currentZip->text(), "");
  EXPECT_FALSE(staleSeen);
  EXPECT_FALSE(abortDisabledSeen);
  EXPECT_TRUE(greyedSeen);
  EXPECT_EQ(app.Ending(), "done");
  EXPECT_FALSE(Greyed(app.Item(NavItem::Source)));
  EXPECT_EQ(app.window.navigation->CurrentItem(), app.Item(NavItem::Kelvo));
  // Finished looks finished: a full bar, nothing left to abort.
  EXPECT_EQ(app.window.run->progress->value(), 100);
  EXPECT_FALSE(app.window.run->abort->isEnabled());
  EXPECT_TRUE(app.window.navigation->isEnabled());
  for (std::size_t i = 1; i <= zips.size(); ++i) {
    const std::string name = "DEMO" + TwoDigits(i) + ".zip";
    EXPECT_EQ(zips[i - 1], name);
    EXPECT_EQ(testing::EntryMap(app.Zip(name))["file_id.diz"],
              "DEMO RELEASE\r\n|  disk " + TwoDigits(i) + "/" + count + " of set  |\r\n")
        << name;
  }
  // The work folder went with its last volume.
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_EQ(app.ui.sounds.back(), app.Sound("kvo.wav"));
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{});

  // Again from the bar while the run panel is shown: nothing happens.
  app.ui.sounds.clear();
  app.Click(NavItem::Kelvo);
  EXPECT_TRUE(app.ui.sounds.empty());
  EXPECT_EQ(app.Zips(), zips);
}

TEST(RunFromTheWindow, WhatCanBeKnownBeforeTheArchiverIsFoundAtOnce) {
  // An extra chosen as a file, then switched to "&Directory": the run says
  // so on the Nfo panel before any volume is made.
  RunApp app;
  TempDrives::WriteFile(app.drives.Host('c', "rel/viewer.txt"), "viewer");
  app.Click(NavItem::Nfo);
  app.Click(app.window.nfo->extraFile);
  app.ui.fileAnswers.push_back("c:\\rel\\viewer.txt");
  app.Click(app.window.nfo->extraBrowse);
  app.Click(app.window.nfo->extraDirectory);
  bool archiverRan = false;
  app.duringRun = [&] { archiverRan = archiverRan || app.ctx.view.Progress > 0; };
  app.Click(NavItem::Kelvo);
  EXPECT_FALSE(archiverRan);
  EXPECT_EQ(app.Shown(), app.window.nfo);
  EXPECT_EQ(app.window.dropNotice->text(),
            "The extra 'c:\\rel\\viewer.txt' is a file, not a directory");
  EXPECT_TRUE(app.window.dropNotice->isVisible());
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));

  // A zip folder that can't be written, on the Zip panel.
  app.Click(app.window.nfo->extraFile);
  std::filesystem::remove(app.drives.Host('e', "zips"));
  std::filesystem::create_directory_symlink("/proc/1", app.drives.Host('e', "zips"));
  app.Click(NavItem::Kelvo);
  EXPECT_FALSE(archiverRan);
  EXPECT_EQ(app.Shown(), app.window.zip);
  EXPECT_TRUE(
      app.window.dropNotice->text().startsWith("The zip directory 'e:\\zips' can't be written: "))
      << app.window.dropNotice->text().toStdString();
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
}

TEST(RunFromTheWindow, AbortDuringTheSecondZipKeepsTheFirst) {
  RunApp app;
  bool aborted = false;
  app.duringRun = [&] {
    if (!aborted && app.ctx.run.VolumeNumber == 2 && !app.ctx.view.CurrentZipLine.empty()) {
      aborted = true;
      ASSERT_TRUE(app.window.run->abort->isVisible());
      app.Click(app.window.run->abort);
    }
  };
  app.Click(NavItem::Kelvo);
  ASSERT_TRUE(aborted);
  EXPECT_EQ(app.Zips(), std::vector<std::string>{"DEMO01.zip"});
  // The zip step says it was aborted, and no longer names its last zip.
  EXPECT_EQ(app.Status(), "Aborted");
  EXPECT_EQ(app.Ending(), "warning");
  EXPECT_EQ(app.window.run->currentZip->text(), "");
  EXPECT_EQ(app.window.run->counter->text(), "");
  EXPECT_FALSE(app.window.run->abort->isEnabled());
  EXPECT_TRUE(app.window.navigation->isEnabled());
  EXPECT_EQ(app.window.run->progress->value(), 0);
  EXPECT_EQ(app.ctx.run.VolumeNumber, 0);
  EXPECT_EQ(app.window.source->sourcePath->text(), "d:\\release");
  EXPECT_EQ(std::count(app.ui.sounds.begin(), app.ui.sounds.end(), app.Sound("kvo.wav")), 0);
  // The volumes not yet zipped stay in the work folder.
  EXPECT_FALSE(testing::FileNames(app.drives.Host('c', "Kelvo001")).empty());
  EXPECT_EQ(testing::EntryMap(app.Zip("DEMO01.zip"))["demo.nfo"].substr(0, 19),
            "The release notes\r\n");

  // The window takes clicks again: the next panel comes up.
  app.Click(NavItem::Zip);
  EXPECT_EQ(app.Shown(), app.window.zip);
}

TEST(RunFromTheWindow, ResumeFinishesTheAbortedSetAndIsGoneAfterIt) {
  RunApp app;
  QPushButton* resume = app.window.run->resume;
  bool aborted = false;
  app.duringRun = [&] {
    // Hidden while a run is in progress, whatever the run before left.
    EXPECT_FALSE(resume->isVisible());
    if (!aborted && app.ctx.run.VolumeNumber == 3 && !app.ctx.view.CurrentZipLine.empty()) {
      aborted = true;
      app.Click(app.window.run->abort);
    }
  };
  app.Click(NavItem::Kelvo);
  ASSERT_TRUE(aborted);
  ASSERT_TRUE(resume->isVisible());
  EXPECT_TRUE(resume->isEnabled());
  EXPECT_EQ(resume->text(), "&Resume");
  EXPECT_EQ(app.Zips(), (std::vector<std::string>{"DEMO01.zip", "DEMO02.zip"}));

  app.Click(resume);
  EXPECT_EQ(app.Status(), "Ripping complete");
  EXPECT_EQ(app.Ending(), "done");
  const auto zips = app.Zips();
  ASSERT_EQ(zips.size(), 5u);
  EXPECT_NE(testing::EntryMap(app.Zip("DEMO05.zip"))["file_id.diz"].find("disk 05/05 of set"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_FALSE(resume->isVisible());

  // A run that ends complete offers nothing to resume either.
  std::filesystem::remove_all(app.drives.Host('e', "zips"));
  std::filesystem::create_directories(app.drives.Host('e', "zips"));
  app.Click(NavItem::Kelvo);
  EXPECT_EQ(app.Status(), "Ripping complete");
  EXPECT_FALSE(resume->isVisible());
}

// A window opened later on the job (the last one closed, or the power
// failed) finds the set its run left and offers it in the File menu.
TEST(RunFromTheWindow, TheFileMenuResumesASetALaterWindowFinds) {
  RunApp app;
  bool aborted = false;
  app.duringRun = [&] {
    if (!aborted && app.ctx.run.VolumeNumber == 2 && !app.ctx.view.CurrentZipLine.empty()) {
      aborted = true;
      app.Click(app.window.run->abort);
    }
  };
  app.Click(NavItem::Kelvo);
  ASSERT_TRUE(aborted);
  QAction* resumeSet = app.window.resumeSet;
  EXPECT_EQ(resumeSet->text(), "&Resume set");
  EXPECT_TRUE(resumeSet->isEnabled());
  // As a new window starts: nothing known of the runs before.
  app.Act([&] {
    app.ctx.view.Resumable = false;
    app.ctx.view.ResumableFor.clear();
    app.ctx.run.WorkFolder.clear();
  });
  EXPECT_TRUE(resumeSet->isEnabled());
  // Another set name has nothing to finish; the job's own has again.
  app.Act([&] { SetZipBaseName(app.ctx, "OTHER"); });
  EXPECT_FALSE(resumeSet->isEnabled());
  app.Act([&] { SetZipBaseName(app.ctx, "DEMO"); });
  ASSERT_TRUE(resumeSet->isEnabled());

  resumeSet->trigger();
  EXPECT_EQ(app.Status(), "Ripping complete");
  EXPECT_EQ(app.Zips().size(), 5u);
  EXPECT_FALSE(resumeSet->isEnabled());
}

TEST(RunFromTheWindow, ClosingTheWindowStopsTheRunThenCloses) {
  RunApp app;
  bool closed = false;
  app.duringRun = [&] {
    if (!closed && app.ctx.run.VolumeNumber == 1 && !app.ctx.view.CurrentZipLine.empty()) {
      closed = true;
      app.window.close();
      // The close waits for the run to end.
      EXPECT_TRUE(app.window.isVisible());
    }
  };
  app.Click(NavItem::Kelvo);
  ASSERT_TRUE(closed);
  EXPECT_TRUE(app.Zips().empty());
  EXPECT_TRUE(app.window.isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !app.window.isVisible(); }, 5000));
  // It closed as a window does: the exchange files are gone.
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "skip.txt")));
  EXPECT_FALSE(std::filesystem::exists(
      app.drives.Host('c', "app/temp/~kelvo" + std::to_string(::getpid()))));
}

// A zip that can't be written ends the run as a failure, and the panel says
// so beside the reason; the next run starts without the mark.
TEST(RunFromTheWindow, AFailureIsMarkedAsOne) {
  RunApp app;
  std::filesystem::create_directories(app.drives.Host('e', "zips/DEMO01.zip"));
  app.Click(NavItem::Kelvo);
  EXPECT_EQ(app.ctx.view.RunEnding, RunEnd::Failed);
  EXPECT_NE(app.Status().find("DEMO01.zip"), std::string::npos) << app.Status();
  EXPECT_EQ(app.Ending(), "critical");
  EXPECT_TRUE(app.window.navigation->isEnabled());

  std::filesystem::remove(app.drives.Host('e', "zips/DEMO01.zip"));
  bool markSeen = false;
  app.duringRun = [&] { markSeen = markSeen || app.Ending() == "critical"; };
  app.Click(NavItem::Source);
  app.ui.messageAnswers.push_back(MessageResult::No);  // the volumes the failure left
  app.Click(NavItem::Kelvo);
  EXPECT_FALSE(markSeen);
  EXPECT_EQ(app.Status(), "Ripping complete");
  EXPECT_EQ(app.Ending(), "done");
}

namespace {

// A source that keeps 7-Zip at "Maximum!" busy for some seconds.
void MakeArchiverSlow(RunApp& app) {
  TempDrives::WriteFile(app.drives.Host('d', "release/slow/big.bin"),
                        testing::NoiseBytes(12'000'000, 3));
  auto* levels = app.window.zip->compression;
  QTest::mouseClick(levels->viewport(), Qt::LeftButton, {},
                    levels->visualItemRect(levels->item(5)).center());
  ASSERT_EQ(app.ctx.job.Compression, 5);
}

}  // namespace

TEST(RunFromTheWindow, TheArchiverShowsItsPercentageAndTakesAbort) {
  RunApp app;
  MakeArchiverSlow(app);
  std::string minimisedTitle;
  int barAtAbort = -1, minimisedAgain = 0;
  bool aborted = false;
  app.duringRun = [&] {
    const int percent = app.ctx.view.TitleProgress;
    if (percent <= 0 || aborted) return;
    if (minimisedTitle.empty()) {
      ASSERT_TRUE(app.window.isMinimized());
      minimisedTitle = app.window.windowTitle().toStdString();
      // The user restores the window: it stays restored and shows the bar.
      app.window.showNormal();
      return;
    }
    if (app.window.isMinimized()) ++minimisedAgain;
    if (percent >= 30) {
      EXPECT_EQ(app.window.windowTitle(), "Kelvo32");
      EXPECT_TRUE(app.window.run->isVisible());
      barAtAbort = app.window.run->progress->value();
      EXPECT_EQ(barAtAbort, percent);
      aborted = true;
      app.Click(app.window.run->abort);
    }
  };
  app.Click(NavItem::Kelvo);
  ASSERT_TRUE(aborted);
  EXPECT_TRUE(minimisedTitle.ends_with("% Kelvo32")) << minimisedTitle;
  EXPECT_GT(std::stoi(minimisedTitle), 0);
  EXPECT_EQ(minimisedAgain, 0);
  EXPECT_GE(barAtAbort, 30);

  EXPECT_EQ(app.Status(), "Aborted");
  EXPECT_EQ(app.Ending(), "warning");
  EXPECT_FALSE(app.window.isMinimized());
  EXPECT_EQ(app.window.windowTitle(), "Kelvo32");
  EXPECT_EQ(app.window.run->progress->value(), 0);
  EXPECT_TRUE(app.window.navigation->isEnabled());
  EXPECT_EQ(app.window.source->sourcePath->text(), "d:\\release");
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_TRUE(app.Zips().empty());
  EXPECT_EQ(std::count(app.ui.sounds.begin(), app.ui.sounds.end(), app.Sound("kvo.wav")), 0);
}

// An archiver that reports from 0%: the minimised title shows each
// percentage, the first one too.
TEST(RunFromTheWindow, TheMinimisedTitleLeadsWithEveryPercentageFromZero) {
  RunApp app;
  const std::string script = app.drives.Host('c', "reports.sh");
  TempDrives::WriteFile(script, "#!/bin/sh\nfor p in 0 50 100; do echo $p >&3; sleep 0.3; done\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  app.runner.Programs().Set("wrar", script);
  std::vector<std::string> titles;
  app.duringRun = [&] {
    const int percent = app.ctx.view.TitleProgress;
    if (percent < 0) return;
    EXPECT_TRUE(app.window.isMinimized()) << percent;
    const std::string title = app.window.windowTitle().toStdString();
    if (titles.empty() || titles.back() != title) titles.push_back(title);
  };
  app.Click(NavItem::Kelvo);
  EXPECT_EQ(titles, (std::vector<std::string>{"0% Kelvo32", "50% Kelvo32", "100% Kelvo32"}));
  EXPECT_FALSE(app.window.isMinimized());
  EXPECT_EQ(app.window.windowTitle(), "Kelvo32");
}

TEST(RunFromTheWindow, ClosingTheWindowDuringTheArchiverStopsItThenCloses) {
  RunApp app;
  MakeArchiverSlow(app);
  bool closed = false;
  std::optional<std::vector<std::string>> leftByArchiver;
  app.duringRun = [&] {
    if (!closed && app.ctx.view.TitleProgress >= 5) {
      closed = true;
      app.window.close();
      EXPECT_TRUE(app.window.isVisible());
    } else if (closed && app.ctx.view.TitleProgress < 0 && !leftByArchiver) {
      // The archiver has ended, and its stand-in took the partial set.
      leftByArchiver = VolumesIn(app.ctx, "c:\\Kelvo001");
    }
  };
  app.Click(NavItem::Kelvo);
  ASSERT_TRUE(closed);
  ASSERT_TRUE(leftByArchiver);
  EXPECT_EQ(*leftByArchiver, std::vector<std::string>{});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !app.window.isVisible(); }, 5000));
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_TRUE(app.Zips().empty());
}

}  // namespace kelvo::gui
