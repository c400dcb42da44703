#include "ui/panel_header.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

#include "ui/pictures.h"

namespace kelvo::ui {

PanelHeader::PanelHeader(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Dark);
  logo = new QLabel(this);
  logo->setPixmap(LogoPicture(28));
  logo->setCursor(LogoPointer());
  logo->installEventFilter(this);
  text = new QLabel(this);
  QFont font = text->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.3);
  text->setFont(font);
  text->setForegroundRole(QPalette::BrightText);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 3, 6, 3);
  layout->addWidget(logo);
  layout->addWidget(text, 1);
}

void PanelHeader::SetText(const QString& shown) {
  text->setText(shown);
}

bool PanelHeader::eventFilter(QObject* watched, QEvent* event) {
  if (watched == logo && event->type() == QEvent::MouseButtonPress && onLogoPressed) {
    auto* press = static_cast<QMouseEvent*>(event);
    onLogoPressed(press->button(), press->globalPosition().toPoint());
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace kelvo::ui
