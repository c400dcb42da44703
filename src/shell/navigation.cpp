#include "shell/navigation.h"

namespace kelvo::shell {

namespace {

constexpr const char* kItemSound = "type.wav";
constexpr const char* kGroupSound = "whoosh.wav";

}  // namespace

std::string NavItemText(NavItem item) {
  return RowOf(item).navCaption;
}

NavGroup NavItemGroup(NavItem item) {
  return RowOf(item).group;
}

void ShowAbout(ViewState& view) {
  view.VisiblePanel = Panel::About;
  view.MarqueeVisible = true;
  view.PanelHeader = PanelHeaderText(Panel::About);
}

void NavigateTo(Context& ctx, NavItem item, const NavigationActions& actions) {
  ViewState& view = ctx.view;
  const PanelRow& row = RowOf(item);
  view.MarqueeVisible = false;
  view.PanelHeader = row.header;

  if (row.panel == Panel::None) {
    // The help viewer opens beside the window; the panel shown stays.
    if (actions.openHelpFile) actions.openHelpFile();
    return;
  }

  if (view.VisiblePanel == row.panel) {
    if (row.panel == Panel::About) view.MarqueeVisible = true;
    return;
  }
  ctx.PlayAppSound(kItemSound, false);

  switch (row.panel) {
    case Panel::Run:
      // Checking "&Kelvo" and clearing the marks right after leaves none;
      // the run checks it again and shows its panel once it starts.
      view.CheckedMenuItem = Panel::None;
      view.VisiblePanel = Panel::None;
      if (actions.runJob) actions.runJob();
      break;
    case Panel::About:
      view.VisiblePanel = Panel::None;
      ShowAbout(view);
      break;
    default:
      ShowPanel(view, row.panel);
      break;
  }
}

void ChooseMenuItem(Context& ctx, Panel panel, const NavigationActions& actions) {
  if (panel == Panel::Run) {
    if (actions.runJob) actions.runJob();
    return;
  }
  ShowPanel(ctx.view, panel);
}

void SwitchGroup(Context& ctx, NavGroup newGroup, NavGroup oldGroup) {
  ctx.view.OpenNavGroup = newGroup;
  if (newGroup != oldGroup) ctx.PlayAppSound(kGroupSound, false);
}

}  // namespace kelvo::shell
