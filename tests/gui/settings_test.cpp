// The program's own settings and the window's place, kept across starts.
#include <QSettings>
#include <cstdlib>

#include "gui_fixture.h"
#include "ui/settings_store.h"

namespace kelvo::gui {
namespace {

class KeptSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    // The test program keeps the store out of the user's own configuration.
    ASSERT_NE(std::string(std::getenv("XDG_CONFIG_HOME")).find("kelvo-config-"), std::string::npos);
    QSettings("kelvo32", "kelvo32").clear();
  }
};

TEST_F(KeptSettings, ClosingTheWindowKeepsSettingsAndPlaceForTheNextStart) {
  QRect placed;
  {
    GuiApp app;
    app.ctx.prefs.WriteSfv = true;
    app.ctx.prefs.WriteNfoPicture = true;
    app.ui.folderAnswers.push_back({{}, "d:\\Zips \xe9t\xe9"});
    app.ctx.ui.BrowseFolder(FolderDialogRequest{"Directory for zip's", "", false, nullptr});
    app.window.resize(700, 520);
    app.window.move(40, 30);
    placed = app.window.geometry();
    app.window.close();
  }
  ProgramSettings prefs;
  ui::LoadProgramSettings(prefs);
  EXPECT_TRUE(prefs.WriteSfv);
  EXPECT_TRUE(prefs.WriteNfoPicture);
  EXPECT_EQ(prefs.LastFolders,
            (std::map<std::string, std::string>{{"Directory for zip's", "d:\\Zips \xe9t\xe9"}}));

  GuiApp next;
  next.window.hide();
  next.window.resize(300, 200);
  next.window.PlaceAtStart();
  EXPECT_EQ(next.window.size(), placed.size());
}

}  // namespace
}  // namespace kelvo::gui
