#pragma once
// Menu entries of the model's size and extent: Real Distance in the Project menu (the
// distance between two matches that puts exports in millimetres) and Dense Surface
// Margin in the 3D Model menu's mesh choices.
#include <QMenu>

#include "project/project_doc.h"

namespace q3d {

// Appends "Real Distance...", enabled once the project is rendered or has a distance set.
void AddRealDistanceEntry(QMenu* menu, CProjectDoc* doc, QWidget* parent);
// Appends "Dense Surface Margin...": the margin around the matches, in percent of their
// extent; a change rebuilds the model.
void AddDenseMarginEntry(QMenu* menu, CProjectDoc* doc, QWidget* parent);

}  // namespace q3d
