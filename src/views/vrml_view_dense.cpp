// The 3D view's dense surface: matched off the GUI thread with Cancel, drawn on a coarser
// grid than its exports, textured with image 1 and the texture's retouching.
#include <memory>

#include "model/dense_surface.h"
#include "model/model_file.h"
#include "views/background_work.h"
#include "views/status_message.h"
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

// A key of what a dense surface is built from: the render's cameras and points, the
// photographs' sizes and the parameters (FNV-1a over their bytes).
uint64_t DenseInputs(const CProjectDoc& doc, const DenseMatchParams& params) {
  uint64_t key = 1469598103934665603ull;
  const auto mix = [&key](const void* data, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) key = (key ^ p[i]) * 1099511628211ull;
  };
  const CStereoPair& pair = doc.m_stereoPair;
  for (const Matrix* m : {&pair.m_A1, &pair.m_A2, &pair.m_Rcam, &pair.m_t, &pair.m_XW})
    mix(m->data(), sizeof(double) * static_cast<size_t>(m->size()));
  const int sizes[] = {doc.m_camera1.Width(), doc.m_camera1.Height(), doc.m_camera2.Width(),
                       doc.m_camera2.Height(), params.gridStep};
  mix(sizes, sizeof sizes);
  mix(&params.hullMargin, sizeof params.hullMargin);
  return key;
}

}  // namespace

bool CVRMLView::BuildDenseModel(CProjectDoc& doc) {
  // Drawn from every other grid point of an export: a quarter of the triangles keeps the
  // view turning smoothly; exports take the full grid.
  DenseMatchParams display = DenseParams(doc);
  display.gridStep = 2 * DenseGridStep(doc.m_camera1.Width(), doc.m_camera1.Height());
  // A view made again (a pane switch, a reopened pane) shows the surface already matched.
  C3DModel::DrawnDense& drawn = doc.m_model.m_drawnDense;
  const uint64_t inputs = DenseInputs(doc, display);
  Status built = Status::Ok();
  if (!drawn.surface || drawn.inputs != inputs) {
    auto surface = std::make_shared<DenseSurface>();
    built = MatchSurface(doc, display, *surface);
    if (built) drawn = {inputs, std::move(surface)};
  }
  // The mesh shown meanwhile stays until the new one is complete.
  MeshBuilder mesh;
  if (built) built = doc.m_model.FillDenseMesh(mesh, *drawn.surface);
  if (!built) {
    if (IsCancelled(built))
      ShowStatusMessage(this, QStringLiteral("Dense matching cancelled: the mesh is as it was."));
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
      ShowStatusMessage(this, QStringLiteral("Export cancelled: no file was written."));
    return matched;
  }
  options.denseSurface = &surface;
  const Status exported = ExportModel3D(path, doc.m_stereoPair, doc.m_model, options);
  // The caption keeps counting the triangles shown.
  doc.m_model.m_polygonCount = m_meshBuilder.FaceCount();
  return exported;
}

}  // namespace q3d
