// The program's own pictures, drawn at start-up: the splash picture with its
// outline, the logo of the panel header and its pointer, the navigation
// items' pictures and the application icon.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QRegion>

#include "core/panel_table.h"

namespace kelvo::ui {

QPixmap SplashPicture();
// The splash picture's outline: only the picture is to be seen.
QRegion SplashOutline();
QPixmap LogoPicture(int height);
QCursor LogoPointer();
// A navigation item's picture, as the panel table names it.
QIcon NavigationIcon(PanelPicture picture);
QIcon ApplicationIcon();
// A small picture the credits marquee scrolls with its text.
QPixmap MarqueePicture(int height);

}  // namespace kelvo::ui
