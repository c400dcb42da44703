#include "core/panel_table.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace kelvo {

namespace {

constexpr std::array<PanelRow, 8> kRows{{
    {NavItem::Source, Panel::Source, " Source", "Source", "&Source", false, NavGroup::Main,
     PanelPicture::Disc},
    {NavItem::Skip, Panel::Skip, " Skip", "Skip", "S&kip", false, NavGroup::Main,
     PanelPicture::StruckPage},
    {NavItem::Diz, Panel::Diz, " Diz", "Diz", "&Diz", false, NavGroup::Main,
     PanelPicture::StampedPage},
    {NavItem::Nfo, Panel::Nfo, " Nfo", "Nfo", "&Nfo", false, NavGroup::Main, PanelPicture::Page},
    {NavItem::Zip, Panel::Zip, " Zip", "Zip", "&Zip", false, NavGroup::Main,
     PanelPicture::ZippedFolder},
    {NavItem::Kelvo, Panel::Run, " Kelvo!", "Kelvo!", "&Kelvo", true, NavGroup::Main,
     PanelPicture::Bolt},
    // The help viewer opens beside the window: the header says so, the
    // panel shown stays.
    {NavItem::Help, Panel::None, " Help", "Help", nullptr, false, NavGroup::Help,
     PanelPicture::Question},
    {NavItem::About, Panel::About, " About", "About", nullptr, false, NavGroup::Help,
     PanelPicture::Info},
}};

}  // namespace

std::span<const PanelRow> PanelRows() {
  return kRows;
}

const PanelRow& RowOf(NavItem item) {
  auto row =
      std::find_if(kRows.begin(), kRows.end(), [&](const PanelRow& r) { return r.item == item; });
  if (row == kRows.end()) throw std::out_of_range("no panel row for a navigation item");
  return *row;
}

const PanelRow* RowOf(Panel panel) {
  if (panel == Panel::None) return nullptr;
  auto row =
      std::find_if(kRows.begin(), kRows.end(), [&](const PanelRow& r) { return r.panel == panel; });
  return row == kRows.end() ? nullptr : &*row;
}

const char* NavGroupCaption(NavGroup group) {
  return group == NavGroup::Help ? "Help" : "Main";
}

}  // namespace kelvo
