#include "viewer/help_window.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace kelvo::help {

namespace {
constexpr int kAnchorRole = Qt::UserRole;
}

HelpWindow::HelpWindow(const QString& html, const QString& helpFile, bool atIndex)
    : browser_(new QTextBrowser),
      indexPane_(new QWidget),
      search_(new QLineEdit),
      list_(new QListWidget) {
  setWindowTitle(QString("Kelvo32 Help (%1)").arg(helpFile));
  resize(900, 650);

  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({QFileInfo(helpFile).absolutePath()});
  browser_->setHtml(html);

  search_->setPlaceholderText("Type a word to find");
  search_->setClearButtonEnabled(true);
  for (const auto& entry : ParseIndex(html)) {
    auto* item = new QListWidgetItem(entry.text, list_);
    item->setData(kAnchorRole, entry.anchor);
  }
  auto* layout = new QVBoxLayout(indexPane_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel("&Index"));
  static_cast<QLabel*>(layout->itemAt(0)->widget())->setBuddy(search_);
  layout->addWidget(search_);
  layout->addWidget(list_);

  auto* splitter = new QSplitter;
  splitter->addWidget(indexPane_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({250, 650});
  setCentralWidget(splitter);

  auto* tools = addToolBar("Help");
  tools->setMovable(false);
  tools->addAction("&Contents", this, &HelpWindow::ShowContents);
  tools->addAction("In&dex", this, &HelpWindow::ShowIndex);

  connect(search_, &QLineEdit::textChanged, this, &HelpWindow::Filter);
  connect(search_, &QLineEdit::returnPressed, this, &HelpWindow::JumpToFirstShown);
  connect(list_, &QListWidget::itemClicked, this, &HelpWindow::Jump);
  connect(list_, &QListWidget::itemActivated, this, &HelpWindow::Jump);

  if (atIndex)
    ShowIndex();
  else
    ShowContents();
}

void HelpWindow::ShowContents() {
  indexPane_->hide();
  browser_->verticalScrollBar()->setValue(0);
  browser_->setFocus();
}

void HelpWindow::ShowIndex() {
  search_->clear();
  indexPane_->show();
  search_->setFocus();
}

void HelpWindow::Filter(const QString& text) {
  for (int row = 0; row < list_->count(); ++row) {
    auto* item = list_->item(row);
    item->setHidden(!MatchesFilter({item->text(), {}}, text));
  }
}

void HelpWindow::Jump(QListWidgetItem* item) {
  if (!item) return;
  list_->setCurrentItem(item);
  browser_->scrollToAnchor(item->data(kAnchorRole).toString());
}

// Return in the search box goes to the first entry still listed.
void HelpWindow::JumpToFirstShown() {
  for (int row = 0; row < list_->count(); ++row) {
    if (!list_->item(row)->isHidden()) return Jump(list_->item(row));
  }
}

}  // namespace kelvo::help
