// Each panel's elements, driven with the mouse and the keyboard: the field
// they edit and the operation their buttons reach through the dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "gui_fixture.h"
#include "scripts/job_script.h"
#include "source/drives.h"
#include "tools/file_tree.h"

namespace kelvo::gui {

namespace {

void Type(QWidget* box, const QString& text) {
  box->setFocus();
  QTest::keyClicks(box, text);
}

void ClickRow(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(row)).center());
}

// A source of exactly `bytes` bytes in d:\release.
void WriteSource(const GuiApp& app, std::size_t bytes) {
  testing::WriteTree(app.drives.Host('d', "release"),
                     {{"readme.txt", std::string(1000, 'r')},
                      {"sub/data.bin", testing::NoiseBytes(bytes - 1000, 5)}});
}

}  // namespace

TEST(SourcePanel, BrowseMeasuresTheChosenDirectory) {
  GuiApp app;
  WriteSource(app, 2'200'000);
  app.ctx.job.SkipEntries = "d:\\old\\*.*\r\n";
  app.ui.folderAnswers.push_back({{}, "D:\\Release"});
  app.Click(app.window.source->browse);
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "Source directory");
  EXPECT_EQ(app.ctx.job.SourcePath, "d:\\release");
  EXPECT_EQ(app.window.source->sourcePath->text(), "d:\\release");
  EXPECT_EQ(app.window.source->sourceSize->text(), "2,200,000 bytes in 2 files");
  EXPECT_FLOAT_EQ(app.ctx.job.SourceSize, 2.2f);
  EXPECT_TRUE(app.ctx.job.SkipEntries.empty());
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_TRUE(app.window.source->browse->isEnabled());
  EXPECT_TRUE(app.window.navigation->isEnabled());

  // Cancelled: everything stays.
  app.ui.folderAnswers.push_back({{}, std::nullopt});
  app.Click(app.window.source->browse);
  EXPECT_EQ(app.window.source->sourcePath->text(), "d:\\release");
  EXPECT_EQ(app.window.source->sourceSize->text(), "2,200,000 bytes in 2 files");
}

TEST(SourcePanel, IsoBoxAndMnemonics) {
  GuiApp app;
  app.ctx.job.SourcePath = "d:\\release";
  app.ctx.view.SourceSizeText = "5,000,000 bytes";
  app.window.Render();
  app.Alt(Qt::Key_I);
  EXPECT_TRUE(app.ctx.job.SourceIsImage);
  EXPECT_TRUE(app.window.source->iso->isChecked());
  EXPECT_EQ(app.ctx.job.ArchiveSize, 10);
  EXPECT_EQ(app.window.source->sourcePath->text(), "");
  EXPECT_EQ(app.window.zip->archiveSize->value(), 10);
  EXPECT_EQ(app.window.zip->sizeText->text(), "5. M");

  // Alt+B is "&Browse" of the panel shown: with "&ISO" a file dialog.
  testing::TempDrives::WriteFile(app.drives.Host('d', "cd.iso"), std::string(3'000'000, 'i'));
  app.ui.fileAnswers.push_back("d:\\CD.ISO");
  app.ui.messageAnswers.push_back(MessageResult::No);
  app.Alt(Qt::Key_B);
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "CD image file");
  EXPECT_EQ(app.window.source->sourcePath->text(), "d:\\cd.iso");
  EXPECT_EQ(app.window.source->sourceSize->text(), "3,000,000 Total bytes");
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_TRUE(app.ui.messages[0].text.starts_with("Save as Zip's?"));
  // No zips: the zip-only panels and controls are closed.
  EXPECT_FALSE(app.window.diz->isEnabled());
  EXPECT_FALSE(app.window.skip->isEnabled());
  EXPECT_FALSE(app.window.nfo->isEnabled());
  EXPECT_FALSE(app.window.zip->zipExtra->isEnabled());
  EXPECT_FALSE(app.window.zip->browse->isEnabled());
  EXPECT_TRUE(app.window.zip->baseName->isEnabled());

  app.Click(app.window.source->iso);
  EXPECT_FALSE(app.ctx.job.SourceIsImage);
  EXPECT_TRUE(app.window.diz->isEnabled());
  EXPECT_EQ(app.window.zip->archiveSize->value(), 3);
  EXPECT_EQ(app.window.zip->sizeText->text(), "1.44 M");
  EXPECT_EQ(app.window.source->sourceSize->text(), "");
}

// The free space shown is the drive's now, not at start-up: every action
// reads both figures again.
TEST(SourcePanel, FreeSpaceIsReadAgainAfterEachAction) {
  GuiApp app;
  std::filesystem::create_directories(app.drives.Host('e', "zips"));
  app.ctx.job.ZipStorageDir = "e:\\zips";
  // Figures no drive here shows: less than 2 Meg. reads as such.
  app.ctx.view.WorkDriveFreeText = "Free space on - \r 1 Meg.";
  app.ctx.view.ZipDriveFreeText = "Free space  1 M";
  app.Click(NavItem::Zip);
  auto megabytes = [](const QString& text) {
    return text.section(' ', -2, -2, QString::SectionSkipEmpty).toLongLong();
  };
  auto freeOf = [&](const char* drive) {
    return static_cast<long long>(WholeMegabytes(app.fs.FreeBytes(drive).value()));
  };
  const QString work = app.window.source->freeSpace->text();
  ASSERT_TRUE(work.startsWith("Free space on - \n ")) << work.toStdString();
  EXPECT_NEAR(megabytes(work), freeOf("c:"), 100);  // the disk is shared
  const QString zips = app.window.zip->freeSpace->text();
  ASSERT_TRUE(zips.startsWith("Free space  ")) << zips.toStdString();
  EXPECT_NEAR(megabytes(zips), freeOf("e:"), 100);
}

TEST(SkipPanel, KindBrowseAndClear) {
  GuiApp app;
  WriteSource(app, 10'000);
  app.Click(NavItem::Skip);
  auto* skip = app.window.skip;

  // Without a source the browse sends the user to the Source panel.
  app.Click(skip->browse);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, "You must pick a source drive or directory first");
  EXPECT_EQ(app.Shown(), app.window.source);
  EXPECT_EQ(app.Header(), " Source");

  app.ctx.job.SourcePath = "d:\\release";
  app.Click(NavItem::Skip);
  EXPECT_TRUE(skip->subDir->isChecked());
  app.ui.folderAnswers.push_back({{}, "d:\\Release\\SUB"});
  app.Click(skip->browse);
  EXPECT_EQ(app.ui.dialogs.back().title, "Directory to skip");
  EXPECT_EQ(skip->entries->toPlainText(), "d:\\release\\sub\\*.*\n");

  app.Click(skip->file);
  EXPECT_EQ(app.ctx.view.SkipKind, SkipBrowseKind::File);
  EXPECT_TRUE(skip->file->isChecked());
  EXPECT_FALSE(skip->subDir->isChecked());
  app.ui.fileAnswers.push_back("d:\\release\\readme.txt");
  app.Alt(Qt::Key_B);
  EXPECT_EQ(app.ui.dialogs.back().title, "Add skip file");
  EXPECT_EQ(app.ctx.job.SkipEntries, "d:\\release\\sub\\*.*\r\nd:\\release\\readme.txt\r\n");

  // A file outside the source is refused.
  app.ui.fileAnswers.push_back("d:\\elsewhere.txt");
  app.Click(skip->browse);
  EXPECT_EQ(app.ui.messages.back().text, "Path isn't within source path");
  EXPECT_EQ(app.ctx.job.SkipEntries, "d:\\release\\sub\\*.*\r\nd:\\release\\readme.txt\r\n");

  app.Alt(Qt::Key_C);
  EXPECT_EQ(app.ctx.job.SkipEntries, "");
  EXPECT_EQ(skip->entries->toPlainText(), "");
  app.Alt(Qt::Key_S);
  EXPECT_EQ(app.ctx.view.SkipKind, SkipBrowseKind::SubDir);
}

TEST(DizPanel, NumberingBoxesTakeDigitsOnlyAndBrowseTakesTheFile) {
  GuiApp app;
  testing::TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), "DEMO xx/xx\r\n");
  app.Click(NavItem::Diz);
  auto* diz = app.window.diz;
  EXPECT_TRUE(diz->none->isChecked());
  EXPECT_TRUE(diz->column->isReadOnly());
  Type(diz->column, "7");
  EXPECT_EQ(app.ctx.job.DizColumn, "");

  app.Click(diz->substitute);
  EXPECT_TRUE(app.ctx.job.DizNumbering);
  EXPECT_TRUE(diz->substitute->isChecked());
  EXPECT_FALSE(diz->column->isReadOnly());
  Type(diz->column, "1x2 ");
  EXPECT_EQ(app.ctx.job.DizColumn, "12");
  EXPECT_EQ(diz->column->text(), "12");
  Type(diz->line, "a3");
  EXPECT_EQ(app.ctx.job.DizLine, "3");
  QTest::keyClick(diz->column, Qt::Key_Backspace);
  EXPECT_EQ(app.ctx.job.DizColumn, "1");

  app.ui.fileAnswers.push_back("C:\\Rel\\FILE_ID.DIZ");
  app.Click(diz->browse);
  EXPECT_EQ(app.ui.dialogs.back().title, "Add file_id.diz");
  EXPECT_EQ(app.ctx.job.DizPath, "c:\\rel\\file_id.diz");
  EXPECT_EQ(diz->dizPath->text(), "c:\\rel\\file_id.diz");
  EXPECT_EQ(testing::TempDrives::ReadFile(
                *app.fs.HostPath(testing::WorkCopyPath("c:\\app", "file_id.diz"))),
            "DEMO xx/xx\r\n");

  // "&None" by its mnemonic closes the boxes again.
  app.Alt(Qt::Key_N);
  EXPECT_FALSE(app.ctx.job.DizNumbering);
  EXPECT_TRUE(diz->column->isReadOnly());
  app.Alt(Qt::Key_U);
  EXPECT_TRUE(app.ctx.job.DizNumbering);
}

TEST(NfoPanel, FirstZipOnlyAndTheExtra) {
  GuiApp app;
  testing::TempDrives::WriteFile(app.drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  testing::TempDrives::WriteFile(app.drives.Host('c', "rel/extras/a.txt"), "a");
  app.Click(NavItem::Nfo);
  auto* nfo = app.window.nfo;

  app.ui.fileAnswers.push_back("c:\\rel\\Demo.NFO");
  app.Click(nfo->browse);
  EXPECT_EQ(app.ui.dialogs.back().title, "Add *.nfo");
  EXPECT_EQ(nfo->nfoPath->text(), "c:\\rel\\demo.nfo");

  app.Click(nfo->firstZipOnly);
  EXPECT_TRUE(app.ctx.job.NfoFirstZipOnly);
  app.Alt(Qt::Key_I);
  EXPECT_FALSE(app.ctx.job.NfoFirstZipOnly);
  EXPECT_FALSE(nfo->firstZipOnly->isChecked());

  EXPECT_FALSE(nfo->extraBrowse->isEnabled());
  EXPECT_FALSE(nfo->extraFile->isChecked());
  EXPECT_FALSE(nfo->extraDirectory->isChecked());
  app.Click(nfo->extraDirectory);
  EXPECT_EQ(app.ctx.job.ExtraKind, ExtraKindChoice::Directory);
  EXPECT_TRUE(nfo->extraBrowse->isEnabled());
  app.ui.folderAnswers.push_back({{}, "C:\\Rel\\Extras"});
  app.Alt(Qt::Key_R);
  EXPECT_EQ(app.ui.dialogs.back().title, "Extra directory of files to add to Zip");
  EXPECT_EQ(nfo->extraPath->text(), "c:\\rel\\extras");

  // Alt+F belongs to the menu bar's "&File" as much as to this option.
  app.Click(nfo->extraFile);
  EXPECT_EQ(app.ctx.job.ExtraKind, ExtraKindChoice::File);
  EXPECT_TRUE(nfo->extraFile->isChecked());
  EXPECT_FALSE(nfo->extraDirectory->isChecked());
  app.ui.fileAnswers.push_back("c:\\rel\\extras\\A.TXT");
  app.Click(nfo->extraBrowse);
  EXPECT_EQ(app.ui.dialogs.back().title, "Add extra file");
  EXPECT_EQ(app.ctx.job.ExtraPath, "c:\\rel\\extras\\a.txt");
}

TEST(ZipPanel, TheBaseNameLimitFollowsTheArchiveSize) {
  GuiApp app;
  app.Click(NavItem::Zip);
  auto* zip = app.window.zip;
  EXPECT_EQ(zip->sizeText->text(), "1.44 M");

  Type(zip->baseName, "RELEASE1");
  EXPECT_EQ(zip->baseName->text(), "RELEAS");
  EXPECT_EQ(app.ctx.job.ZipBaseName, "RELEAS");

  zip->archiveSize->setFocus();
  QTest::keyClick(zip->archiveSize, Qt::Key_Home);
  EXPECT_EQ(app.ctx.job.ArchiveSize, 0);
  EXPECT_EQ(zip->sizeText->text(), "1 Max file");
  EXPECT_EQ(zip->baseName->maxLength(), 20);
  zip->baseName->setCursorPosition(6);
  Type(zip->baseName, "_OF_THE_YEAR_2026");
  EXPECT_EQ(app.ctx.job.ZipBaseName, "RELEAS_OF_THE_YEAR_2");
  EXPECT_EQ(zip->baseName->text(), "RELEAS_OF_THE_YEAR_2");

  // One step up: the long name is cut to six.
  zip->archiveSize->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(app.ctx.job.ArchiveSize, 1);
  EXPECT_EQ(zip->sizeText->text(), ".5 M");
  EXPECT_EQ(zip->baseName->text(), "RELEAS");
  EXPECT_EQ(zip->baseName->maxLength(), 6);

  // More than 99 volumes: three-digit numbers leave five characters.
  app.ctx.job.SourceSize = 120.0f;
  zip->archiveSize->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(app.ctx.job.ArchiveSize, 2);
  EXPECT_TRUE(app.ctx.job.ThreeDigitNumbering);
  EXPECT_EQ(zip->baseName->maxLength(), 5);
  EXPECT_EQ(zip->baseName->text(), "RELEA");
  EXPECT_EQ(zip->estimate->text(), "120.00 files");
  zip->baseName->selectAll();
  Type(zip->baseName, "ABCDEFG");
  EXPECT_EQ(app.ctx.job.ZipBaseName, "ABCDE");

  zip->archiveSize->setValue(3);
  EXPECT_EQ(zip->sizeText->text(), "1.44 M");
  EXPECT_EQ(zip->baseName->maxLength(), 6);
  EXPECT_EQ(zip->estimate->text(), "80.00 files");
}

TEST(ZipPanel, TheRecoveryChoiceIsTheProgramsAndGreyedWithoutPar2) {
  GuiApp app;
  app.Click(NavItem::Zip);
  auto* zip = app.window.zip;
  EXPECT_EQ(app.ctx.view.RecoveryUnavailable, "");  // par2 is installed where tests run
  EXPECT_FALSE(zip->recovery->isChecked());
  EXPECT_FALSE(zip->recoveryPercent->isEnabled());
  app.Alt(Qt::Key_2);
  EXPECT_TRUE(app.ctx.prefs.WriteRecovery);
  EXPECT_TRUE(zip->recoveryPercent->isEnabled());
  EXPECT_EQ(zip->recoveryPercent->value(), 10);
  zip->recoveryPercent->setFocus();
  zip->recoveryPercent->selectAll();
  QTest::keyClicks(zip->recoveryPercent, "25");
  EXPECT_EQ(app.ctx.prefs.RecoveryPercent, 25);
  // Without par2 the box is greyed, unticked, and says why; the setting stays.
  app.session.Act([&] { app.ctx.view.RecoveryUnavailable = "par2 is not installed"; });
  EXPECT_FALSE(zip->recovery->isEnabled());
  EXPECT_FALSE(zip->recovery->isChecked());
  EXPECT_FALSE(zip->recoveryPercent->isEnabled());
  EXPECT_EQ(zip->recovery->toolTip(), "par2 is not installed");
  EXPECT_TRUE(app.ctx.prefs.WriteRecovery);
}

TEST(ZipPanel, TheSfvBoxAndTheFloppyFigure) {
  GuiApp app;
  app.Click(NavItem::Zip);
  auto* zip = app.window.zip;
  // The box is the program's own setting, not the job's.
  EXPECT_FALSE(zip->sfv->isChecked());
  app.Click(zip->sfv);
  EXPECT_TRUE(app.ctx.prefs.WriteSfv);
  app.Click(zip->sfv);
  EXPECT_FALSE(app.ctx.prefs.WriteSfv);
  app.ctx.prefs.WriteSfv = true;
  app.window.Render();
  EXPECT_TRUE(zip->sfv->isChecked());
  // Its own letter: Alt+F stays the "&File" menu's on this panel.
  app.Alt(Qt::Key_S);
  EXPECT_FALSE(app.ctx.prefs.WriteSfv);
  for (auto* button : zip->findChildren<QAbstractButton*>())
    EXPECT_FALSE(button->text().contains("&F", Qt::CaseInsensitive))
        << button->text().toStdString();

  // At the floppy's size the largest zip shows; a large NFO makes it warn.
  EXPECT_EQ(app.ctx.job.ArchiveSize, 3);
  Type(zip->baseName, "DEMO");
  const QString small = zip->fit->text();
  EXPECT_TRUE(small.startsWith("Largest zip: 1,44")) << small.toStdString();
  EXPECT_TRUE(zip->fit->isVisible());
  EXPECT_EQ(zip->fitWarning->text(), "");

  TempDrives::WriteFile(app.drives.Host('c', "big.nfo"), std::string(30'000, 'n'));
  app.ctx.job.NfoPath = "c:\\big.nfo";
  zip->archiveSize->setValue(4);
  EXPECT_EQ(zip->fit->text(), "");
  EXPECT_EQ(zip->fitWarning->text(), "");
  zip->archiveSize->setValue(3);
  EXPECT_NE(zip->fit->text(), small);
  EXPECT_EQ(zip->fit->text().toStdString(), app.ctx.view.ZipFitText);
  EXPECT_EQ(zip->fitWarning->text(), "Too big for a 1.44 MB floppy (1,457,664 bytes)");
  EXPECT_TRUE(zip->fitWarning->isVisible());
}

TEST(ZipPanel, ArchiverCompressionExtraAndStorage) {
  GuiApp app;
  std::filesystem::create_directories(app.drives.Host('e', "zips"));
  app.Click(NavItem::Zip);
  auto* zip = app.window.zip;
  EXPECT_TRUE(zip->rar->isChecked());
  EXPECT_EQ(zip->compression->currentRow(), 3);
  EXPECT_EQ(zip->compression->currentItem()->text(), "Normal");

  app.Click(zip->ace);
  EXPECT_EQ(app.ctx.job.Archiver, ArchiverKind::Ace);
  EXPECT_FALSE(zip->rar->isChecked());
  app.Alt(Qt::Key_R);
  EXPECT_EQ(app.ctx.job.Archiver, ArchiverKind::Rar);

  ClickRow(zip->compression, 0);
  EXPECT_EQ(app.ctx.job.Compression, 0);
  ClickRow(zip->compression, 5);
  EXPECT_EQ(app.ctx.job.Compression, 5);
  EXPECT_EQ(zip->compression->currentItem()->text(), "Maximum!");

  app.Click(zip->zipExtra);
  EXPECT_TRUE(app.ctx.job.ZipExtra);
  app.Alt(Qt::Key_X);
  EXPECT_FALSE(app.ctx.job.ZipExtra);

  // The storage needs a source first.
  app.Alt(Qt::Key_B);
  EXPECT_EQ(app.Shown(), app.window.source);
  EXPECT_TRUE(app.ui.dialogs.empty());
  app.ctx.job.SourcePath = "d:\\";
  app.Click(NavItem::Zip);
  app.ui.folderAnswers.push_back({{}, "E:\\Zips"});
  app.Click(zip->browse);
  EXPECT_EQ(app.ui.dialogs.back().title, "Directory for zip's");
  EXPECT_EQ(app.ctx.job.ZipStorageDir, "e:\\zips");
  EXPECT_EQ(zip->storageDir->text(), "e:\\zips");
  EXPECT_TRUE(zip->freeSpace->text().startsWith("Free space "))
      << zip->freeSpace->text().toStdString();
  EXPECT_NE(zip->freeSpace->text(), "Free space: ");
}

TEST(FileMenu, ScriptsAndTheZipCommentMark) {
  GuiApp app;
  auto& w = app.window;
  std::vector<std::string> captions;
  for (QAction* action : w.fileMenu->actions())
    captions.push_back(action->isSeparator() ? "-" : action->text().toStdString());
  EXPECT_EQ(captions, (std::vector<std::string>{"&Open script...", "&Save script...", "-",
                                                "&Zip comment", "&Test set...", "&Resume set", "-",
                                                "E&xit"}));
  EXPECT_EQ(w.window()->windowTitle(), "Kelvo32");

  // A job saved through the window...
  WriteSource(app, 10'000);
  testing::TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), "DIZ\r\n");
  testing::TempDrives::WriteFile(app.drives.Host('c', "rel/demo.nfo"), "NFO\r\n");
  std::filesystem::create_directories(app.drives.Host('e', "zips"));
  JobSettings& job = app.ctx.job;
  job.SourcePath = "d:\\release";
  job.DizPath = "c:\\rel\\file_id.diz";
  job.NfoPath = "c:\\rel\\demo.nfo";
  job.ZipStorageDir = "e:\\zips";
  job.ZipBaseName = "DEMO";
  job.Compression = 1;
  app.ui.fileAnswers.push_back("c:\\jobs\\Saved.kvo");
  std::filesystem::create_directories(app.drives.Host('c', "jobs"));
  w.saveScript->trigger();
  EXPECT_EQ(app.ui.dialogs.back().title, "Save script");
  // A new file keeps the case it was given.
  EXPECT_EQ(w.windowTitle(), "Kelvo32 - Saved.kvo");
  const std::string saved = testing::TempDrives::ReadFile(app.drives.Host('c', "jobs/Saved.kvo"));
  EXPECT_EQ(saved, ScriptText(job, app.clock.Now()));

  // ...comes back in a fresh window.
  GuiApp fresh;
  testing::TempDrives::WriteFile(fresh.drives.Host('c', "jobs/demo.kvo"), saved);
  WriteSource(fresh, 10'000);
  testing::TempDrives::WriteFile(fresh.drives.Host('c', "rel/file_id.diz"), "DIZ\r\n");
  testing::TempDrives::WriteFile(fresh.drives.Host('c', "rel/demo.nfo"), "NFO\r\n");
  std::filesystem::create_directories(fresh.drives.Host('e', "zips"));
  fresh.ui.fileAnswers.push_back("C:\\Jobs\\Demo.kvo");
  fresh.window.openScript->trigger();
  EXPECT_EQ(fresh.window.windowTitle(), "Kelvo32 - demo.kvo");
  EXPECT_TRUE(fresh.ctx.LoadCheckPassed);
  EXPECT_EQ(fresh.window.source->sourcePath->text(), "d:\\release");
  EXPECT_EQ(fresh.window.source->sourceSize->text(), "10,000 bytes in 2 files");
  EXPECT_EQ(fresh.window.zip->baseName->text(), "DEMO");
  EXPECT_EQ(fresh.window.zip->compression->currentRow(), 1);
  EXPECT_EQ(fresh.window.nfo->nfoPath->text(), "c:\\rel\\demo.nfo");
  EXPECT_EQ(fresh.ui.MessageTexts(), std::vector<std::string>{});

  // "&Zip comment": the mark follows the job, on and off.
  testing::TempDrives::WriteFile(app.drives.Host('c', "rel/comment.txt"), "hello\r\n");
  EXPECT_FALSE(w.zipComment->isChecked());
  app.ui.fileAnswers.push_back("c:\\rel\\comment.txt");
  w.zipComment->trigger();
  EXPECT_TRUE(job.ZipCommentEnabled);
  EXPECT_TRUE(w.zipComment->isChecked());
  w.zipComment->trigger();  // turning off asks nothing
  EXPECT_FALSE(job.ZipCommentEnabled);
  EXPECT_FALSE(w.zipComment->isChecked());
  // Cancelled: stays off.
  app.ui.fileAnswers.push_back(std::nullopt);
  w.zipComment->trigger();
  EXPECT_FALSE(w.zipComment->isChecked());
}

}  // namespace kelvo::gui
