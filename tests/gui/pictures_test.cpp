// The DIZ and NFO as pictures in the window: "Save as picture..." on their
// panels, "NFO p&icture" on the Zip panel, and the preview drawing the same
// glyphs as the picture does.
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <set>

#include "art/picture.h"
#include "core/exit_status.h"
#include "gui_fixture.h"
#include "scripts/job_script.h"
#include "tools/file_tree.h"
#include "ui/text_preview.h"

namespace kelvo::gui {

namespace {

constexpr const char* kNfo = "\xC9\xCD\xCD\xBB\r\n\xBA\xDB\xB1\xBA\r\n\xC8\xCD\xCD\xBC\r\n";

QImage Png(const std::string& bytes) {
  QImage image;
  image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()),
                     "PNG");
  return image;
}

// The mnemonic letters of a panel's captions, in lower case.
std::vector<QChar> Mnemonics(QWidget* panel) {
  std::vector<QChar> letters;
  QStringList captions;
  for (auto* button : panel->findChildren<QAbstractButton*>()) captions << button->text();
  for (auto* label : panel->findChildren<QLabel*>()) captions << label->text();
  static const QRegularExpression mark("&([^&])");
  for (const QString& caption : captions) {
    auto match = mark.match(caption);
    if (match.hasMatch()) letters.push_back(match.captured(1).at(0).toLower());
  }
  return letters;
}

}  // namespace

TEST(TextPictures, TheNfoPanelSavesItsPicture) {
  GuiApp app;
  app.Click(NavItem::Nfo);
  auto* nfo = app.window.nfo;
  EXPECT_EQ(nfo->picture->text(), "Save as &picture...");
  EXPECT_FALSE(nfo->picture->isEnabled()) << "no nfo chosen";

  TempDrives::WriteFile(app.drives.Host('c', "rel/orbit.nfo"), kNfo);
  app.Act([&] { app.ctx.job.NfoPath = "c:\\rel\\orbit.nfo"; });
  ASSERT_TRUE(nfo->picture->isEnabled());
  app.ui.fileAnswers.push_back("c:\\rel\\orbit.png");
  app.Alt(Qt::Key_P);
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].initialName, "orbit.png");
  EXPECT_TRUE(app.ui.messages.empty());
  const QImage picture = Png(TempDrives::ReadFile(app.drives.Host('c', "rel/orbit.png")));
  EXPECT_EQ(picture.size(), QSize(80 * 8, 3 * 16));
  // The full block at line 2, column 2 is lit all over.
  for (int y = 16; y < 32; ++y)
    for (int x = 8; x < 16; ++x) ASSERT_EQ(picture.pixel(x, y), qRgb(170, 170, 170));
}

TEST(TextPictures, TheDizPanelSavesItsPictureByItsOwnLetter) {
  GuiApp app;
  TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), std::string(45, '\xB0'));
  app.ctx.job.DizPath = "c:\\rel\\file_id.diz";
  app.Click(NavItem::Diz);
  auto* diz = app.window.diz;
  EXPECT_EQ(diz->picture->text(), "Save as p&icture...");
  ASSERT_TRUE(diz->picture->isEnabled());
  app.ui.fileAnswers.push_back("c:\\rel\\diz.png");
  app.Alt(Qt::Key_I);
  EXPECT_EQ(Png(TempDrives::ReadFile(app.drives.Host('c', "rel/diz.png"))).size(),
            QSize(80 * 8, 16));
  app.Act([&] { app.ctx.job.DizPath.clear(); });
  EXPECT_FALSE(diz->picture->isEnabled());
}

TEST(TextPictures, TheZipPanelsBoxIsTheProgramsSetting) {
  GuiApp app;
  app.Click(NavItem::Zip);
  auto* zip = app.window.zip;
  EXPECT_EQ(zip->nfoPicture->text(), "NFO p&icture");
  EXPECT_FALSE(zip->nfoPicture->isChecked());
  app.Click(zip->nfoPicture);
  EXPECT_TRUE(app.ctx.prefs.WriteNfoPicture);
  EXPECT_FALSE(app.ctx.prefs.WriteSfv);
  app.Alt(Qt::Key_I);
  EXPECT_FALSE(app.ctx.prefs.WriteNfoPicture);
  app.ctx.prefs.WriteNfoPicture = true;
  app.window.Render();
  EXPECT_TRUE(zip->nfoPicture->isChecked());
}

// Each letter once on a panel.
TEST(TextPictures, EachPanelsMnemonicsAreTheirOwn) {
  GuiApp app;
  for (QWidget* panel :
       {static_cast<QWidget*>(app.window.diz), static_cast<QWidget*>(app.window.nfo),
        static_cast<QWidget*>(app.window.zip)}) {
    std::vector<QChar> letters = Mnemonics(panel);
    std::set<QChar> seen;
    for (QChar letter : letters) {
      EXPECT_TRUE(seen.insert(letter).second) << panel->metaObject()->className() << " uses &"
                                              << QString(letter).toStdString() << " twice";
    }
  }
}

// The preview and the picture agree cell by cell on every glyph: the
// blocks, shades and box lines of art above all.
TEST(TextPictures, ThePreviewDrawsThePicturesGlyphs) {
  std::string glyphs;
  for (int byte = 0; byte < 256; ++byte)
    if (!art::IsLayoutControl(static_cast<unsigned char>(byte))) glyphs += static_cast<char>(byte);
  GuiApp app;
  TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), glyphs);
  app.ctx.job.DizPath = "c:\\rel\\file_id.diz";
  app.Click(NavItem::Diz);
  ui::TextPreviewPane* pane = app.window.diz->preview;
  pane->resize(300 * 8, pane->height());
  ASSERT_EQ(pane->CellWidth(), 8);
  ASSERT_EQ(pane->LineHeight(), 16);
  ASSERT_EQ(pane->Shown().Line(0), glyphs);
  const QImage preview = pane->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage picture = Png(art::DrawText(glyphs).png).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(picture.width(), static_cast<int>(glyphs.size()) * 8);
  const QRgb base = pane->palette().color(QPalette::Base).rgb();
  int blocksLit = 0;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    const QRect cell = pane->CellRect(0, i);
    ASSERT_LE(cell.right(), preview.width()) << "the pane shows every cell";
    int differ = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool shown = preview.pixel(cell.topLeft() + QPoint(x, y)) != base;
        const bool drawn = picture.pixel(static_cast<int>(i) * 8 + x, y) != qRgb(0, 0, 0);
        differ += shown != drawn;
        if (glyphs[i] == '\xDB') blocksLit += shown;
      }
    EXPECT_EQ(differ, 0) << "byte 0x" << std::hex
                         << static_cast<int>(static_cast<unsigned char>(glyphs[i]));
  }
  EXPECT_EQ(blocksLit, 8 * 16);
}

// An unattended run reads the kept choice as the window does, and draws the
// NFO beside its zip.
TEST(TextPictures, AnUnattendedRunFollowsTheKeptChoice) {
  namespace fs = std::filesystem;
  TempDrives drives;
  const std::string root = fs::canonical(drives.root()).string();
  const std::string appDir = root + "/app";
  fs::create_directories(appDir);
  for (const char* file : {"kelvo32", "wrar", "wace", "pkzip", "size"})
    fs::copy_file(std::string(KELVO_APP_BUILD_DIR) + "/" + file, appDir + "/" + file);
  fs::create_directories(root + "/home");
  const JobSettings job = testing::DemoRelease(root);
  testing::WriteTree(root + "/src", {{"data.bin", testing::NoiseBytes(30000, 4)}});
  TempDrives::WriteFile(root + "/jobs/demo.kvo", ScriptText(job, testing::FixedClock().Now()));
  TempDrives::WriteFile(root + "/rel/demo.nfo", kNfo);

  auto run = [&](bool picture) {
    fs::remove_all(root + "/zips");
    fs::create_directories(root + "/zips");
    TempDrives::WriteFile(
        root + "/config/kelvo32/kelvo32.conf",
        std::string("[General]\nnfoPicture=") + (picture ? "true" : "false") + "\n");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(root + "/home"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(root + "/config"));
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    env.remove("KELVO32_DRIVES");
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(appDir + "/kelvo32"),
                  {QString::fromStdString("!" + testing::OnDriveZ(root + "/jobs/demo.kvo"))});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), kExitComplete) << process.readAllStandardError().toStdString();
  };
  run(true);
  const std::string picture = root + "/zips/DEMO-nfo.png";
  ASSERT_TRUE(TempDrives::FileExists(picture));
  EXPECT_EQ(Png(TempDrives::ReadFile(picture)).size(), QSize(80 * 8, 3 * 16));
  run(false);
  EXPECT_FALSE(TempDrives::FileExists(picture));
  EXPECT_TRUE(TempDrives::FileExists(root + "/zips/DEMO.zip"));
}

}  // namespace kelvo::gui
