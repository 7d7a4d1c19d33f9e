#pragma once
// The program's pictures, drawn at run time so that they look the same on
// every desktop, whatever icon theme it has.
#include <QIcon>
#include <QList>
#include <QPixmap>

namespace app {

// ImageList1, 16 x 16, by index: 0 import, 1 exit, 2 export, 3 open file,
// 4 connect to server, 5 About, 6 previous page, 7 next page, 8 first page,
// 9 last page, 10 document detail.
QList<QIcon> makeImageList1();
// ImageList2, 16 x 16, by index: 0 globe (server), 1 folder, 2 page
// (database), 3 view.
QList<QIcon> makeImageList2();
inline constexpr int kImageList1Count = 11;
inline constexpr int kImageList2Count = 4;

// One of the 8 frames (0..7) of the progress window's search animation, 50 x 42.
QPixmap searchAnimationFrame(int frame);
inline constexpr int kSearchAnimationFrames = 8;

// The About window's banner.
QPixmap aboutBanner(int width, int height);

} // namespace app
