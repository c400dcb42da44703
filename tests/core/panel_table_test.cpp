#include "core/panel_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kelvo {
namespace {

TEST(PanelTable, EveryPanelHasOneRowAndItsTexts) {
  std::set<Panel> panels;
  std::set<NavItem> items;
  for (const PanelRow& row : PanelRows()) {
    EXPECT_TRUE(items.insert(row.item).second);
    if (row.panel != Panel::None) {
      EXPECT_TRUE(panels.insert(row.panel).second);
    }
    EXPECT_EQ(&RowOf(row.item), &row);
    // The header is the caption after a blank.
    EXPECT_EQ(std::string(row.header), std::string(" ") + row.navCaption);
  }
  EXPECT_EQ(panels, (std::set<Panel>{Panel::Source, Panel::Skip, Panel::Diz, Panel::Nfo, Panel::Zip,
                                     Panel::Run, Panel::About}));
  EXPECT_EQ(RowOf(Panel::None), nullptr);

  EXPECT_EQ(PanelHeaderText(Panel::Source), " Source");
  EXPECT_EQ(PanelHeaderText(Panel::Run), " Kelvo!");
  EXPECT_EQ(PanelHeaderText(Panel::About), " About");
  EXPECT_EQ(PanelHeaderText(Panel::None), "");
  EXPECT_EQ(std::string(RowOf(NavItem::Help).header), " Help");
  EXPECT_EQ(RowOf(NavItem::Kelvo).panel, Panel::Run);
  EXPECT_STREQ(RowOf(NavItem::Skip).menuCaption, "S&kip");
  EXPECT_EQ(RowOf(NavItem::About).menuCaption, nullptr);
  EXPECT_TRUE(RowOf(NavItem::Kelvo).menuSeparated);
  EXPECT_EQ(RowOf(NavItem::Help).group, NavGroup::Help);
  EXPECT_STREQ(NavGroupCaption(NavGroup::Main), "Main");
}

}  // namespace
}  // namespace kelvo
