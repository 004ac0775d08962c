#pragma once
// The Project menu's dot centring entries: the Precise Dot Centres setting and the command
// that re-centres every point of the project on the dot under it.
#include <QMenu>
#include <QStatusBar>

#include "project/project_doc.h"

namespace q3d {

// Appends the setting, a separator and the command to the menu; their states follow the setting and the document each
// time the menu opens. Re-centring reports how many points moved on the status bar.
void AddDotCentringEntries(QMenu* menu, CProjectDoc* doc, QStatusBar* statusBar);

}  // namespace q3d
