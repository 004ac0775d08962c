#pragma once
// The save dialog of Export 3D Model and the file format a chosen name asks for.
#include <QString>
#include <functional>

class QWidget;

namespace q3d {

enum class ModelExportFormat { Q3d, Vrml, Obj, Ply, Glb, Stl };

// The dialog's filter: the model file and VRML 2.0 first, then the other formats.
QString ModelExportFilter();
// By the name's extension, ignoring case. Any other extension writes VRML 2.0.
ModelExportFormat ExportFormatForPath(const QString& path);

// Shows the save dialog (default extension "q3d", initial name "Untitled", asks before
// overwriting). Returns the chosen path, or an empty string when cancelled.
QString AskExportPath(QWidget* parent);
// Replaces the dialog, for tests: AskExportPath returns the provider's answer. An empty
// function restores the dialog.
void SetExportPathProvider(std::function<QString(QWidget*)> provider);

}  // namespace q3d
