// The panel switch through the navigation bar and the context menu: the
// panel shown, the header, the menu marks and the sounds asked for.
#include <QMenu>
#include <QProgressBar>
#include <QStackedWidget>

#include "gui_fixture.h"
#include "ui/marquee.h"

namespace kelvo::gui {

TEST(Navigation, ItemsShowTheirPanelWithHeaderAndSound) {
  GuiApp app;
  EXPECT_EQ(app.Shown(), app.window.source);
  EXPECT_EQ(app.Header(), " Source");
  EXPECT_TRUE(app.Checked().empty());

  const struct {
    NavItem item;
    const char* header;
    const char* menuItem;
  } items[] = {{NavItem::Skip, " Skip", "S&kip"},
               {NavItem::Diz, " Diz", "&Diz"},
               {NavItem::Nfo, " Nfo", "&Nfo"},
               {NavItem::Zip, " Zip", "&Zip"},
               {NavItem::Source, " Source", "&Source"}};
  QWidget* panels[] = {app.window.skip, app.window.diz, app.window.nfo, app.window.zip,
                       app.window.source};
  int index = 0;
  for (const auto& c : items) {
    app.ui.sounds.clear();
    app.Click(c.item);
    EXPECT_EQ(app.Shown(), panels[index]) << c.header;
    EXPECT_TRUE(panels[index]->isVisible()) << c.header;
    EXPECT_EQ(app.Header(), c.header);
    EXPECT_EQ(app.Checked(), std::vector<std::string>{c.menuItem});
    EXPECT_EQ(app.ui.sounds, std::vector<std::string>{app.Sound("type.wav")}) << c.header;
    // The bar shows its item as the current one, and only that one.
    EXPECT_EQ(app.window.navigation->CurrentItem(), app.Item(c.item)) << c.header;
    EXPECT_TRUE(app.Item(c.item)->isChecked());
    ++index;
  }

  // The item of the panel already shown: nothing changes, nothing sounds.
  app.ui.sounds.clear();
  app.Click(NavItem::Source);
  EXPECT_EQ(app.Shown(), app.window.source);
  EXPECT_EQ(app.Checked(), std::vector<std::string>{"&Source"});
  EXPECT_TRUE(app.ui.sounds.empty());
}

TEST(Navigation, ContextMenuItemsSwitchWithoutSoundAndMarkOneItem) {
  GuiApp app;
  const std::pair<Panel, const char*> items[] = {{Panel::Skip, " Skip"},
                                                 {Panel::Zip, " Zip"},
                                                 {Panel::Diz, " Diz"},
                                                 {Panel::Nfo, " Nfo"},
                                                 {Panel::Source, " Source"}};
  for (const auto& [panel, header] : items) {
    app.window.panelActions.at(panel)->trigger();
    EXPECT_EQ(app.ctx.view.VisiblePanel, panel);
    EXPECT_EQ(app.Header(), header);
    auto checked = app.Checked();
    ASSERT_EQ(checked.size(), 1u) << header;
    EXPECT_EQ(checked[0], app.window.panelActions.at(panel)->text().toStdString());
  }
  EXPECT_TRUE(app.ui.sounds.empty());
}

TEST(Navigation, HelpGroupAboutAndHelpItems) {
  GuiApp app;
  app.Click(NavItem::Nfo);
  app.ui.sounds.clear();

  // Opening the other group whooshes; its items become reachable.
  EXPECT_FALSE(app.Item(NavItem::About)->isVisible());
  app.window.navigation->setCurrentIndex(1);
  EXPECT_EQ(app.ui.sounds, std::vector<std::string>{app.Sound("whoosh.wav")});
  EXPECT_EQ(app.ctx.view.OpenNavGroup, NavGroup::Help);
  ASSERT_TRUE(app.Item(NavItem::About)->isVisible());

  app.ui.sounds.clear();
  EXPECT_EQ(app.StartedWith("winhelp", [&] { app.Click(NavItem::Help); }),
            std::vector<std::string>{"c:\\app\\kelvo32.hlp"});
  EXPECT_EQ(app.Shown(), app.window.nfo);
  EXPECT_EQ(app.Header(), " Help");
  // The viewer is no panel: the Nfo item stays the current one.
  EXPECT_EQ(app.window.navigation->CurrentItem(), app.Item(NavItem::Nfo));
  EXPECT_TRUE(app.ui.sounds.empty());
  EXPECT_EQ(app.Checked(), std::vector<std::string>{"&Nfo"});

  app.Click(NavItem::About);
  EXPECT_EQ(app.Shown(), app.window.aboutPanel);
  EXPECT_EQ(app.Header(), " About");
  EXPECT_TRUE(app.window.aboutPanel->marquee->isVisible());
  EXPECT_EQ(app.ui.sounds, std::vector<std::string>{app.Sound("type.wav")});
  EXPECT_EQ(app.window.navigation->CurrentItem(), app.Item(NavItem::About));
  // The marks stay as the last panel switch left them.
  EXPECT_EQ(app.Checked(), std::vector<std::string>{"&Nfo"});

  app.Click(NavItem::Help);
  EXPECT_FALSE(app.window.aboutPanel->marquee->isVisible());
  app.ui.sounds.clear();
  app.Click(NavItem::About);
  app.Click(NavItem::About);
  EXPECT_EQ(app.Shown(), app.window.aboutPanel);
  EXPECT_EQ(app.Header(), " About");
  EXPECT_TRUE(app.window.aboutPanel->marquee->isVisible());
  EXPECT_TRUE(app.ui.sounds.empty());

  // Back to the group already open is no change; to "Main" whooshes once.
  app.window.navigation->setCurrentIndex(1);
  EXPECT_TRUE(app.ui.sounds.empty());
  app.window.navigation->setCurrentIndex(0);
  EXPECT_EQ(app.ui.sounds, std::vector<std::string>{app.Sound("whoosh.wav")});
  EXPECT_EQ(app.ctx.view.OpenNavGroup, NavGroup::Main);
}

// The bar's groups and captions, as they have always read.
TEST(Navigation, TheBarHoldsItsItemsInTwoGroups) {
  GuiApp app;
  auto* bar = app.window.navigation;
  ASSERT_EQ(bar->count(), 2);
  EXPECT_EQ(bar->itemText(0), "Main");
  EXPECT_EQ(bar->itemText(1), "Help");
  const std::pair<NavItem, const char*> items[] = {
      {NavItem::Source, "Source"}, {NavItem::Skip, "Skip"},  {NavItem::Diz, "Diz"},
      {NavItem::Nfo, "Nfo"},       {NavItem::Zip, "Zip"},    {NavItem::Kelvo, "Kelvo!"},
      {NavItem::Help, "Help"},     {NavItem::About, "About"}};
  for (const auto& [item, caption] : items) {
    EXPECT_EQ(app.Item(item)->text(), caption);
    EXPECT_EQ(bar->indexOf(app.Item(item)->parentWidget()),
              item == NavItem::Help || item == NavItem::About ? 1 : 0)
        << caption;
  }
  // A click only asks: an item whose action does not happen stays as it was.
  EXPECT_EQ(bar->CurrentItem(), app.Item(NavItem::Source));
  app.Act([&] {
    app.Click(NavItem::Zip);  // while an action runs: refused
  });
  EXPECT_EQ(bar->CurrentItem(), app.Item(NavItem::Source));
  EXPECT_FALSE(app.Item(NavItem::Zip)->isChecked());
}

TEST(Navigation, TheKeyboardAloneOpensItemsAndTheMenu) {
  GuiApp app;
  app.window.show();
  app.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&app.window));
  // Return on the item that has the focus opens it, as a click does.
  app.Item(NavItem::Zip)->setFocus();
  QTest::keyClick(app.Item(NavItem::Zip), Qt::Key_Return);
  EXPECT_EQ(app.Shown(), app.window.zip);

  // Shift+F10 and the Menu key show "menu" at the control with the focus,
  // even one that takes no right click.
  QMenu* menu = app.window.panelMenu;
  for (auto [key, modifiers] :
       {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
    app.window.zip->rar->setFocus();
    QTest::keyClick(app.window.zip->rar, key, modifiers);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000)) << key;
    const QRect at(app.window.zip->rar->mapToGlobal(QPoint(0, 0)), app.window.zip->rar->size());
    EXPECT_TRUE(at.contains(menu->pos())) << key;
    menu->hide();
  }
}

TEST(Navigation, RightClickPopsTheContextMenuWhereTheWindowHasNoneOfItsOwn) {
  GuiApp app;
  QMenu* menu = app.window.panelMenu;
  std::vector<std::string> captions;
  for (QAction* action : menu->actions())
    captions.push_back(action->isSeparator() ? "-" : action->text().toStdString());
  EXPECT_EQ(captions,
            (std::vector<std::string>{"&Source", "S&kip", "&Diz", "&Nfo", "&Zip", "-", "&Kelvo"}));
  EXPECT_EQ(menu->title(), "menu");

  auto& w = app.window;
  EXPECT_TRUE(app.RightClickShowsMenu(w.centralWidget()));
  EXPECT_TRUE(app.RightClickShowsMenu(w.source));
  EXPECT_TRUE(app.RightClickShowsMenu(w.source->caption));
  EXPECT_TRUE(app.RightClickShowsMenu(w.source->driveGroup));
  EXPECT_TRUE(app.RightClickShowsMenu(w.source->sourcePath));
  EXPECT_TRUE(app.RightClickShowsMenu(w.header));
  EXPECT_FALSE(app.RightClickShowsMenu(w.source->browse));
  EXPECT_FALSE(app.RightClickShowsMenu(w.source->iso));
  EXPECT_FALSE(app.RightClickShowsMenu(w.source->driveList));
  EXPECT_FALSE(app.RightClickShowsMenu(app.Item(NavItem::Skip)));
  EXPECT_FALSE(app.RightClickShowsMenu(w.navigation));

  app.Click(NavItem::Zip);
  EXPECT_TRUE(app.RightClickShowsMenu(w.zip));
  EXPECT_TRUE(app.RightClickShowsMenu(w.zip->sizeText));
  EXPECT_TRUE(app.RightClickShowsMenu(w.zip->storageDir));
  EXPECT_FALSE(app.RightClickShowsMenu(w.zip->compressionCaption));
  EXPECT_FALSE(app.RightClickShowsMenu(w.zip->estimate));
  EXPECT_FALSE(app.RightClickShowsMenu(w.zip->compression->viewport()));
  EXPECT_FALSE(app.RightClickShowsMenu(w.zip->rar));
  EXPECT_FALSE(app.RightClickShowsMenu(w.zip->zipExtra));
  app.Click(NavItem::Diz);
  EXPECT_TRUE(app.RightClickShowsMenu(w.diz->dizPath));
  EXPECT_TRUE(app.RightClickShowsMenu(w.diz->numberingCaption));
  EXPECT_FALSE(app.RightClickShowsMenu(w.diz->substitute));
  EXPECT_FALSE(app.RightClickShowsMenu(w.diz->test));
  // The run panel's buttons and bar neither; its lines do.
  app.ctx.view.VisiblePanel = Panel::Run;
  w.Render();
  EXPECT_TRUE(app.RightClickShowsMenu(w.run->status));
  EXPECT_FALSE(app.RightClickShowsMenu(w.run->abort));
  EXPECT_FALSE(app.RightClickShowsMenu(w.run->progress));
  app.ctx.view.VisiblePanel = Panel::About;
  w.Render();
  EXPECT_FALSE(app.RightClickShowsMenu(w.aboutPanel->webPage));
  EXPECT_TRUE(app.RightClickShowsMenu(w.aboutPanel->text));

  // The menu's items act from the pop-up as from anywhere else.
  menu->popup(w.mapToGlobal(QPoint(10, 10)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
  QAction* skip = w.panelActions.at(Panel::Skip);
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(skip).center());
  EXPECT_EQ(app.Shown(), w.skip);
  EXPECT_EQ(app.Checked(), std::vector<std::string>{"S&kip"});
  EXPECT_FALSE(menu->isVisible());
}

}  // namespace kelvo::gui
