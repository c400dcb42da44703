#include "shell/navigation.h"

namespace kelvo::shell {

namespace {

constexpr const char* kItemSound = "type.wav";
constexpr const char* kGroupSound = "whoosh.wav";

Panel PanelOf(NavItem item) {
  switch (item) {
    case NavItem::Source:
      return Panel::Source;
    case NavItem::Skip:
      return Panel::Skip;
    case NavItem::Diz:
      return Panel::Diz;
    case NavItem::Nfo:
      return Panel::Nfo;
    case NavItem::Zip:
      return Panel::Zip;
    case NavItem::Kelvo:
      return Panel::Run;
    case NavItem::About:
      return Panel::About;
    case NavItem::Help:
      break;
  }
  return Panel::None;
}

}  // namespace

std::string NavItemText(NavItem item) {
  if (item == NavItem::Help) return "Help";
  return PanelHeaderText(PanelOf(item)).substr(1);  // the header without its blank
}

NavGroup NavItemGroup(NavItem item) {
  return item == NavItem::Help || item == NavItem::About ? NavGroup::Help : NavGroup::Main;
}

void ShowAbout(ViewState& view) {
  view.VisiblePanel = Panel::About;
  view.MarqueeVisible = true;
  view.PanelHeader = PanelHeaderText(Panel::About);
}

void NavigateTo(Context& ctx, NavItem item, const NavigationActions& actions) {
  ViewState& view = ctx.view;
  view.MarqueeVisible = false;
  view.PanelHeader = " " + NavItemText(item);

  if (item == NavItem::Help) {
    // The help viewer opens beside the window; the panel shown stays.
    if (actions.openHelpFile) actions.openHelpFile();
    return;
  }

  Panel panel = PanelOf(item);
  if (view.VisiblePanel == panel) {
    if (item == NavItem::About) view.MarqueeVisible = true;
    return;
  }
  ctx.PlayAppSound(kItemSound, false);

  switch (item) {
    case NavItem::Kelvo:
      // Checking "&Kelvo" and clearing the marks right after leaves none;
      // the run checks it again and shows its panel once it starts.
      view.CheckedMenuItem = Panel::None;
      view.VisiblePanel = Panel::None;
      if (actions.runJob) actions.runJob();
      break;
    case NavItem::About:
      view.VisiblePanel = Panel::None;
      ShowAbout(view);
      break;
    default:
      ShowPanel(view, panel);
      break;
  }
}

void SwitchGroup(Context& ctx, NavGroup newGroup, NavGroup oldGroup) {
  ctx.view.OpenNavGroup = newGroup;
  if (newGroup != oldGroup) ctx.PlayAppSound(kGroupSound, false);
}

}  // namespace kelvo::shell
