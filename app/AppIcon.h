#pragma once

// The program's icon (170): the main window's big and small icon.

#include <QIcon>
#include <QImage>

// 32 x 32, transparent around the tile. Needs no application object.
QImage LoadAppIconImage();

// Needs the GUI application object.
QIcon LoadAppIcon();
