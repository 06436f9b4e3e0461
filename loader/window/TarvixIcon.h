// The program's icon: a ROM chip with a download arrow, drawn in code so
// every size is sharp and no image file has to be found at run time.
#pragma once

#include <QIcon>
#include <QImage>

/// The icon drawn at size x size pixels on a transparent background.
QImage PaintTarvixIcon(int size);

/// The icon at the usual sizes (16 to 256 pixels).
QIcon TarvixIcon();
