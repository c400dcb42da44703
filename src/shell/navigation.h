// The navigation bar, "menu" and the About panel: which panel an item
// shows, the sounds of items and groups, and the header line. The items and
// their texts are the panel table's (core/panel_table.h).
#pragma once

#include <functional>
#include <string>

#include "core/context.h"
#include "core/panel_table.h"

namespace kelvo::shell {

using kelvo::NavItem;

// The item's caption on the navigation bar: "Source", ..., "Kelvo!".
std::string NavItemText(NavItem item);
// The group that holds the item.
NavGroup NavItemGroup(NavItem item);

// What a navigation item starts beyond the view state: the run and the help
// viewer belong to other operations.
struct NavigationActions {
  std::function<void()> runJob;
  std::function<void()> openHelpFile;
};

// Shows the About panel with its marquee; leaves the marks alone.
void ShowAbout(ViewState& view);
// A click on a navigation item.
void NavigateTo(Context& ctx, NavItem item, const NavigationActions& actions);
// An item of "menu": a setting panel is shown without a sound, "&Kelvo"
// (the run's panel) runs the job.
void ChooseMenuItem(Context& ctx, Panel panel, const NavigationActions& actions);
// The bar opening another group: "whoosh.wav" when the groups differ.
void SwitchGroup(Context& ctx, NavGroup newGroup, NavGroup oldGroup);

}  // namespace kelvo::shell
