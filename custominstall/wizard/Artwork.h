// The wizard's own artwork, drawn in code: the picture down the left side of every page
// and the application icon.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

/// The side picture at the given size in device-independent pixels.
QPixmap SidePicture(QSize size, qreal devicePixelRatio);

/// The application icon (a bridge chip with a package arrow), at several sizes.
QIcon AppIcon();
