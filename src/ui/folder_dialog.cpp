#include "ui/folder_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "host/dospath.h"
#include "ui/qt_ui.h"

namespace kelvo::ui {

namespace {
constexpr int kHostPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

QString HostPathOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, kHostPathRole).toString() : QString();
}

// A child that makes the item expandable until its folders are listed.
void MarkExpandable(QTreeWidgetItem* item) {
  new QTreeWidgetItem(item);
}
}  // namespace

FolderDialog::FolderDialog(QWidget* parent, const host::DriveTable& drives,
                           const FolderDialogRequest& request)
    : QDialog(parent), drives_(drives), request_(request) {
  setWindowTitle(QString::fromStdString(request.title));
  resize(DialogSize(*this, QSize(560, 520)));
  auto* layout = new QVBoxLayout(this);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  status_->setMinimumHeight(status_->fontMetrics().height() * 2);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(tree_);
  layout->addWidget(status_);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Fill(item); });
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this, buttons](QTreeWidgetItem* item) {
    buttons->button(QDialogButtonBox::Ok)->setEnabled(item != nullptr);
    Highlighted(item);
  });

  for (const auto& drive : drives_.Drives()) {
    QString label = QString::fromStdString(drive.label.empty() ? drive.root : drive.label);
    auto* item = new QTreeWidgetItem(tree_, {QString("%1:  %2").arg(drive.letter).arg(label)});
    item->setData(0, kHostPathRole, QString::fromStdString(drive.root));
    item->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    MarkExpandable(item);
  }
  buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
  if (!request.initialSelection.empty()) Select(request.initialSelection);
}

std::optional<std::string> FolderDialog::ChosenPath() const {
  if (!tree_->currentItem()) return std::nullopt;
  return HostPathOf(tree_->currentItem()).toStdString();
}

void FolderDialog::SetStatusText(const std::string& text) {
  status_->setText(MessageText(text));
}

QString FolderDialog::StatusText() const {
  return status_->text();
}

void FolderDialog::Fill(QTreeWidgetItem* item) {
  if (item->data(0, kFilledRole).toBool()) return;
  item->setData(0, kFilledRole, true);
  qDeleteAll(item->takeChildren());
  QDir dir(HostPathOf(item));
  const auto names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
  for (const QString& name : names) {
    auto* child = new QTreeWidgetItem(item, {name});
    child->setData(0, kHostPathRole, dir.filePath(name));
    child->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    QDir sub(dir.filePath(name));
    if (!sub.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
      MarkExpandable(child);
  }
}

void FolderDialog::Highlighted(QTreeWidgetItem* item) {
  if (!item || !request_.onHighlighted) return;
  if (auto dos = drives_.ToDos(HostPathOf(item).toStdString())) request_.onHighlighted(*dos, *this);
}

void FolderDialog::Select(const std::string& dosPath) {
  auto host = drives_.ToHost(dosPath);
  if (!host) return;
  // The drive whose root holds the path, then one folder level at a time.
  QTreeWidgetItem* best = nullptr;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    auto* top = tree_->topLevelItem(i);
    QString root = HostPathOf(top);
    QString path = QString::fromStdString(*host);
    bool holds = path == root || path.startsWith(root.endsWith('/') ? root : root + '/');
    if (holds && (!best || root.size() > HostPathOf(best).size())) best = top;
  }
  if (!best) return;
  QString rest = QString::fromStdString(*host).mid(HostPathOf(best).size());
  QTreeWidgetItem* item = best;
  for (const QString& part : rest.split('/', Qt::SkipEmptyParts)) {
    Fill(item);
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < item->childCount() && !next; ++i)
      if (item->child(i)->text(0) == part) next = item->child(i);
    if (!next) break;
    tree_->expandItem(item);
    item = next;
  }
  tree_->setCurrentItem(item);
  tree_->scrollToItem(item);
}

}  // namespace kelvo::ui
