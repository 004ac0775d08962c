// Mesh generation of the model: the point mesh (optionally refined once) and the
// interpolated grid mesh.
#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "base/error_stack.h"
#include "model/c3d_model.h"
#include "model/delaunay.h"
#include "model/fill_mesh_builder.h"
#include "model/griddata.h"
#include "model/mesh_builder.h"
#include "model/mesh_refiner.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

// n values from a to b evenly spaced (the last exactly b).
Eigen::VectorXd Linspace(double a, double b, int n) {
  Eigen::VectorXd v(n);
  for (int k = 0; k < n; ++k) v(k) = k + 1 == n ? b : a + (b - a) * k / (n - 1);
  return v;
}

// [X, Y] = meshgrid(xs, ys) taken column by column: entry k = (xs(k / n), ys(k % n)).
void GridColumns(const Eigen::VectorXd& xs, const Eigen::VectorXd& ys, Eigen::VectorXd& X,
                 Eigen::VectorXd& Y) {
  const Eigen::Index n = ys.size();
  X.resize(xs.size() * n);
  Y.resize(xs.size() * n);
  for (Eigen::Index c = 0; c < xs.size(); ++c) {
    X.segment(c * n, n).setConstant(xs(c));
    Y.segment(c * n, n) = ys;
  }
}

// The common start of both builds: the texture, the 3D points P3 of the matches and their
// image-1 points P relative to the texture's region (one-based, as the match matrix).
// False when there is nothing to mesh (status 0, polygon count 0) or the 3D points cannot
// be had (status negative, error record pushed).
bool PrepareBuild(C3DModel& model, Matrix& P, Matrix& P3, int& status) {
  status = kMeshOk;
  model.UpdateTexture();
  const IplROI& roi = model.m_sourceRoi;
  if (roi.width == 0 || roi.height == 0) {
    model.m_polygonCount = 0;
    return false;
  }
  status = kMeshBuildFailed;
  if (const Status triangulated = model.m_stereoPair->TriangulateMatches(); !triangulated) {
    PushErrorText(triangulated.Reason());
    return false;
  }
  P3 = model.m_stereoPair->m_XW;
  Matrix matches;
  model.m_stereoPair->m_matches.ToMatrix(matches);
  if (matches.rows() != P3.rows() || P3.cols() != 3) {
    PushErrorText("Error: The 3D points do not belong to the current matches; render again.");
    return false;
  }
  P.resize(matches.rows(), 2);
  P.col(0) = matches.col(0).array() - roi.xOffset;
  P.col(1) = matches.col(1).array() - roi.yOffset;
  status = kMeshOk;
  return true;
}

int PointMesh(C3DModel& model, MeshBuilder& builder, int refine) {
  Matrix P, P3;
  int status;
  if (!PrepareBuild(model, P, P3, status)) return status;
  Matrix Q = P;
  Q.col(1) = 1.0 - P.col(1).array();  // image y runs down; the mesh plane's y runs up
  MeshRefiner refiner;
  refiner.Assign(P3, Q, delaunay(Q.col(0), Q.col(1)));
  if (refine != 0) refiner.Refine(1);
  model.m_polygonCount = static_cast<int32_t>(refiner.Faces().rows());
  Matrix T = refiner.TexturePoints();
  T.col(1) = -T.col(1);
  return FillMeshBuilder(builder, refiner.Vertices(), T, refiner.Faces(), model.m_sourceRoi.width,
                         model.m_sourceRoi.height);
}

int GridMesh(C3DModel& model, MeshBuilder& builder, int gridSize) {
  if (gridSize < 2) {
    PushErrorText("Error: The interpolation grid needs at least 2 x 2 points.");
    return kMeshInvalidArgument;
  }
  Matrix P, P3;
  int status;
  if (!PrepareBuild(model, P, P3, status)) return status;
  const int n = gridSize;
  Eigen::VectorXd XI, YI, XT, YT;
  GridColumns(Linspace(P3.col(0).minCoeff(), P3.col(0).maxCoeff(), n),
              Linspace(P3.col(1).minCoeff(), P3.col(1).maxCoeff(), n), XI, YI);
  GridColumns(Linspace(P.col(0).minCoeff(), P.col(0).maxCoeff(), n),
              Linspace(P.col(1).minCoeff(), P.col(1).maxCoeff(), n), XT, YT);
  YT = 1.0 - YT.array();
  const Matrix ZC = griddata(P3.col(0), P3.col(1), P3.col(2), XI, YI, "cubic");
  const Matrix ZL = griddata(P3.col(0), P3.col(1), P3.col(2), XI, YI, "linear");

  // Grid points outside the convex hull of the points (linear value NaN) are dropped.
  Eigen::Index kept = 0;
  for (Eigen::Index k = 0; k < ZL.size(); ++k) kept += std::isnan(ZL(k)) ? 0 : 1;
  // The texture grid runs against both image axes, as the 3D grid's x and y run against
  // them. Mirrored, its coordinates lie one texture period below [0, 1]: lifted by that
  // period they show the same texels in the repeating 3D view and stay within the texture
  // for viewers that clamp. Grid ends up to a pixel beyond the region take its edge.
  const double width = model.m_sourceRoi.width, height = model.m_sourceRoi.height;
  Matrix V(kept, 3), T(kept, 2), texturePlane(kept, 2);
  for (Eigen::Index k = 0, row = 0; k < ZL.size(); ++k) {
    if (std::isnan(ZL(k))) continue;
    V.row(row) << XI(k), YI(k), ZC(k);
    texturePlane.row(row) << XT(k), YT(k);
    T.row(row) << std::clamp(width - XT(k), 0.0, width), std::clamp(height + YT(k), 0.0, height);
    ++row;
  }
  const Matrix F = delaunay(texturePlane.col(0), texturePlane.col(1));
  model.m_polygonCount = static_cast<int32_t>(F.rows());
  return FillMeshBuilder(builder, V, T, F, model.m_sourceRoi.width, model.m_sourceRoi.height);
}

// The triangulation and the interpolation report point sets they cannot mesh (too few,
// all on one line) by exception; a build reports them as a status with an error record.
template <typename Build>
int GuardedBuild(C3DModel& model, Build build) {
  const int errorsBefore = ErrorCount();
  int status = kMeshBuildFailed;
  try {
    status = build();
  } catch (const NumericError& e) {
    PushErrorText(std::string("Error: The 3D model cannot be built: ") + e.what() + ".");
  } catch (const std::bad_alloc&) {
    PushOutOfMemory();
  }
  if (status < 0) {
    if (ErrorCount() == errorsBefore) {
      PushErrorText("Error: The 3D model cannot be built: its points were refused (status " +
                    std::to_string(status) + ").");
    }
    model.m_polygonCount = 0;
  }
  return status;
}

}  // namespace

int C3DModel::BuildMesh(MeshBuilder& builder, int cubic, int gridSize, int smooth) {
  if (smooth != 0 && cubic != 0) return BuildGridMesh(builder, gridSize);
  return BuildPointMesh(builder, smooth);
}

int C3DModel::BuildPointMesh(MeshBuilder& builder, int refine) {
  return GuardedBuild(*this, [&] { return PointMesh(*this, builder, refine); });
}

int C3DModel::BuildGridMesh(MeshBuilder& builder, int gridSize) {
  return GuardedBuild(*this, [&] { return GridMesh(*this, builder, gridSize); });
}

}  // namespace q3d
