// The navigation bar: two groups of items with pictures, one group open at
// a time.
#pragma once

#include <QToolBox>
#include <functional>
#include <map>

#include "shell/navigation.h"

class QToolButton;

namespace kelvo::ui {

class NavigationBar : public QToolBox {
 public:
  explicit NavigationBar(QWidget* parent);

  std::function<void(shell::NavItem)> onItem;
  std::function<void(NavGroup newGroup, NavGroup oldGroup)> onGroup;

  void Render(const ViewState& view);
  QToolButton* Item(shell::NavItem item) const { return items_.at(item); }

 private:
  std::map<shell::NavItem, QToolButton*> items_;
  NavGroup shown_ = NavGroup::Main;
};

}  // namespace kelvo::ui
