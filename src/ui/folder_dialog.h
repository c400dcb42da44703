// The folder chooser: a tree of the drive table's drives and their folders,
// a status line the logic may set, and a call each time the highlighted
// folder changes.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "core/ui.h"
#include "host/drive_table.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace kelvo::ui {

class FolderDialog : public QDialog, public FolderDialogStatus {
 public:
  FolderDialog(QWidget* parent, const host::DriveTable& drives, const FolderDialogRequest& request);

  // Host path of the folder chosen with OK.
  std::optional<std::string> ChosenPath() const;
  void SetStatusText(const std::string& text) override;

  QTreeWidget* Tree() const { return tree_; }
  QString StatusText() const;

 private:
  void Fill(QTreeWidgetItem* item);
  void Highlighted(QTreeWidgetItem* item);
  void Select(const std::string& dosPath);

  const host::DriveTable& drives_;
  const FolderDialogRequest& request_;
  QTreeWidget* tree_;
  QLabel* status_;
};

}  // namespace kelvo::ui
