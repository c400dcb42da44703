#include "ui/panels.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "core/skip_list.h"
#include "run/nfo_picture.h"
#include "run/recovery.h"
#include "run/sfv.h"
#include "run/zip_volumes.h"
#include "shell/help.h"
#include "shell/links.h"
#include "source/archive_size.h"
#include "source/drives.h"
#include "source/source_select.h"
#include "texts/diz_nfo.h"
#include "texts/diz_numbering.h"
#include "texts/extras.h"
#include "texts/text_pictures.h"
#include "texts/text_preview.h"
#include "ui/marquee.h"
#include "ui/pictures.h"
#include "ui/qt_ui.h"
#include "ui/text_preview.h"

namespace kelvo::ui {

namespace {

// A scroll bar that is a setting: it takes Tab and shows when it has the
// keyboard, which a style draws for buttons and boxes but not for it.
class SettingScrollBar : public QScrollBar {
 public:
  SettingScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QScrollBar::paintEvent(event);
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
  }
};

QString Text(const std::string& text) {
  return MessageText(text);
}

// A path display's tooltip: the whole DOS path, and under it where that
// is on this computer.
QString PathTip(const std::string& dosPath, const std::string& hostPath) {
  if (hostPath.empty()) return Text(dosPath);
  return Text(dosPath) + "\n" + QString::fromUtf8(hostPath);
}

std::string Bytes(const QString& text) {
  return text.toUtf8().toStdString();
}

void SetText(QLineEdit* box, const std::string& text) {
  QString shown = Text(text);
  if (box->text() != shown) {
    QSignalBlocker block(box);
    box->setText(shown);
  }
}

void SetChecked(QAbstractButton* button, bool checked) {
  QSignalBlocker block(button);
  button->setChecked(checked);
}

// Two options of which neither may be chosen yet: exclusive only while one is.
void SetOptions(QRadioButton* first, QRadioButton* second, int chosen) {
  for (auto* option : {first, second}) option->setAutoExclusive(false);
  SetChecked(first, chosen == 1);
  SetChecked(second, chosen == 2);
  for (auto* option : {first, second}) option->setAutoExclusive(true);
}

QLabel* Label(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  return label;
}

QLineEdit* DigitBox(QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), box));
  box->setMaximumWidth(box->fontMetrics().horizontalAdvance("00000") + 16);
  return box;
}

}  // namespace

PanelBase::PanelBase(Context& ctx, ActFn act, QWidget* parent)
    : QFrame(parent), ctx_(ctx), act_(std::move(act)) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Raised);
}

QLineEdit* PanelBase::PathDisplay() {
  auto* display = new QLineEdit(this);
  display->setReadOnly(true);
  display->setFocusPolicy(Qt::NoFocus);
  // Not the edit menu of a box: a right click here offers the window's "menu".
  display->setContextMenuPolicy(Qt::NoContextMenu);
  return display;
}

QPushButton* PanelBase::Button(const QString& caption, std::function<void()> operation) {
  auto* button = new QPushButton(caption, this);
  connect(button, &QPushButton::clicked, this, [this, operation] { act_(operation); });
  return button;
}

SourcePanel::SourcePanel(Context& ctx, ActFn act, QWidget* parent)
    : PanelBase(ctx, std::move(act), parent) {
  driveGroup = new QGroupBox("Drive for Rar's", this);
  driveList = new QComboBox(driveGroup);
  freeSpace = Label("Free space on -", driveGroup);
  freeSpace->setToolTip("Drive free space");
  auto* driveLayout = new QVBoxLayout(driveGroup);
  driveLayout->addWidget(driveList);
  driveLayout->addWidget(freeSpace);
  iso = new QCheckBox("&ISO", this);
  iso->setToolTip("To choose a .iso file");
  sourcePath = PathDisplay();
  browse = Button("&Browse", [this] { BrowseSource(ctx_); });
  sourceSize = Label("- Source size -", this);
  sourceSize->setToolTip("Total source size");
  caption = Label("Source drive or directory", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(driveGroup, 0, 0, 1, 3);
  grid->addWidget(caption, 1, 0, 1, 2);
  grid->addWidget(iso, 1, 2, Qt::AlignRight);
  grid->addWidget(sourcePath, 2, 0, 1, 2);
  grid->addWidget(browse, 2, 2);
  grid->addWidget(sourceSize, 3, 0, 1, 3);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(0, 1);

  connect(driveList, &QComboBox::activated, this, [this](int index) {
    std::string entry = Bytes(driveList->itemText(index));
    act_([this, entry] { ShowWorkDrive(ctx_, entry); });
  });
  connect(iso, &QCheckBox::toggled, this,
          [this](bool checked) { act_([this, checked] { ToggleImageSource(ctx_, checked); }); });
}

void SourcePanel::Render(const Context& model) {
  const auto entries = DriveListEntries(model);
  {
    QSignalBlocker block(driveList);
    QStringList items;
    for (const auto& entry : entries) items << Text(entry);
    QStringList current;
    for (int i = 0; i < driveList->count(); ++i) current << driveList->itemText(i);
    if (current != items) {
      driveList->clear();
      driveList->addItems(items);
      // Where each letter lies on this computer.
      const auto roots = DriveListHostRoots(model);
      for (int i = 0; i < driveList->count() && i < static_cast<int>(roots.size()); ++i)
        driveList->setItemData(i, QString::fromUtf8(roots[static_cast<size_t>(i)]),
                               Qt::ToolTipRole);
    }
    driveList->setCurrentText(Text(model.view.WorkDriveShown));
  }
  freeSpace->setText(Text(model.view.WorkDriveFreeText));
  SetChecked(iso, model.job.SourceIsImage);
  SetText(sourcePath, model.job.SourcePath);
  sourcePath->setToolTip(PathTip(model.job.SourcePath, model.view.HostPathsShown.source));
  browse->setEnabled(model.view.SourceBrowseEnabled);
  sourceSize->setText(Text(model.view.SourceSizeText));
}

SkipPanel::SkipPanel(Context& ctx, ActFn act, QWidget* parent)
    : PanelBase(ctx, std::move(act), parent) {
  subDir = new QRadioButton("&Sub-dir", this);
  file = new QRadioButton("&File", this);
  browse = Button("&Browse", [this] { AddSkipEntry(ctx_, FolderHighlightWatcher(ctx_)); });
  clear = Button("&Clear", [this] { ClearSkipList(ctx_); });
  entries = new QPlainTextEdit(this);
  entries->setReadOnly(true);
  entries->setLineWrapMode(QPlainTextEdit::NoWrap);
  caption = Label("Sub-directories or files to skip   (optional)", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(caption, 0, 0, 1, 4);
  grid->addWidget(subDir, 1, 0);
  grid->addWidget(file, 1, 1);
  grid->addWidget(browse, 1, 2);
  grid->addWidget(clear, 1, 3);
  grid->addWidget(entries, 2, 0, 1, 4);
  grid->setColumnStretch(1, 1);

  connect(subDir, &QRadioButton::clicked, this,
          [this] { act_([this] { SetSkipKind(ctx_, SkipBrowseKind::SubDir); }); });
  connect(file, &QRadioButton::clicked, this,
          [this] { act_([this] { SetSkipKind(ctx_, SkipBrowseKind::File); }); });
}

void SkipPanel::Render(const Context& model) {
  SetOptions(subDir, file, model.view.SkipKind == SkipBrowseKind::SubDir ? 1 : 2);
  QString shown = Text(model.job.SkipEntries);
  if (entries->toPlainText() != shown) entries->setPlainText(shown);
  setEnabled(model.view.ZipControlsEnabled);
}

DizPanel::DizPanel(Context& ctx, ActFn act, QWidget* parent)
    : PanelBase(ctx, std::move(act), parent) {
  caption = Label("File_id.diz", this);
  dizPath = PathDisplay();
  browse = Button("&Browse", [this] { texts::BrowseDiz(ctx_); });
  create = Button("&Create", [this] { texts::CreateDiz(ctx_); });
  edit = Button("&Edit", [this] { texts::EditDiz(ctx_); });
  // Alt+P is "Preview zi&p"'s.
  picture = Button("Save as p&icture...", [this] { texts::SaveDizPicture(ctx_); });
  numberingCaption = Label("Auto numbering", this);
  none = new QRadioButton("&None", this);
  substitute = new QRadioButton("S&ubsitute at column", this);
  column = DigitBox(this);
  lineCaption = Label("Line -", this);
  line = DigitBox(this);
  test = Button("&Test", [this] { texts::TestDizNumbering(ctx_); });
  previewZipCaption = Label("Preview zi&p", this);
  previewZip = new QSpinBox(this);
  previewZip->setRange(0, 999);
  previewZip->setSpecialValueText("sample");
  previewZip->setToolTip("The zip whose number the preview shows; \"sample\" is the test's");
  previewZipCaption->setBuddy(previewZip);
  preview = new TextPreviewPane(this);
  preview->setToolTip("Click a character to stamp the number there");
  preview->onCellClicked = [this](std::size_t row, std::size_t cell) {
    act_([this, row, cell] { texts::PickDizPosition(ctx_, row + 1, cell + 1); });
  };
  previewNote = Label("", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(caption, 0, 0, 1, 5);
  grid->addWidget(dizPath, 1, 0, 1, 5);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(browse);
  buttons->addWidget(create);
  buttons->addWidget(edit);
  buttons->addWidget(picture);
  buttons->addStretch();
  grid->addLayout(buttons, 2, 0, 1, 5);
  auto* numbering = new QGroupBox(this);
  auto* numberingGrid = new QGridLayout(numbering);
  numberingGrid->addWidget(numberingCaption, 0, 0, 1, 4);
  numberingGrid->addWidget(none, 1, 0);
  numberingGrid->addWidget(substitute, 2, 0);
  numberingGrid->addWidget(column, 2, 1);
  numberingGrid->addWidget(lineCaption, 2, 2, Qt::AlignRight);
  numberingGrid->addWidget(line, 2, 3);
  numberingGrid->addWidget(test, 2, 4);
  numberingGrid->setColumnStretch(5, 1);
  grid->addWidget(numbering, 3, 0, 1, 5);
  grid->addWidget(preview, 4, 0, 1, 5);
  grid->addWidget(previewNote, 5, 0, 1, 3);
  grid->addWidget(previewZipCaption, 5, 3, Qt::AlignRight);
  grid->addWidget(previewZip, 5, 4);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(0, 1);
  lineCaption->setBuddy(line);

  connect(none, &QRadioButton::clicked, this,
          [this] { act_([this] { texts::SetDizNumberingMode(ctx_, false); }); });
  connect(substitute, &QRadioButton::clicked, this,
          [this] { act_([this] { texts::SetDizNumberingMode(ctx_, true); }); });
  connect(column, &QLineEdit::textEdited, this, [this](const QString& text) {
    act_([this, value = Bytes(text)] { texts::SetDizColumn(ctx_, value); });
  });
  connect(line, &QLineEdit::textEdited, this, [this](const QString& text) {
    act_([this, value = Bytes(text)] { texts::SetDizLine(ctx_, value); });
  });
  connect(previewZip, &QSpinBox::valueChanged, this,
          [this](int zip) { act_([this, zip] { texts::SetDizPreviewZip(ctx_, zip); }); });
}

void DizPanel::Render(const Context& model) {
  SetText(dizPath, model.job.DizPath);
  dizPath->setToolTip(PathTip(model.job.DizPath, model.view.HostPathsShown.diz));
  SetOptions(none, substitute, model.job.DizNumbering ? 2 : 1);
  bool boxesOpen = model.view.DizBoxColour == BoxColour::Window;
  for (QLineEdit* box : {column, line}) {
    box->setReadOnly(!boxesOpen);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, boxesOpen ? QPalette().color(QPalette::Base)
                                               : QPalette().color(QPalette::Button));
    box->setPalette(palette);
  }
  SetText(column, model.job.DizColumn);
  SetText(line, model.job.DizLine);
  test->setEnabled(model.view.DizTestEnabled);
  picture->setEnabled(!model.job.DizPath.empty());
  {
    QSignalBlocker block(previewZip);
    previewZip->setValue(model.view.DizPreviewZip);
  }
  previewZip->setEnabled(model.job.DizNumbering);
  texts::TextPreview shown = texts::DizPreview(model.view);
  previewNote->setText(Text(shown.note));
  preview->Show(std::move(shown));
  setEnabled(model.view.ZipControlsEnabled);
}

NfoPanel::NfoPanel(Context& ctx, ActFn act, QWidget* parent)
    : PanelBase(ctx, std::move(act), parent) {
  nfoPath = PathDisplay();
  browse = Button("&Browse", [this] { texts::BrowseNfo(ctx_); });
  create = Button("&Create", [this] { texts::CreateNfo(ctx_); });
  edit = Button("&Edit", [this] { texts::EditNfo(ctx_); });
  picture = Button("Save as &picture...", [this] { texts::SaveNfoPicture(ctx_); });
  firstZipOnly = new QCheckBox("&In 1st zip only", this);
  extraCaption = Label("Extra to add  (optional)", this);
  extraFile = new QRadioButton("&File", this);
  extraDirectory = new QRadioButton("&Directory", this);
  extraPath = PathDisplay();
  extraBrowse = Button("B&rowse", [this] { texts::BrowseExtra(ctx_); });
  preview = new TextPreviewPane(this);
  previewNote = Label("", this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(nfoPath, 0, 0, 1, 4);
  grid->addWidget(browse, 1, 0);
  grid->addWidget(create, 1, 1);
  grid->addWidget(edit, 1, 2);
  grid->addWidget(picture, 1, 3, Qt::AlignLeft);
  grid->addWidget(firstZipOnly, 2, 0, 1, 3);
  auto* extra = new QGroupBox(this);
  auto* extraGrid = new QGridLayout(extra);
  extraGrid->addWidget(extraCaption, 0, 0, 1, 3);
  extraGrid->addWidget(extraFile, 1, 0);
  extraGrid->addWidget(extraDirectory, 1, 1);
  extraGrid->addWidget(extraPath, 2, 0, 1, 2);
  extraGrid->addWidget(extraBrowse, 2, 2);
  extraGrid->setColumnStretch(1, 1);
  grid->addWidget(extra, 3, 0, 1, 4);
  grid->addWidget(preview, 4, 0, 1, 4);
  grid->addWidget(previewNote, 5, 0, 1, 4);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(4, 1);

  connect(firstZipOnly, &QCheckBox::toggled, this, [this](bool checked) {
    act_([this, checked] { texts::SetNfoFirstZipOnly(ctx_, checked); });
  });
  connect(extraFile, &QRadioButton::clicked, this,
          [this] { act_([this] { texts::SelectExtraKind(ctx_, ExtraKindChoice::File); }); });
  connect(extraDirectory, &QRadioButton::clicked, this,
          [this] { act_([this] { texts::SelectExtraKind(ctx_, ExtraKindChoice::Directory); }); });
}

void NfoPanel::Render(const Context& model) {
  SetText(nfoPath, model.job.NfoPath);
  nfoPath->setToolTip(PathTip(model.job.NfoPath, model.view.HostPathsShown.nfo));
  SetChecked(firstZipOnly, model.job.NfoFirstZipOnly);
  picture->setEnabled(!model.job.NfoPath.empty());
  int kind = model.job.ExtraKind == ExtraKindChoice::File        ? 1
             : model.job.ExtraKind == ExtraKindChoice::Directory ? 2
                                                                 : 0;
  SetOptions(extraFile, extraDirectory, kind);
  SetText(extraPath, model.job.ExtraPath);
  extraPath->setToolTip(PathTip(model.job.ExtraPath, model.view.HostPathsShown.extra));
  extraBrowse->setEnabled(model.view.ExtraBrowseEnabled);
  texts::TextPreview shown = texts::NfoPreview(model.view);
  previewNote->setText(Text(shown.note));
  preview->Show(std::move(shown));
  setEnabled(model.view.ZipControlsEnabled);
}

ZipPanel::ZipPanel(Context& ctx, ActFn act, QWidget* parent)
    : PanelBase(ctx, std::move(act), parent) {
  storageCaption = Label("Zip storage", this);
  storageDir = PathDisplay();
  browse = Button("&Browse", [this] { ChooseZipStorage(ctx_); });
  freeSpace = Label("Free space: ", this);
  baseNameCaption = Label("Filename", this);
  baseName = new QLineEdit(this);
  sizeCaption = Label("Archive size", this);
  archiveSize = new SettingScrollBar(Qt::Horizontal, this);
  archiveSize->setRange(0, kMaxArchiveSize);
  archiveSize->setPageStep(10);
  sizeText = Label("1.44 M", this);
  sizeText->setFrameShape(QFrame::Panel);
  sizeText->setFrameShadow(QFrame::Sunken);
  sizeText->setMinimumWidth(sizeText->fontMetrics().horizontalAdvance("1 Max file") + 12);
  estimate = Label("Calculated Rar's if no compression", this);
  // The figure alone ("2.97 files") does not say what it counts.
  estimate->setToolTip("Calculated Rar's if no compression");
  rar = new QRadioButton("&Rar", this);
  ace = new QRadioButton("&Ace", this);
  compressionCaption = Label("Compression", this);
  compression = new QListWidget(this);
  compression->addItems({"Store", "Fastest", "Fast", "Normal", "Good", "Maximum!"});
  compression->setFixedHeight(compression->sizeHintForRow(0) * 6 + 2 * compression->frameWidth());
  compression->setFixedWidth(compression->fontMetrics().horizontalAdvance("Maximum!") + 48);
  zipExtra = new QCheckBox("Zip E&xtra", this);
  sfv = new QCheckBox("&SFV", this);  // Alt+F stays the "&File" menu's
  nfoPicture = new QCheckBox("NFO p&icture", this);
  nfoPicture->setToolTip("The nfo drawn as a picture beside the zips");
  recovery = new QCheckBox("PAR&2 recovery files", this);
  recoveryPercent = new QSpinBox(this);
  recoveryPercent->setRange(kMinRecoveryPercent, kMaxRecoveryPercent);
  recoveryPercent->setSuffix(" %");
  recoveryPercent->setAccessibleName("Redundancy");
  recoveryPercent->setToolTip("Redundancy: how much of the set the recovery files can rebuild");
  fit = Label({}, this);
  fitWarning = Label({}, this);
  // Stands out by weight, not by a colour that a dark palette would lose.
  QFont bold = fitWarning->font();
  bold.setBold(true);
  fitWarning->setFont(bold);

  // Maximised, the controls keep together at the left instead of spreading
  // a six-letter box and the level list across the screen.
  auto* content = new QWidget(this);
  content->setMaximumWidth(content->fontMetrics().averageCharWidth() * 90);
  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(content, 1);
  outer->addStretch(0);
  auto* grid = new QGridLayout(content);
  grid->addWidget(storageCaption, 0, 0);
  grid->addWidget(storageDir, 0, 1, 1, 2);
  grid->addWidget(browse, 0, 3, Qt::AlignLeft);
  grid->addWidget(freeSpace, 1, 1, 1, 3);
  grid->addWidget(baseNameCaption, 2, 0);
  grid->addWidget(baseName, 2, 1);
  grid->addWidget(sizeCaption, 3, 0);
  grid->addWidget(archiveSize, 3, 1, 1, 2);
  grid->addWidget(sizeText, 3, 3, Qt::AlignLeft);
  grid->addWidget(estimate, 4, 1, 1, 3);
  auto* archiver = new QHBoxLayout;
  archiver->addWidget(rar);
  archiver->addWidget(ace);
  archiver->addStretch();
  grid->addLayout(archiver, 5, 1);
  grid->addWidget(compressionCaption, 5, 2, Qt::AlignRight | Qt::AlignTop);
  grid->addWidget(compression, 5, 3, 2, 1);
  auto* options = new QHBoxLayout;
  options->addWidget(zipExtra);
  options->addWidget(sfv);
  options->addWidget(nfoPicture);
  options->addStretch();
  grid->addLayout(options, 6, 1, 1, 2);
  auto* recoveryRow = new QHBoxLayout;
  recoveryRow->addWidget(recovery);
  recoveryRow->addWidget(recoveryPercent);
  recoveryRow->addStretch();
  grid->addLayout(recoveryRow, 7, 1, 1, 2);
  grid->addWidget(fit, 8, 1, 1, 3);
  grid->addWidget(fitWarning, 9, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(10, 1);
  baseNameCaption->setBuddy(baseName);

  connect(baseName, &QLineEdit::textEdited, this, [this](const QString& text) {
    act_([this, value = Bytes(text)] { SetZipBaseName(ctx_, value); });
  });
  connect(baseName, &QLineEdit::textChanged, this,
          [this](const QString& text) { baseName->setToolTip(text); });
  connect(archiveSize, &QScrollBar::valueChanged, this, [this](int value) {
    act_([this, value] { SetArchiveSize(ctx_, static_cast<std::int16_t>(value)); });
  });
  connect(rar, &QRadioButton::clicked, this,
          [this] { act_([this] { SetArchiver(ctx_, ArchiverKind::Rar); }); });
  connect(ace, &QRadioButton::clicked, this,
          [this] { act_([this] { SetArchiver(ctx_, ArchiverKind::Ace); }); });
  connect(compression, &QListWidget::currentRowChanged, this,
          [this](int row) { act_([this, row] { SetCompression(ctx_, row); }); });
  connect(zipExtra, &QCheckBox::toggled, this,
          [this](bool checked) { act_([this, checked] { SetZipExtra(ctx_, checked); }); });
  connect(sfv, &QCheckBox::toggled, this,
          [this](bool checked) { act_([this, checked] { SetWriteSfv(ctx_, checked); }); });
  connect(recovery, &QCheckBox::toggled, this,
          [this](bool checked) { act_([this, checked] { SetWriteRecovery(ctx_, checked); }); });
  connect(recoveryPercent, &QSpinBox::valueChanged, this,
          [this](int value) { act_([this, value] { SetRecoveryPercent(ctx_, value); }); });
  connect(nfoPicture, &QCheckBox::toggled, this,
          [this](bool checked) { act_([this, checked] { SetWriteNfoPicture(ctx_, checked); }); });
}

void ZipPanel::Render(const Context& model) {
  SetText(storageDir, model.job.ZipStorageDir);
  storageDir->setToolTip(PathTip(model.job.ZipStorageDir, model.view.HostPathsShown.zipStorage));
  browse->setEnabled(model.view.ZipControlsEnabled);
  freeSpace->setText(Text(model.view.ZipDriveFreeText));
  baseName->setMaxLength(model.view.BaseNameLimit);
  SetText(baseName, model.job.ZipBaseName);
  baseName->setToolTip(baseName->text());
  {
    QSignalBlocker block(archiveSize);
    archiveSize->setValue(model.job.ArchiveSize);
  }
  sizeText->setText(Text(model.view.ArchiveSizeText));
  estimate->setText(model.view.EstimateText.empty() ? "Calculated Rar's if no compression"
                                                    : Text(model.view.EstimateText));
  SetOptions(rar, ace, model.job.Archiver == ArchiverKind::Rar ? 1 : 2);
  {
    QSignalBlocker block(compression);
    compression->setCurrentRow(model.job.Compression);
  }
  SetChecked(zipExtra, model.job.ZipExtra);
  zipExtra->setEnabled(model.view.ZipControlsEnabled);
  SetChecked(sfv, model.prefs.WriteSfv);
  const std::string& unavailable = model.view.RecoveryUnavailable;
  SetChecked(recovery, RecoveryChosen(model));
  recovery->setEnabled(unavailable.empty());
  recovery->setToolTip(unavailable.empty() ? "Recovery files (par2) beside the zips"
                                           : Text(unavailable));
  {
    QSignalBlocker block(recoveryPercent);
    recoveryPercent->setValue(model.prefs.RecoveryPercent);
  }
  recoveryPercent->setEnabled(RecoveryChosen(model));
  SetChecked(nfoPicture, model.prefs.WriteNfoPicture);
  fit->setText(Text(model.view.ZipFitText));
  fitWarning->setText(Text(model.view.ZipFitWarning));
}

RunPanel::RunPanel(Context& ctx, ActFn act, std::function<void()> abortRun,
                   std::function<void()> exitProgram, std::function<void()> resumeRun,
                   QWidget* parent)
    : PanelBase(ctx, std::move(act), parent) {
  endingIcon = new QLabel(this);
  endingIcon->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  endingIcon->hide();
  status = Label({}, this);
  status->setWordWrap(true);
  currentZip = Label({}, this);
  counter = Label({}, this);
  progress = new QProgressBar(this);
  progress->setRange(0, 100);
  leftVolumes = Label({}, this);
  leftVolumes->setWordWrap(true);
  leftVolumes->setTextFormat(Qt::PlainText);  // a host path is data
  leftVolumes->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Alt+F opens the "&File" menu.
  openFolder = new QPushButton("&Open folder", this);
  resume = new QPushButton("&Resume", this);
  abort = new QPushButton("&Abort", this);
  exit = new QPushButton("E&xit", this);

  // The line keeps its height with or without the picture: nothing under
  // it moves when a run ends.
  const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
  endingIcon->setFixedSize(iconSize, iconSize);
  status->setMinimumHeight(std::max(iconSize, status->fontMetrics().height()));
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(endingIcon, 0, Qt::AlignTop);
  statusRow->addWidget(status, 1);
  auto* grid = new QGridLayout(this);
  grid->addLayout(statusRow, 0, 0, 1, 3);
  grid->addWidget(currentZip, 1, 0, 1, 3);
  grid->addWidget(counter, 2, 0, 1, 3);
  grid->addWidget(progress, 3, 0, 1, 3);
  grid->addWidget(leftVolumes, 4, 0, 1, 3);
  auto* leftButtons = new QHBoxLayout;
  leftButtons->addWidget(openFolder);
  leftButtons->addWidget(resume);
  leftButtons->addStretch(1);
  grid->addLayout(leftButtons, 5, 0);
  grid->addWidget(abort, 5, 1);
  grid->addWidget(exit, 5, 2);
  grid->setColumnStretch(0, 1);
  grid->setRowStretch(6, 1);

  connect(openFolder, &QPushButton::clicked, this, [this] {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(ctx_.view.LeftVolumes.hostFolder)));
  });

  // These two act while a run is in progress, from inside its event
  // processing: they only raise the request the run looks at.
  connect(abort, &QPushButton::clicked, this, [abortRun] { abortRun(); });
  connect(exit, &QPushButton::clicked, this, [exitProgram] { exitProgram(); });
  connect(resume, &QPushButton::clicked, this, [resumeRun] { resumeRun(); });
}

void RunPanel::Render(const Context& model) {
  const ViewState& view = model.view;
  status->setText(Text(view.StatusLine));
  currentZip->setText(Text(view.CurrentZipLine));
  counter->setText(Text(view.CounterLine));
  progress->setValue(view.Progress);
  const std::string& left = view.LeftVolumes.hostFolder;
  leftVolumes->setText(left.empty() ? QString() : "The volumes stay in " + Text(left));
  leftVolumes->setVisible(!left.empty());
  openFolder->setVisible(!left.empty());
  resume->setVisible(view.Resumable && !view.RunInProgress);
  abort->setEnabled(view.RunInProgress);
  ShowEnding(view.RunEnding);
}

void RunPanel::ShowEnding(RunEnd ending) {
  // The style's own pictures, so that they keep to the desktop's look: a
  // failure as an error, an abort as a warning, a complete run as done.
  std::optional<QStyle::StandardPixmap> picture;
  const char* name = "";
  switch (ending) {
    case RunEnd::Failed:
      picture = QStyle::SP_MessageBoxCritical;
      name = "Failed";
      break;
    case RunEnd::Aborted:
      picture = QStyle::SP_MessageBoxWarning;
      name = "Aborted";
      break;
    case RunEnd::Complete:
      picture = QStyle::SP_DialogApplyButton;
      name = "Complete";
      break;
    case RunEnd::None:
      break;
  }
  QPixmap pixmap;
  if (picture) pixmap = style()->standardIcon(*picture, nullptr, this).pixmap(endingIcon->size());
  endingIcon->setPixmap(pixmap);
  endingIcon->setAccessibleName(name);
  endingIcon->setVisible(!pixmap.isNull());
}

AboutPanel::AboutPanel(Context& ctx, ActFn act, QWidget* parent)
    : PanelBase(ctx, std::move(act), parent) {
  webPage = Label(shell::kWebPage, this);
  email = Label(shell::kEmailAddress, this);
  for (QLabel* link : {webPage, email}) {
    link->setFrameShape(QFrame::Panel);
    link->setFrameShadow(QFrame::Sunken);
    link->setAlignment(Qt::AlignCenter);
    link->setMargin(4);
    link->setMinimumWidth(link->fontMetrics().horizontalAdvance(link->text()) + 40);
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
  }
  marquee = new Marquee(this);
  text = Label(
      "Visit my web page for other programs I've written and updates.  Please send me your "
      "comments or suggestions.",
      this);
  text->setWordWrap(true);
  auto* grid = new QGridLayout(this);
  grid->addWidget(webPage, 0, 0);
  grid->addWidget(email, 1, 0);
  grid->addWidget(text, 2, 0, 1, 2);
  grid->addWidget(marquee, 4, 0, 1, 2);
  auto* picture = new QLabel(this);
  picture->setPixmap(LogoPicture(96));
  picture->setAlignment(Qt::AlignCenter);
  grid->addWidget(picture, 3, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);
}

const QColor AboutPanel::kLinkHighlight(0, 0, 192);

bool AboutPanel::eventFilter(QObject* watched, QEvent* event) {
  auto* link = qobject_cast<QLabel*>(watched);
  if (!link || (link != webPage && link != email)) return PanelBase::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Enter: {
      QPalette palette = link->palette();
      palette.setColor(QPalette::WindowText, kLinkHighlight);
      link->setPalette(palette);
      break;
    }
    case QEvent::Leave:
      link->setPalette(QPalette());
      break;
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        act_([this, link] {
          if (link == webPage) {
            shell::OpenWebPage(ctx_);
          } else {
            shell::SendEmail(ctx_);
          }
        });
        return true;
      }
      break;
    default:
      break;
  }
  return PanelBase::eventFilter(watched, event);
}

void AboutPanel::Render(const Context& model) {
  marquee->SetText(Text(model.view.MarqueeText));
  marquee->setVisible(model.view.MarqueeVisible);
}

}  // namespace kelvo::ui
