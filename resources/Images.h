#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's own pictures, compiled in from postwatch.qrc.
namespace Images {

// The toolbar image list (TBImgs): images 0 to 11, in the order the main
// window's actions use them: check mail, cancel, delete, minimise to tray,
// configuration, web site, launch client, help, exit, quick view, block
// sender, mark read.
constexpr int TBImgsCount = 12;
QIcon TBImgs(int ImageIndex); // a null icon outside 0..11
QString TBImgsPath(int ImageIndex);

QIcon ReplyIcon(); // the quick view's Reply: an envelope with a curved arrow

QIcon AppIcon();
QString AppIconPath();
QString LogoPath(); // the logo window's picture, drawn for 188 x 104
// The logo as large as fits in box at its own proportions, centred, on a
// transparent ground, for a screen of that pixel ratio.
QPixmap Logo(QSize box, qreal devicePixelRatio);

// The tray icon's two frames (TrayImgs), drawn for 16 x 16: the normal icon,
// and the same picture on red that alternates with it while flashing.
QList<QIcon> TrayImgs();

}
