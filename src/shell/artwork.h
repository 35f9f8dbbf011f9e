// The program's own pictures, drawn in code: the icon, the splash and the About banner.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace sorbel::shell {

// A database drum under a magnifying glass; data/velmont-sorbel.svg is the
// same drawing for the desktop's menus.
QIcon applicationIcon();
QPixmap splashPicture();
QPixmap aboutBanner(int width);

}  // namespace sorbel::shell
