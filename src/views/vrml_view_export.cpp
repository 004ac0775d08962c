// Export 3D Model from the 3D view: the project's model file, or the mesh as shown (the
// dense surface on its full grid) in a mesh format.
#include <QFile>
#include <QFileInfo>

#include "base/error_stack.h"
#include "base/file_output.h"
#include "base/printable_text.h"
#include "model/mesh_export.h"
#include "model/model_file.h"
#include "views/export_dialog.h"
#include "views/status_message.h"
#include "views/vrml_view.h"
#include "views/wait_cursor.h"

namespace q3d {

void CVRMLView::ExportModel() {
  CProjectDoc* doc = Document();
  if (!doc) return;
  const QString chosen = AskExportPath(this);
  if (chosen.isEmpty()) return;
  const std::string path = QFile::encodeName(chosen).toStdString();
  // The saved project survives any export: no file written beside the model may be it.
  for (const std::string& written : ExportedFilePaths(path)) {
    if (!doc->PathName().empty() && IsSameFile(written, doc->PathName())) {
      PushErrorText("Exporting to " + QuotedText(path) + " writes " + QuotedText(written) +
                    ", which is the project's file: choose another name.");
      ShowError(PopError());
      return;
    }
  }
  Status exported = Status::Ok();
  {
    WaitCursor wait;
    const ModelExportFormat format = ExportFormatForPath(chosen);
    const cv::Mat texture = doc->m_model.m_texture.Mat();
    if (format == ModelExportFormat::Q3d) {
      exported = doc->ExportModel(path);
    } else if (ShowsDense()) {
      exported = ExportDenseModel(*doc, path);
    } else {
      // The mesh formats take the mesh as shown, with any stretching by the X, Y, Z keys.
      switch (format) {
        case ModelExportFormat::Q3d:
          break;
        case ModelExportFormat::Vrml:
          exported = WriteVrml(path, m_meshBuilder, texture);
          break;
        case ModelExportFormat::Obj:
          exported = WriteObj(path, m_meshBuilder, texture);
          break;
        case ModelExportFormat::Ply:
          exported = WritePly(path, m_meshBuilder, texture);
          break;
        case ModelExportFormat::Glb:
          exported = WriteGlb(path, m_meshBuilder, texture);
          break;
        case ModelExportFormat::Stl:
          exported = WriteStl(path, m_meshBuilder);
          break;
      }
    }
  }
  if (exported) {
    ShowStatusMessage(this, QStringLiteral("Exported %1.").arg(QFileInfo(chosen).fileName()));
  } else if (!IsCancelled(exported)) {
    // The document pushed the model file's record itself.
    if (ExportFormatForPath(chosen) != ModelExportFormat::Q3d) PushErrorText(exported.Reason());
    ShowError(PopError());
  }
}

}  // namespace q3d
