#pragma once
// Tool-bar button images (21 x 20), drawn here rather than shipped as bitmaps.
#include <QIcon>
#include <QPixmap>

namespace q3d {

constexpr int kToolImageWidth = 21;
constexpr int kToolImageHeight = 20;

// The button image of a command; a blank image for a command without one.
QPixmap ToolBitmap(int commandId);
QIcon ToolIcon(int commandId);

}  // namespace q3d
