#include "views/export_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <array>

namespace q3d {
namespace {

struct FormatEntry {
  ModelExportFormat format;
  const char* extension;
  const char* filter;
};

constexpr std::array<FormatEntry, 6> kFormats{{
    {ModelExportFormat::Q3d, "q3d", "Quorvan 3D Model Files (*.q3d)"},
    {ModelExportFormat::Vrml, "wrl", "VRML 2.0 Files (*.wrl)"},
    {ModelExportFormat::Obj, "obj", "Wavefront OBJ Files (*.obj)"},
    {ModelExportFormat::Ply, "ply", "PLY Files (*.ply)"},
    {ModelExportFormat::Glb, "glb", "glTF Binary Files (*.glb)"},
    {ModelExportFormat::Stl, "stl", "STL Files for Printing (*.stl)"},
}};

std::function<QString(QWidget*)>& PathProvider() {
  static std::function<QString(QWidget*)> provider;
  return provider;
}

}  // namespace

QString ModelExportFilter() {
  QStringList filters;
  for (const FormatEntry& entry : kFormats) filters << QString::fromLatin1(entry.filter);
  return filters.join(QStringLiteral(";;"));
}

ModelExportFormat ExportFormatForPath(const QString& path) {
  const QString suffix = QFileInfo(path).suffix();
  for (const FormatEntry& entry : kFormats)
    if (suffix.compare(QLatin1String(entry.extension), Qt::CaseInsensitive) == 0)
      return entry.format;
  return ModelExportFormat::Vrml;
}

QString AskExportPath(QWidget* parent) {
  if (PathProvider()) return PathProvider()(parent);
  QFileDialog dialog(parent, QObject::tr("Export 3D Model"), QStringLiteral("Untitled"),
                     ModelExportFilter());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setDefaultSuffix(QStringLiteral("q3d"));
  // A name typed without extension takes the extension of the chosen filter.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& filter) {
                     for (const FormatEntry& entry : kFormats)
                       if (filter == QLatin1String(entry.filter))
                         dialog.setDefaultSuffix(QLatin1String(entry.extension));
                   });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

void SetExportPathProvider(std::function<QString(QWidget*)> provider) {
  PathProvider() = std::move(provider);
}

}  // namespace q3d
