#include "model/dense_surface.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/progress.h"
#include "numeric/render_pipeline.h"
#include "numeric/triangulation.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

// A triangle whose longest edge is this many times its corners' pixel footprint spans a
// depth jump (an occlusion edge), not the surface: skin seen almost edge-on, as the side of
// the nose from a camera beside the face, stays well within it.
constexpr double kMaxEdgeFootprints = 16.0;

constexpr const char* kNoSurface = "Dense matching found no surface inside the matches.";

bool SpansDepthJump(const Matrix& V, uint32_t a, uint32_t b, uint32_t c, double limitPerDepth) {
  const double limit = limitPerDepth * std::max({V(a, 2), V(b, 2), V(c, 2)});
  return (V.row(a) - V.row(b)).norm() > limit || (V.row(b) - V.row(c)).norm() > limit ||
         (V.row(c) - V.row(a)).norm() > limit;
}

}  // namespace

int DenseGridStep(int width, int height) {
  return std::max(1, static_cast<int>(std::lround(std::max(width, height) / 768.0)));
}

Status BuildDenseSurface(const CStereoPair& pair, const DenseMatchParams& params,
                         Progress* progress, DenseSurface& out) {
  DenseDisparity dense;
  if (Status matched = MatchDense(pair, params, progress, dense); !matched) return matched;
  const CCamera& camera1 = *pair.m_camera1;
  const CCamera& camera2 = *pair.m_camera2;
  out = DenseSurface{};
  out.coverage = dense.coverage;
  out.step =
      params.gridStep > 0 ? params.gridStep : DenseGridStep(camera1.Width(), camera1.Height());
  const int k = out.step;
  const cv::Rect grid = dense.bounds1;
  const int columns = grid.width / k + 1, rows = grid.height / k + 1;

  // Matched grid points, then their 3D points.
  std::vector<int> index(static_cast<size_t>(columns) * rows, -1);
  std::vector<cv::Point2d> p2;
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i) {
      const cv::Point2d p1(grid.x + i * k, grid.y + j * k);
      const std::optional<cv::Point2d> q = dense.Match(p1);
      if (!q) continue;
      index[j * columns + i] = static_cast<int>(out.pixels1.size());
      out.pixels1.emplace_back(p1);
      p2.push_back(*q);
    }
  const auto n = static_cast<Eigen::Index>(p2.size());
  if (n < 3) return Status::Fail(kNoSurface);
  Matrix matches(n, 4);
  for (Eigen::Index i = 0; i < n; ++i)
    matches.row(i) << out.pixels1[i].x + 1, out.pixels1[i].y + 1, p2[i].x + 1, p2[i].y + 1;
  const CentredPoints centred = CentreMatches(matches, {camera1.Width(), camera1.Height()},
                                              {camera2.Width(), camera2.Height()});
  const Triangulation t = triangulacion(centred.m1, centred.m2, n, pair.m_A1, pair.m_A2, pair.m_R1,
                                        pair.m_t1, pair.m_Rcam, pair.m_t);
  out.vertices = t.Xw.transpose();

  // Two triangles per grid cell, one where a corner is missing; corners ordered so that
  // the triangles turn the same way as the points mesh's.
  const double limitPerDepth = kMaxEdgeFootprints * k / std::abs(pair.m_A1(0, 0));
  auto add = [&](int a, int b, int c) {
    if (a < 0 || b < 0 || c < 0) return;
    const auto ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b),
               uc = static_cast<uint32_t>(c);
    if (!SpansDepthJump(out.vertices, ua, ub, uc, limitPerDepth)) out.faces.push_back({ua, ub, uc});
  };
  for (int j = 0; j + 1 < rows; ++j)
    for (int i = 0; i + 1 < columns; ++i) {
      const int tl = index[j * columns + i], tr = index[j * columns + i + 1];
      const int bl = index[(j + 1) * columns + i], br = index[(j + 1) * columns + i + 1];
      if (tl >= 0 && br >= 0) {
        add(tl, bl, br);
        add(tl, br, tr);
      } else {
        add(tl, bl, tr);
        add(tr, bl, br);
      }
    }
  if (out.faces.empty()) return Status::Fail(kNoSurface);
  out.textureRegion = grid;
  return ShouldCancel(progress) ? Cancelled() : Status::Ok();
}

}  // namespace q3d
