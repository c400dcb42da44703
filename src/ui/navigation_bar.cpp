#include "ui/navigation_bar.h"

#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/pictures.h"

namespace kelvo::ui {

namespace {
using shell::NavItem;

NavPicture PictureOf(NavItem item) {
  return static_cast<NavPicture>(static_cast<int>(item));
}
}  // namespace

NavigationBar::NavigationBar(QWidget* parent) : QToolBox(parent) {
  auto addGroup = [this](const QString& name, std::initializer_list<NavItem> items) {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    for (NavItem item : items) {
      auto* button = new QToolButton(page);
      button->setText(QString::fromStdString(shell::NavItemText(item)));
      button->setIcon(NavigationIcon(PictureOf(item)));
      button->setIconSize(QSize(24, 24));
      button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
      button->setAutoRaise(true);
      button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      connect(button, &QToolButton::clicked, this, [this, item] {
        if (onItem) onItem(item);
      });
      layout->addWidget(button);
      items_[item] = button;
    }
    layout->addStretch();
    addItem(page, name);
  };
  addGroup("Main", {NavItem::Source, NavItem::Skip, NavItem::Diz, NavItem::Nfo, NavItem::Zip,
                    NavItem::Kelvo});
  addGroup("Help", {NavItem::Help, NavItem::About});
  connect(this, &QToolBox::currentChanged, this, [this](int index) {
    NavGroup opened = index == 1 ? NavGroup::Help : NavGroup::Main;
    NavGroup before = shown_;
    shown_ = opened;
    if (onGroup) onGroup(opened, before);
  });
}

void NavigationBar::Render(const ViewState& view) {
  setEnabled(view.NavigationBarEnabled);
  shown_ = view.OpenNavGroup;
  QSignalBlocker block(this);
  setCurrentIndex(view.OpenNavGroup == NavGroup::Help ? 1 : 0);
}

}  // namespace kelvo::ui
