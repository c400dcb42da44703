#include "ui/navigation_bar.h"

#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/pictures.h"

namespace kelvo::ui {

NavigationBar::NavigationBar(QWidget* parent) : QToolBox(parent) {
  for (NavGroup group : {NavGroup::Main, NavGroup::Help}) {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    for (const PanelRow& row : PanelRows()) {
      if (row.group != group) continue;
      auto* button = new QToolButton(page);
      button->setText(QString::fromStdString(row.navCaption));
      button->setIcon(NavigationIcon(row.picture));
      button->setIconSize(QSize(24, 24));
      button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
      button->setAutoRaise(true);
      // Checked: the item of the panel shown, as the view says.
      button->setCheckable(true);
      button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      connect(button, &QToolButton::clicked, this, [this, button, item = row.item](bool checked) {
        // A click only asks; the render marks the current item.
        button->setChecked(!checked);
        if (onItem) onItem(item);
      });
      layout->addWidget(button);
      items_[row.item] = button;
    }
    layout->addStretch();
    pages_[group] = addItem(page, NavGroupCaption(group));
  }
  connect(this, &QToolBox::currentChanged, this, [this](int index) {
    NavGroup opened = NavGroup::Main;
    for (const auto& [group, page] : pages_)
      if (page == index) opened = group;
    NavGroup before = shown_;
    shown_ = opened;
    if (onGroup) onGroup(opened, before);
  });
}

void NavigationBar::Render(const ViewState& view) {
  // Disabled, the items and the group captions draw in the palette's
  // disabled colours and the pictures greyed.
  setEnabled(view.NavigationBarEnabled);
  for (const auto& [item, button] : items_) {
    const kelvo::Panel panel = RowOf(item).panel;
    button->setChecked(panel != kelvo::Panel::None && panel == view.VisiblePanel);
  }
  shown_ = view.OpenNavGroup;
  QSignalBlocker block(this);
  setCurrentIndex(pages_.at(view.OpenNavGroup));
}

QToolButton* NavigationBar::CurrentItem() const {
  for (const auto& [item, button] : items_)
    if (button->isChecked()) return button;
  return nullptr;
}

}  // namespace kelvo::ui
