#pragma once
// The program's icon, drawn in code so no image file has to travel with the executable.

#include <QIcon>
#include <QPixmap>

// The icon drawn at `size` × `size` pixels: a device box on a two-wire bus.
QPixmap DrawAppIcon(int size);
// The window icon with the usual sizes (16, 24, 32, 48, 64).
QIcon AppIcon();
