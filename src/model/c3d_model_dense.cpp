// The dense mesh of the model and its texture.
#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "base/progress.h"
#include "model/c3d_model.h"
#include "model/dense_surface.h"
#include "model/mesh_builder.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

// Centre of the box of the points mesh (the matches' 3D points with x mirrored), which
// every mesh of the model is moved by, so that all of them share one frame.
bool PointsMeshCentre(CStereoPair& pair, std::array<double, 3>& centre) {
  if (!pair.TriangulateMatches() || pair.m_XW.rows() == 0 || pair.m_XW.cols() != 3) return false;
  const Eigen::RowVector3d lo = pair.m_XW.colwise().minCoeff();
  const Eigen::RowVector3d hi = pair.m_XW.colwise().maxCoeff();
  centre = {-(lo(0) + hi(0)) / 2, (lo(1) + hi(1)) / 2, (lo(2) + hi(2)) / 2};
  return true;
}

int FillDense(MeshBuilder& builder, const DenseSurface& surface,
              const std::array<double, 3>& centre) {
  const auto m = static_cast<int>(surface.vertices.rows());
  const auto f = static_cast<int>(surface.faces.size());
  std::vector<float> positions(3 * static_cast<size_t>(m));
  for (int i = 0; i < m; ++i) {
    positions[3 * i] = static_cast<float>(-surface.vertices(i, 0) - centre[0]);
    positions[3 * i + 1] = static_cast<float>(surface.vertices(i, 1) - centre[1]);
    positions[3 * i + 2] = static_cast<float>(surface.vertices(i, 2) - centre[2]);
  }
  std::vector<int32_t> faceData;
  faceData.reserve(4 * static_cast<size_t>(f) + 1);
  for (const auto& face : surface.faces) {
    faceData.push_back(3);
    for (uint32_t v : face) faceData.push_back(static_cast<int32_t>(v));
  }
  faceData.push_back(0);
  int status = builder.ReserveSpace(m, 0, f);
  if (status >= 0) status = builder.AddFaces(m, positions, 0, {}, faceData);
  if (status >= 0) status = builder.GenerateNormals();
  const int first = builder.VertexCount() - m;
  const cv::Rect region = surface.textureRegion;
  for (int i = 0; i < m && status >= 0; ++i) {
    const cv::Point2f p = surface.pixels1[i];
    status = builder.SetTextureCoordinates(first + i, (p.x + 0.5f - region.x) / region.width,
                                           (p.y + 0.5f - region.y) / region.height);
  }
  return status;
}

}  // namespace

Status C3DModel::BuildDenseMesh(MeshBuilder& builder, const DenseMatchParams& params,
                                Progress* progress) {
  // The model changes only once the surface is complete: a cancel leaves it as it was.
  DenseSurface surface;
  try {
    ScopedProgress reporter(progress);
    reporter->SetStep(kDenseStep);
    if (Status built = BuildDenseSurface(*m_stereoPair, params, &*reporter, surface); !built)
      return IsCancelled(built) ? built : Status::Fail("Error: " + built.Reason());
  } catch (const cv::Exception&) {
    return Status::Fail("Error: The image operation failed.", kImageLibraryCode);
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
  return FillDenseMesh(builder, surface);
}

Status C3DModel::FillDenseMesh(MeshBuilder& builder, const DenseSurface& surface) {
  m_polygonCount = 0;
  m_denseRegion = {};
  std::array<double, 3> centre{};
  if (!PointsMeshCentre(*m_stereoPair, centre))
    return Status::Fail("Error: The matches have no 3D points: render the project first.");
  try {
    if (const int status = FillDense(builder, surface, centre); status < 0)
      return Status::Fail("Error: The dense mesh could not be stored (status " +
                          std::to_string(status) + ").");
  } catch (const std::bad_alloc&) {
    return OutOfMemory();
  }
  m_polygonCount = static_cast<int32_t>(surface.faces.size());
  m_denseRegion = surface.textureRegion;
  return Status::Ok();
}

cv::Mat C3DModel::DenseTexture(int maxSide) const {
  if (m_denseRegion.empty() || !m_stereoPair || !m_stereoPair->m_camera1 ||
      !m_stereoPair->m_camera1->HasImage())
    return {};
  const cv::Mat region = m_stereoPair->m_camera1->m_image.Mat()(m_denseRegion);
  const double scale =
      std::min(1.0, maxSide / static_cast<double>(std::max(region.cols, region.rows)));
  cv::Mat texture;
  if (scale == 1.0)
    texture = region.clone();
  else
    cv::resize(region, texture,
               cv::Size(std::max(1, static_cast<int>(std::lround(region.cols * scale))),
                        std::max(1, static_cast<int>(std::lround(region.rows * scale)))),
               0, 0, cv::INTER_AREA);
  CarryRetouchingOnto(texture, m_denseRegion);
  return texture;
}

}  // namespace q3d
