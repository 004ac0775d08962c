#pragma once
// Cursors of the image panes drawn in code: the zoom tool, the manual-matching cursor
// waiting for the partner point, and the texture eraser.
#include <QCursor>

namespace q3d {

QCursor ZoomToolCursor();
// A cross with a ring: this image holds the new point, the other image must be clicked.
QCursor PendingMatchCursor();
QCursor EraserCursor();

}  // namespace q3d
