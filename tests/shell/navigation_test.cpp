#include "shell/navigation.h"

#include <gtest/gtest.h>

#include "support/temp_drives.h"

namespace kelvo::shell {

using testing::TestApp;

namespace {

struct NavigationFixture : TestApp {
  NavigationActions actions{[this] { ++runs; }, [this] { ++helpOpened; }};
  int runs = 0;
  int helpOpened = 0;

  void Go(NavItem item) { NavigateTo(ctx, item, actions); }
  std::string Sound(const std::string& name) const { return drives.Host('c', "app/" + name); }
};

}  // namespace

TEST(Navigation, EachPanelItemShowsItsPanelWithTheTypingSound) {
  const struct {
    NavItem item;
    Panel panel;
  } items[] = {{NavItem::Skip, Panel::Skip},
               {NavItem::Diz, Panel::Diz},
               {NavItem::Nfo, Panel::Nfo},
               {NavItem::Zip, Panel::Zip},
               {NavItem::Source, Panel::Source}};
  NavigationFixture app;
  size_t sounds = 0;
  for (const auto& [item, panel] : items) {
    app.ctx.view.MarqueeVisible = true;
    app.Go(item);
    EXPECT_EQ(app.ctx.view.VisiblePanel, panel);
    EXPECT_EQ(app.ctx.view.CheckedMenuItem, panel);
    // The item's caption and the panel's own header agree.
    EXPECT_EQ(app.ctx.view.PanelHeader, PanelHeaderText(panel));
    EXPECT_FALSE(app.ctx.view.MarqueeVisible);
    ASSERT_EQ(app.ui.sounds.size(), ++sounds);
    EXPECT_EQ(app.ui.sounds.back(), app.Sound("type.wav"));
    EXPECT_EQ(NavItemGroup(item), NavGroup::Main);
  }
  EXPECT_EQ(app.runs + app.helpOpened, 0);
}

TEST(Navigation, TheItemOfTheShownPanelChangesNothing) {
  NavigationFixture app;  // the Source panel is shown at start, nothing checked
  app.Go(NavItem::Source);
  EXPECT_TRUE(app.ui.sounds.empty());
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Source);
  EXPECT_EQ(app.ctx.view.CheckedMenuItem, Panel::None);

  // A run has left its panel: "Kelvo!" again starts nothing.
  app.ctx.view.VisiblePanel = Panel::Run;
  app.ctx.view.PanelHeader = " Kelvo!";
  app.Go(NavItem::Kelvo);
  EXPECT_EQ(app.runs, 0);
  EXPECT_TRUE(app.ui.sounds.empty());
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Run);
}

TEST(Navigation, KelvoClearsTheMarksAndPanelsThenRuns) {
  NavigationFixture app;
  app.Go(NavItem::Zip);
  ASSERT_EQ(app.ctx.view.CheckedMenuItem, Panel::Zip);
  Panel panelAtRun = Panel::Zip, markAtRun = Panel::Zip;
  size_t soundsAtRun = 0;
  app.actions.runJob = [&] {
    ++app.runs;
    panelAtRun = app.ctx.view.VisiblePanel;
    markAtRun = app.ctx.view.CheckedMenuItem;
    soundsAtRun = app.ui.sounds.size();
  };
  app.Go(NavItem::Kelvo);
  EXPECT_EQ(app.runs, 1);
  EXPECT_EQ(panelAtRun, Panel::None);
  EXPECT_EQ(markAtRun, Panel::None);
  EXPECT_EQ(soundsAtRun, 2u);  // Zip's, then Kelvo!'s before the run
  EXPECT_EQ(app.ui.sounds.back(), app.Sound("type.wav"));
  EXPECT_EQ(app.ctx.view.PanelHeader, " Kelvo!");
  EXPECT_EQ(NavItemGroup(NavItem::Kelvo), NavGroup::Main);
}

TEST(Navigation, AboutTwiceKeepsItsMarqueeAndTheMarks) {
  NavigationFixture app;
  app.Go(NavItem::Skip);
  app.Go(NavItem::About);
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::About);
  EXPECT_EQ(app.ctx.view.PanelHeader, " About");
  EXPECT_TRUE(app.ctx.view.MarqueeVisible);
  EXPECT_EQ(app.ctx.view.CheckedMenuItem, Panel::Skip);
  EXPECT_EQ(app.ui.sounds.size(), 2u);

  app.Go(NavItem::About);
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::About);
  EXPECT_TRUE(app.ctx.view.MarqueeVisible);
  EXPECT_EQ(app.ui.sounds.size(), 2u);
  EXPECT_EQ(NavItemGroup(NavItem::About), NavGroup::Help);
}

TEST(Navigation, HelpOpensTheHelpFileAndKeepsThePanel) {
  NavigationFixture app;
  app.Go(NavItem::About);
  app.Go(NavItem::Help);
  EXPECT_EQ(app.helpOpened, 1);
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::About);
  EXPECT_EQ(app.ctx.view.PanelHeader, " Help");
  EXPECT_FALSE(app.ctx.view.MarqueeVisible);
  EXPECT_EQ(app.ui.sounds.size(), 1u);  // About's only
  EXPECT_EQ(NavItemGroup(NavItem::Help), NavGroup::Help);

  // The About panel is still shown: its item only brings the marquee back.
  app.Go(NavItem::About);
  EXPECT_TRUE(app.ctx.view.MarqueeVisible);
  EXPECT_EQ(app.ctx.view.PanelHeader, " About");
  EXPECT_EQ(app.ui.sounds.size(), 1u);

  // A window without a help viewer or run to start still navigates.
  NavigateTo(app.ctx, NavItem::Help, {});
  NavigateTo(app.ctx, NavItem::Kelvo, {});
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::None);
  EXPECT_EQ(app.helpOpened + app.runs, 1);
}

TEST(Navigation, ShowAboutLeavesTheMarksAlone) {
  ViewState view;
  ShowPanel(view, Panel::Nfo);
  ShowAbout(view);
  EXPECT_EQ(view.VisiblePanel, Panel::About);
  EXPECT_EQ(view.PanelHeader, " About");
  EXPECT_TRUE(view.MarqueeVisible);
  EXPECT_EQ(view.CheckedMenuItem, Panel::Nfo);
}

TEST(Navigation, OnlyAnotherGroupWhooshes) {
  NavigationFixture app;
  SwitchGroup(app.ctx, NavGroup::Main, NavGroup::Main);
  EXPECT_TRUE(app.ui.sounds.empty());
  SwitchGroup(app.ctx, NavGroup::Help, NavGroup::Main);
  EXPECT_EQ(app.ctx.view.OpenNavGroup, NavGroup::Help);
  SwitchGroup(app.ctx, NavGroup::Help, NavGroup::Help);
  SwitchGroup(app.ctx, NavGroup::Main, NavGroup::Help);
  EXPECT_EQ(app.ctx.view.OpenNavGroup, NavGroup::Main);
  EXPECT_EQ(app.ui.sounds,
            (std::vector<std::string>{app.Sound("whoosh.wav"), app.Sound("whoosh.wav")}));
}

}  // namespace kelvo::shell
