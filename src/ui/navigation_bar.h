// The navigation bar: two groups of items with pictures, one group open at
// a time, made from the panel table. The item of the panel shown stands out
// as the current one; while the view closes the bar it is greyed and takes
// no clicks.
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
  // The item shown as current; nullptr when the panel shown has none.
  QToolButton* CurrentItem() const;

 private:
  std::map<shell::NavItem, QToolButton*> items_;
  std::map<NavGroup, int> pages_;  // the page of each group
  NavGroup shown_ = NavGroup::Main;
};

}  // namespace kelvo::ui
