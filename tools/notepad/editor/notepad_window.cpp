#include "editor/notepad_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFontInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QTextBlock>

namespace kelvo::notepad {

namespace {
constexpr int kGuideColumn = 45;
}

QFont EditorFont() {
  QFont font("Px IBM VGA8");
  // The font's own cell height: block and shade glyphs then meet without
  // seams.
  font.setPixelSize(16);
  font.setStyleHint(QFont::Monospace);
  if (QFontInfo(font).family() != "Px IBM VGA8") {
    font.setFamily("DejaVu Sans Mono");
    font.setPixelSize(15);
  }
  font.setKerning(false);
  return font;
}

void TextArea::SetGuide(int column) {
  guide_ = column;
  viewport()->update();
}

void TextArea::paintEvent(QPaintEvent* event) {
  QPlainTextEdit::paintEvent(event);
  if (guide_ <= 0) return;
  QPainter painter(viewport());
  qreal x = contentOffset().x() + document()->documentMargin() +
            QFontMetricsF(font()).horizontalAdvance(QString(guide_, QChar('M')));
  painter.setPen(QColor(200, 60, 60, 160));
  painter.drawLine(QPointF(x, 0), QPointF(x, viewport()->height()));
}

NotepadWindow::NotepadWindow(std::string hostPath, QString shownName, std::string bytes)
    : hostPath_(std::move(hostPath)),
      shownName_(std::move(shownName)),
      lines_(SplitLines(bytes)),
      area_(new TextArea(this)),
      position_(new QLabel(this)),
      note_(new QLabel(this)) {
  area_->setFont(EditorFont());
  area_->setLineWrapMode(QPlainTextEdit::NoWrap);
  area_->setTabChangesFocus(false);
  setCentralWidget(area_);
  statusBar()->addWidget(note_, 1);
  statusBar()->addPermanentWidget(position_);
  BuildMenus();
  Show(bytes);
  connect(area_, &QPlainTextEdit::cursorPositionChanged, this, [this] { UpdateStatus(); });
  connect(area_->document(), &QTextDocument::modificationChanged, this, [this] { UpdateTitle(); });
  resize(760, 560);
}

void NotepadWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction("&Save", QKeySequence::Save, this, [this] { SaveWithMessage(); });
  file->addSeparator();
  file->addAction("E&xit", QKeySequence::Quit, this, [this] { close(); });

  QMenu* view = menuBar()->addMenu("&View");
  auto* group = new QActionGroup(this);
  auto addView = [&](const QString& text, View v) {
    QAction* action = view->addAction(text, this, [this, v] { SetView(v); });
    action->setCheckable(true);
    action->setChecked(v == view_);
    action->setData(int(v));
    group->addAction(action);
  };
  addView("&CP437 (DOS)", View::Cp437);
  addView("&Latin-1", View::Latin1);
  addView("&UTF-8", View::Utf8);
  view->addSeparator();
  QAction* guide = view->addAction("&Guide at column 45", this, [this](bool on) { SetGuide(on); });
  guide->setCheckable(true);
  guide->setObjectName("guide");
}

void NotepadWindow::Show(const std::string& bytes) {
  auto lines = SplitLines(bytes);
  QString text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += QChar('\n');
    text += DecodeLine(lines[i].text, view_);
  }
  bool modified = area_->document()->isModified();
  // No view yields a line-breaking character, so each line is one block.
  area_->setPlainText(text);
  area_->document()->setModified(modified);
  // A UTF-8 view of bytes that are not UTF-8 would lose them on save.
  bool locked = view_ == View::Utf8 && !Utf8Exact(bytes);
  area_->setReadOnly(locked);
  note_->setText(locked ? "Read only: not valid UTF-8" : QString());
  UpdateStatus();
  UpdateTitle();
}

std::string NotepadWindow::Bytes() const {
  // A locked view holds no edits of the user's; its text may have lost bytes.
  if (!Modified() || area_->isReadOnly()) return JoinLines(lines_);
  std::vector<std::string> edited;
  // Block texts, not toPlainText(): that turns U+00A0 (CP437 0xFF) into a
  // space.
  for (QTextBlock b = area_->document()->begin(); b.isValid(); b = b.next())
    edited.push_back(EncodeLine(b.text(), view_));
  return JoinLines(Relink(lines_, edited));
}

bool NotepadWindow::Modified() const {
  return area_->document()->isModified();
}

std::string NotepadWindow::Save() {
  std::string bytes = Bytes();
  std::string error = WriteFile(hostPath_, bytes);
  if (error.empty()) {
    lines_ = SplitLines(bytes);
    area_->document()->setModified(false);
  }
  return error;
}

bool NotepadWindow::SaveWithMessage() {
  std::string error = Save();
  if (error.empty()) return true;
  QMessageBox::critical(this, "Notepad",
                        QString("%1 could not be saved:\n%2\n\nThe text is kept in the editor.")
                            .arg(shownName_, QString::fromStdString(error)));
  return false;
}

void NotepadWindow::SetView(View view) {
  if (view == view_) return;
  std::string bytes = Bytes();
  bool modified = Modified();
  if (modified) lines_ = SplitLines(bytes);  // edits so far, in the old view's bytes
  view_ = view;
  Show(bytes);
  area_->document()->setModified(modified);
  for (QAction* a : findChildren<QAction*>())
    if (a->isCheckable() && a->data().isValid()) a->setChecked(a->data().toInt() == int(view));
}

void NotepadWindow::SetGuide(bool on) {
  area_->SetGuide(on ? kGuideColumn : 0);
  if (auto* a = findChild<QAction*>("guide")) a->setChecked(on);
}

QString NotepadWindow::Position() const {
  QTextCursor c = area_->textCursor();
  QString before = c.block().text().left(c.positionInBlock());
  return QString("Ln %1, Col %2").arg(c.blockNumber() + 1).arg(ColumnAfter(before, view_));
}

void NotepadWindow::UpdateStatus() {
  position_->setText(Position());
}

void NotepadWindow::UpdateTitle() {
  // The DOS path the job names, and where that is on this computer.
  QString where = hostPath_.empty() ? QString() : " (" + QString::fromStdString(hostPath_) + ")";
  setWindowTitle((Modified() ? "*" : "") + shownName_ + where + " - Notepad");
}

void NotepadWindow::closeEvent(QCloseEvent* event) {
  if (!Modified()) return event->accept();
  auto answer = QMessageBox::warning(
      this, "Notepad", QString("Save the changes to %1?").arg(shownName_),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && SaveWithMessage()))
    return event->accept();
  event->ignore();
}

}  // namespace kelvo::notepad
