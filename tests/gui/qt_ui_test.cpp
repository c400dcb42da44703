#include "ui/qt_ui.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

#include "support/temp_drives.h"
#include "ui/folder_dialog.h"
#include "ui/pictures.h"

namespace kelvo::ui {

using testing::TempDrives;

namespace {

// A PCM WAV of the given length: 8 kHz, 16-bit mono, with an extra chunk
// before the data, as editors write them.
std::string Wav(int milliseconds) {
  auto le = [](std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
  };
  std::uint32_t dataSize = 8000u * 2u * static_cast<std::uint32_t>(milliseconds) / 1000u;
  std::string fmt = le(1, 2) + le(1, 2) + le(8000, 4) + le(16000, 4) + le(2, 2) + le(16, 2);
  std::string list = "LIST" + le(4, 4) + "INFO";
  std::string body = "WAVE" + std::string("fmt ") + le(16, 4) + fmt + list + "data" +
                     le(dataSize, 4) + std::string(dataSize, '\0');
  return "RIFF" + le(static_cast<std::uint32_t>(body.size()), 4) + body;
}

// Answers each modal dialog once, as it opens, and keeps the texts of the
// message boxes, which it closes with OK.
class ModalAnswers {
 public:
  explicit ModalAnswers(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == last_) return;
      last_ = modal;
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        messages.push_back(box->text().toStdString());
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
          ok->click();
        } else {
          box->reject();
        }
      } else {
        answer_(modal);
      }
    });
    timer_.start(5);
  }
  std::vector<std::string> messages;

 private:
  std::function<void(QWidget*)> answer_;
  QPointer<QWidget> last_;
  QTimer timer_;
};

}  // namespace

TEST(QtUiTexts, LineBreaksAndFilters) {
  EXPECT_EQ(MessageText("Duplicate zip name in zip directory\rOverwrite?"),
            "Duplicate zip name in zip directory\nOverwrite?");
  EXPECT_EQ(MessageText("Kelvo32 can not be run from\r\na root directory"),
            "Kelvo32 can not be run from\na root directory");
  EXPECT_EQ(MessageText("a\r\rb"), "a\n\nb");
  EXPECT_EQ(MessageText("caf\xC3\xA9"), QString::fromUtf8("caf\xC3\xA9"));

  EXPECT_EQ(QtFilter("Script (*.kvo)|*.kvo|"), "Script (*.kvo)");
  EXPECT_EQ(QtFilter("Text|*.txt"), "Text (*.txt)");
  EXPECT_EQ(QtFilter("All files (*.*)|*.*|"), "All files (*)");
  EXPECT_EQ(QtFilter("Pictures|*.gif;*.png|"), "Pictures (*.gif *.png)");
}

// Enter on a box that asks before something is overwritten must not
// overwrite: Cancel is its default; a box with one answer keeps it.
TEST(QtUiMessageBox, OkCancelDefaultsToCancel) {
  QMessageBox box;
  PrepareMessageBox(box, "Duplicate zip name in zip directory\rOverwrite?", "Kelvo32",
                    MessageIcon::Exclamation, MessageButtons::OkCancel);
  EXPECT_EQ(box.text(), "Duplicate zip name in zip directory\nOverwrite?");
  EXPECT_EQ(box.icon(), QMessageBox::Warning);
  box.show();
  ASSERT_NE(box.button(QMessageBox::Cancel), nullptr);
  EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Cancel));
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_EQ(box.clickedButton(), box.button(QMessageBox::Cancel));

  QMessageBox single;
  PrepareMessageBox(single, "Done", "Kelvo32", MessageIcon::Information, MessageButtons::Ok);
  single.show();
  QTest::keyClick(&single, Qt::Key_Return);
  EXPECT_EQ(single.clickedButton(), single.button(QMessageBox::Ok));
}

// The offer to remove what earlier runs left: Enter keeps everything, and a
// host path is shown as it is, never read as markup.
TEST(QtUiMessageBox, RemovalQuestionDefaultsToNo) {
  QMessageBox box;
  PrepareRemovalQuestion(box,
                         {"Earlier runs left volumes in:\r\r/tmp/<b>x</b>/Kelvo004\r\rRemove them?",
                          {"an earlier run left volumes in c:\\Kelvo004"}});
  EXPECT_EQ(box.text(), "Earlier runs left volumes in:\n\n/tmp/<b>x</b>/Kelvo004\n\nRemove them?");
  EXPECT_EQ(box.textFormat(), Qt::PlainText);
  EXPECT_EQ(box.windowTitle(), "Kelvo32");
  box.show();
  ASSERT_NE(box.button(QMessageBox::Yes), nullptr);
  EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_EQ(box.clickedButton(), box.button(QMessageBox::No));
}

// A request may start at a file (the chosen DIZ or NFO): the dialog opens in
// its folder, offering the file only when the dialog looks for its kind.
TEST(QtUiFileDialog, StartsInTheFolderOfTheFileItIsHanded) {
  TempDrives drives;
  TempDrives::WriteFile(drives.Host('d', "rel/file_id.diz"), "diz");
  TempDrives::WriteFile(drives.Host('d', "rel/demo.nfo"), "nfo");
  const QString folder = QString::fromStdString(drives.Host('d', "rel"));
  struct Case {
    const char* filter;
    const char* initialDir;
    QStringList selected;
  };
  const Case cases[] = {
      {"File_id.diz (file_id.diz)|file_id.diz|", "D:\\Rel\\FILE_ID.DIZ", {folder + "/file_id.diz"}},
      {"A nfo (*.nfo)|*.nfo|", "d:\\rel\\file_id.diz", {}},
      {"Extra file (*.*)|*.*|", "d:\\rel\\demo.nfo", {}},  // the NFO is no extra
      {"A nfo (*.nfo)|*.nfo|", "d:\\rel", {}},
      {"A nfo (*.nfo)|*.nfo|", "d:\\rel\\", {}},
      {"File_id.diz (file_id.diz)|file_id.diz|", "d:\\rel\\gone.diz", {}},
      {"File_id.diz (file_id.diz)|file_id.diz|", "d:\\rel\\gone\\deeper\\file_id.diz", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.initialDir);
    FileDialogRequest request;
    request.title = "Add";
    request.filter = c.filter;
    request.initialName = "*.diz";
    request.initialDir = c.initialDir;
    QFileDialog dialog;
    PrepareFileDialog(dialog, drives.table, request, false);
    EXPECT_EQ(dialog.directory().absolutePath(), folder);
    EXPECT_EQ(dialog.selectedFiles(), c.selected);
  }
}

TEST(QtUiSound, WavLengthFromItsHeader) {
  TempDrives drives;
  std::string wav = drives.Host('c', "app/thunder.wav");
  TempDrives::WriteFile(wav, Wav(750));
  EXPECT_EQ(WavDurationMs(wav), 750);
  TempDrives::WriteFile(wav, "RIFF....WAVEjunk");
  EXPECT_EQ(WavDurationMs(wav), 0);
  EXPECT_EQ(WavDurationMs(drives.Host('c', "app/missing.wav")), 0);
}

TEST(FolderDialogTree, DrivesSelectionAndHighlightedFolders) {
  TempDrives drives;
  std::filesystem::create_directories(drives.Host('d', "rel/disk one"));
  std::filesystem::create_directories(drives.Host('d', "other"));
  std::string usb = drives.root() + "/usb";
  std::filesystem::create_directories(usb);
  drives.table.Map('f', usb, false, "USB STICK");

  std::vector<std::string> highlighted;
  FolderDialogRequest request;
  request.title = "Source";
  request.initialSelection = "d:\\rel\\disk one";
  request.onHighlighted = [&](const std::string& path, FolderDialogStatus& status) {
    highlighted.push_back(path);
    status.SetStatusText(path + "\rchecked");
  };
  FolderDialog dialog(nullptr, drives.table, request);

  QStringList tops;
  for (int i = 0; i < dialog.Tree()->topLevelItemCount(); ++i)
    tops << dialog.Tree()->topLevelItem(i)->text(0);
  ASSERT_EQ(tops.size(), 4);
  EXPECT_TRUE(tops[0].startsWith("c:  "));
  EXPECT_EQ(tops[3], "f:  USB STICK");

  // The initial folder is selected and reported as a DOS path.
  ASSERT_FALSE(highlighted.empty());
  EXPECT_EQ(highlighted.back(), "d:\\rel\\disk one");
  EXPECT_EQ(dialog.StatusText(), "d:\\rel\\disk one\nchecked");
  EXPECT_EQ(dialog.ChosenPath(), drives.Host('d', "rel/disk one"));

  // Moving to a drive's root reports the root with its backslash.
  dialog.Tree()->setCurrentItem(dialog.Tree()->topLevelItem(3));
  EXPECT_EQ(highlighted.back(), "f:\\");
  EXPECT_EQ(dialog.ChosenPath(), usb);
}

TEST(FolderDialogTree, AnInitialFolderThatIsGoneSelectsTheNearestParent) {
  TempDrives drives;
  std::filesystem::create_directories(drives.Host('d', "rel"));
  FolderDialogRequest request;
  request.initialSelection = "d:\\rel\\gone\\deeper";
  FolderDialog dialog(nullptr, drives.table, request);
  EXPECT_EQ(dialog.ChosenPath(), drives.Host('d', "rel"));
}

TEST(FolderDialogTree, ADriveInsideAnotherOpensUnderItsOwnLetter) {
  TempDrives drives;
  std::filesystem::create_directories(drives.Host('d', "sub/deeper"));
  drives.table.Map('g', drives.Host('d', "sub"));
  for (const char* initial : {"g:\\deeper", "g:\\"}) {
    FolderDialogRequest request;
    request.initialSelection = initial;
    FolderDialog dialog(nullptr, drives.table, request);
    QTreeWidgetItem* top = dialog.Tree()->currentItem();
    ASSERT_NE(top, nullptr) << initial;
    while (top->parent()) top = top->parent();
    EXPECT_TRUE(top->text(0).startsWith("g:  ")) << initial << " " << top->text(0).toStdString();
  }
}

// A host name holding '\\' would read as another path once it is a DOS
// path: whatever a dialog is answered with, such a name comes back refused.
TEST(QtUiDialogs, ABackslashInAChosenNameIsRefused) {
  TempDrives drives;
  const std::string file = drives.Host('d', "a\\b.txt");
  const std::string folder = drives.Host('d', "c\\d");
  TempDrives::WriteFile(file, "x");
  TempDrives::WriteFile(drives.Host('d', "a/b.txt"), "other");
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(drives.Host('d', "c/d"));
  QtUi ui(drives.table);
  const std::string refusal = "a DOS name can't hold '\\'";

  for (bool save : {false, true}) {
    // An existing file to open, a new one to save.
    const std::string name = save ? drives.Host('d', "new\\name.txt") : file;
    ModalAnswers answers([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      EXPECT_NE(dialog, nullptr);
      if (!dialog) {
        modal->close();
        return;
      }
      dialog->selectFile(QString::fromStdString(name));
      static_cast<QDialog*>(dialog)->accept();  // as its Open or Save button does
    });
    FileDialogRequest request;
    request.title = "DIZ";
    request.filter = "All files (*.*)|*.*|";
    request.initialDir = "d:\\";
    auto chosen = save ? ui.SaveFile(request) : ui.OpenFile(request);
    EXPECT_EQ(chosen, std::nullopt) << *chosen;
    EXPECT_EQ(answers.messages, std::vector<std::string>{"can't use '" + name + "': " + refusal})
        << save;
  }

  ModalAnswers answers([&](QWidget* modal) {
    auto* dialog = dynamic_cast<FolderDialog*>(modal);
    QTreeWidgetItem* drive = dialog ? dialog->Tree()->currentItem() : nullptr;
    EXPECT_NE(drive, nullptr);
    if (!drive) {
      modal->close();
      return;
    }
    dialog->Tree()->expandItem(drive);
    for (int i = 0; i < drive->childCount(); ++i)
      if (drive->child(i)->text(0) == "c\\d") dialog->Tree()->setCurrentItem(drive->child(i));
    EXPECT_EQ(dialog->ChosenPath(), folder);
    dialog->accept();
  });
  FolderDialogRequest request;
  request.title = "Source";
  request.initialSelection = "d:\\";
  auto chosen = ui.BrowseFolder(request);
  EXPECT_EQ(chosen, std::nullopt) << *chosen;
  EXPECT_EQ(answers.messages, std::vector<std::string>{"can't use '" + folder + "': " + refusal});
}

TEST(SplashPicture, ItsOutlineHoldsTheDiscThePlateAndNothingElse) {
  const QRegion outline = SplashOutline();
  EXPECT_TRUE(outline.contains(QPoint(84, 66)));    // where disc and plate overlap
  EXPECT_TRUE(outline.contains(QPoint(84, 4)));     // the disc above the plate
  EXPECT_TRUE(outline.contains(QPoint(300, 150)));  // the plate
  EXPECT_FALSE(outline.contains(QPoint(300, 5)));   // beside the disc, above the plate
  EXPECT_FALSE(outline.contains(QPoint(1, 238)));   // a rounded corner
  EXPECT_EQ(SplashPicture().size(), outline.boundingRect().size());
}

}  // namespace kelvo::ui
