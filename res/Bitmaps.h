#pragma once

// The 16 x 16 pictures (IDB_... in Resource.h): 16 colours, transparent around
// the drawn shape.

#include <QImage>
#include <QPixmap>

// The picture with that number, or a null image when there is none. Needs no
// application object.
QImage LoadBitmapImage(int id);

// The same as a pixmap; needs the GUI application object.
QPixmap LoadBitmap(int id);
