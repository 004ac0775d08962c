#pragma once
// Hands the frame's right-button menu to a view that shows one.
#include <QMenu>

#include "views/content_view.h"

namespace q3d {

void GiveContextMenu(ContentView* view, QMenu* menu);

}  // namespace q3d
