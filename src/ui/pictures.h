// The program's own pictures, drawn at start-up: the splash picture with its
// outline, the logo of the panel header and its pointer, the navigation
// items' pictures and the application icon.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QRegion>

namespace kelvo::ui {

enum class NavPicture { Source, Skip, Diz, Nfo, Zip, Kelvo, Help, About };

QPixmap SplashPicture();
// The splash picture's outline: only the picture is to be seen.
QRegion SplashOutline();
QPixmap LogoPicture(int height);
QCursor LogoPointer();
QIcon NavigationIcon(NavPicture picture);
QIcon ApplicationIcon();
// A small picture the credits marquee scrolls with its text.
QPixmap MarqueePicture(int height);

}  // namespace kelvo::ui
