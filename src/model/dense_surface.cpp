#include "model/dense_surface.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
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

// Passes of smoothing along the outline: the pixel grid's staircase, seen from the side where
// the head turns away, shows as teeth.
constexpr int kOutlinePasses = 8;

constexpr const char* kNoSurface = "Dense matching found no surface inside the matches.";

bool SpansDepthJump(const Matrix& V, uint32_t a, uint32_t b, uint32_t c, double limitPerDepth) {
  const double limit = limitPerDepth * std::max({V(a, 2), V(b, 2), V(c, 2)});
  return (V.row(a) - V.row(b)).norm() > limit || (V.row(b) - V.row(c)).norm() > limit ||
         (V.row(c) - V.row(a)).norm() > limit;
}

// The 3D points of pixel pairs (0-based), in the render's frame, as the rows of `vertices`
// listed in `rows`.
void Triangulate(const CStereoPair& pair, const std::vector<cv::Point2f>& p1,
                 const std::vector<cv::Point2d>& p2, const std::vector<Eigen::Index>& rows,
                 Matrix& vertices) {
  const auto n = static_cast<Eigen::Index>(rows.size());
  if (n == 0) return;
  Matrix matches(n, 4);
  for (Eigen::Index i = 0; i < n; ++i) {
    const auto v = static_cast<size_t>(rows[static_cast<size_t>(i)]);
    matches.row(i) << p1[v].x + 1, p1[v].y + 1, p2[v].x + 1, p2[v].y + 1;
  }
  const CCamera& camera1 = *pair.m_camera1;
  const CCamera& camera2 = *pair.m_camera2;
  const CentredPoints centred = CentreMatches(matches, {camera1.Width(), camera1.Height()},
                                              {camera2.Width(), camera2.Height()});
  const Triangulation t = triangulacion(centred.m1, centred.m2, n, pair.m_A1, pair.m_A2, pair.m_R1,
                                        pair.m_t1, pair.m_Rcam, pair.m_t);
  for (Eigen::Index i = 0; i < n; ++i)
    vertices.row(rows[static_cast<size_t>(i)]) = t.Xw.col(i).transpose();
}

// Moves each outline vertex towards the middle of its two outline neighbours in image 1,
// where the dense match still reaches, and triangulates it again. No vertex leaves its grid
// point by more than half a step, so no triangle folds over.
void SmoothOutline(const CStereoPair& pair, const DenseDisparity& dense, DenseSurface& out,
                   std::vector<cv::Point2d>& p2) {
  std::map<std::pair<uint32_t, uint32_t>, int> uses;
  for (const auto& f : out.faces)
    for (size_t k = 0; k < 3; ++k) {
      const uint32_t a = f[k], b = f[(k + 1) % 3];
      ++uses[{std::min(a, b), std::max(a, b)}];
    }
  std::map<uint32_t, std::vector<uint32_t>> neighbours;
  for (const auto& [edge, count] : uses)
    if (count == 1) {
      neighbours[edge.first].push_back(edge.second);
      neighbours[edge.second].push_back(edge.first);
    }
  std::vector<bool> moved(out.pixels1.size(), false);
  const std::vector<cv::Point2f> grid = out.pixels1;
  const float reach = 0.5f * static_cast<float>(out.step);
  for (int pass = 0; pass < kOutlinePasses; ++pass) {
    std::vector<std::pair<uint32_t, cv::Point2f>> targets;
    for (const auto& [v, around] : neighbours) {
      if (around.size() != 2) continue;  // where the outline touches itself
      targets.emplace_back(
          v, 0.5f * out.pixels1[v] + 0.25f * (out.pixels1[around[0]] + out.pixels1[around[1]]));
    }
    for (auto [v, target] : targets) {
      const cv::Point2f shift = target - grid[v];
      if (const float length = std::hypot(shift.x, shift.y); length > reach)
        target = grid[v] + shift * (reach / length);
      if (const std::optional<cv::Point2d> q = dense.Match(cv::Point2d(target))) {
        out.pixels1[v] = target;
        p2[v] = *q;
        moved[v] = true;
      }
    }
  }
  std::vector<Eigen::Index> rows;
  for (size_t v = 0; v < moved.size(); ++v)
    if (moved[v]) rows.push_back(static_cast<Eigen::Index>(v));
  Triangulate(pair, out.pixels1, p2, rows, out.vertices);
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
  out.vertices = Matrix::Zero(n, 3);
  std::vector<Eigen::Index> all(static_cast<size_t>(n));
  std::iota(all.begin(), all.end(), Eigen::Index{0});
  Triangulate(pair, out.pixels1, p2, all, out.vertices);

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
  SmoothOutline(pair, dense, out, p2);
  out.textureRegion = grid;
  return ShouldCancel(progress) ? Cancelled() : Status::Ok();
}

}  // namespace q3d
