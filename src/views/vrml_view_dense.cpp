// The 3D view's dense surface: matched off the GUI thread with Cancel, drawn on a coarser
// grid than its exports, textured with image 1 and the texture's retouching.
#include <QCoreApplication>
#include <QStatusTipEvent>

#include "model/dense_surface.h"
#include "model/model_file.h"
#include "views/background_work.h"
#include "views/vrml_view.h"

namespace q3d {
namespace {

DenseMatchParams DenseParams(const CProjectDoc& doc) {
  DenseMatchParams params;
  params.hullMargin = doc.m_model.m_denseMargin;
  return params;
}

Status MatchSurface(const CProjectDoc& doc, const DenseMatchParams& params, DenseSurface& surface) {
  const CStereoPair& pair = doc.m_stereoPair;
  return RunInBackground(C3DModel::kDenseStep, [&pair, &params, &surface](Progress& progress) {
    return BuildDenseSurface(pair, params, &progress, surface);
  });
}

// The user's own cancel needs no box: a line in the main window's status bar says it.
void SayCancelled(QWidget* view, const QString& what) {
  QStatusTipEvent tip(what);
  QCoreApplication::sendEvent(view->window(), &tip);
}

}  // namespace

bool CVRMLView::BuildDenseModel(CProjectDoc& doc) {
  // Drawn from every other grid point of an export: a quarter of the triangles keeps the
  // view turning smoothly; exports take the full grid.
  DenseMatchParams display = DenseParams(doc);
  display.gridStep = 2 * DenseGridStep(doc.m_camera1.Width(), doc.m_camera1.Height());
  DenseSurface surface;
  Status built = MatchSurface(doc, display, surface);
  // The mesh shown meanwhile stays until the new one is complete.
  MeshBuilder mesh;
  if (built) built = doc.m_model.FillDenseMesh(mesh, surface);
  if (!built) {
    if (IsCancelled(built))
      SayCancelled(this, QStringLiteral("Dense matching cancelled: the mesh is as it was."));
    else
      ShowErrorLater(MakeErrorRecord(built.Code(), built.Severity(), built.Reason()));
    return false;
  }
  m_meshBuilder = std::move(mesh);
  TakeDenseTexture(doc);
  return true;
}

void CVRMLView::TakeDenseTexture(CProjectDoc& doc) {
  const cv::Mat texture = doc.m_model.DenseTexture(C3DModel::kDenseTextureSize);
  if (!texture.empty() && CreateColorImage(m_denseTexture, texture.cols, texture.rows))
    texture.copyTo(m_denseTexture.Mat());
}

Status CVRMLView::ExportDenseModel(CProjectDoc& doc, const std::string& path) {
  ModelExportOptions options;
  options.dense = true;
  options.denseParams = DenseParams(doc);
  DenseSurface surface;
  if (Status matched = MatchSurface(doc, options.denseParams, surface); !matched) {
    if (IsCancelled(matched))
      SayCancelled(this, QStringLiteral("Export cancelled: no file was written."));
    return matched;
  }
  options.denseSurface = &surface;
  const Status exported = ExportModel3D(path, doc.m_stereoPair, doc.m_model, options);
  // The caption keeps counting the triangles shown.
  doc.m_model.m_polygonCount = m_meshBuilder.FaceCount();
  return exported;
}

}  // namespace q3d
