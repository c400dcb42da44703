#include "core/view_state.h"

namespace kelvo {

std::string ShownWindowTitle(const ViewState& view) {
  if (!view.WindowMinimised || view.TitleProgress < 0) return view.WindowTitle;
  return std::to_string(view.TitleProgress) + "% " + view.WindowTitle;
}

std::string PanelHeaderText(Panel panel) {
  switch (panel) {
    case Panel::Source:
      return " Source";
    case Panel::Skip:
      return " Skip";
    case Panel::Diz:
      return " Diz";
    case Panel::Nfo:
      return " Nfo";
    case Panel::Zip:
      return " Zip";
    case Panel::Run:
      return " Kelvo!";
    case Panel::About:
      return " About";
    case Panel::None:
      break;
  }
  return {};
}

void ShowPanel(ViewState& view, Panel panel, FocusBox focus) {
  view.CheckedMenuItem = panel;
  view.VisiblePanel = panel;
  view.PanelHeader = PanelHeaderText(panel);
  view.Focus = focus;
  view.DropNotice.clear();
}

}  // namespace kelvo
