#include "core/view_state.h"

#include "core/panel_table.h"

namespace kelvo {

std::string ShownWindowTitle(const ViewState& view) {
  if (!view.WindowMinimised || view.TitleProgress < 0) return view.WindowTitle;
  return std::to_string(view.TitleProgress) + "% " + view.WindowTitle;
}

std::string PanelHeaderText(Panel panel) {
  const PanelRow* row = RowOf(panel);
  return row ? row->header : std::string();
}

void ShowPanel(ViewState& view, Panel panel, FocusBox focus) {
  view.CheckedMenuItem = panel;
  view.VisiblePanel = panel;
  view.PanelHeader = PanelHeaderText(panel);
  view.Focus = focus;
  view.DropNotice.clear();
}

}  // namespace kelvo
