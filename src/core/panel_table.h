// The one table of the main window's panels and navigation items: which
// panel an item shows, its header line, its captions on the navigation bar
// and in the context menu "menu", its group on the bar and its picture. The
// header texts, "menu", the navigation bar and the window's panel map are
// all made from it.
#pragma once

#include <span>

#include "core/view_state.h"

namespace kelvo {

// The navigation bar's items.
enum class NavItem { Source, Skip, Diz, Nfo, Zip, Kelvo, Help, About };

// The pictures of the items, by what they show; the window draws them.
enum class PanelPicture { Disc, StruckPage, StampedPage, Page, ZippedFolder, Bolt, Question, Info };

struct PanelRow {
  NavItem item;
  Panel panel;              // Panel::None: the item shows no panel of its own
  const char* header;       // the header line while the item's panel is up
  const char* navCaption;   // on the navigation bar
  const char* menuCaption;  // in "menu", with its mnemonic; nullptr when not there
  bool menuSeparated;       // "menu" has a separator before it
  NavGroup group;           // its group on the navigation bar
  PanelPicture picture;
};

// Every row, in the order of the navigation bar and of "menu".
std::span<const PanelRow> PanelRows();
// The row of an item, and of a panel (nullptr for Panel::None).
const PanelRow& RowOf(NavItem item);
const PanelRow* RowOf(Panel panel);

// The caption of a group of the navigation bar: "Main", "Help".
const char* NavGroupCaption(NavGroup group);

}  // namespace kelvo
