#pragma once
// Creates the content view of a pane, attached to the document (initial update done).
#include <QWidget>
#include <memory>

#include "project/project_doc.h"
#include "views/content_view.h"

namespace q3d {

std::unique_ptr<ContentView> CreateContentView(ViewKind kind, CProjectDoc* doc, QWidget* parent);

}  // namespace q3d
