#pragma once
// C1 piecewise-cubic Clough-Tocher interpolation on a triangulation.
#include <array>
#include <vector>

#include <Eigen/Core>

#include "numeric/matrix.h"

namespace q3d {

class CloughTocherInterpolant {
 public:
  // Data z at points (x, y) triangulated by `faces` (one-based rows); vertex gradients
  // are estimated from the data (EstimateVertexGradients).
  CloughTocherInterpolant(const Matrix& x, const Matrix& y, const Matrix& z,
                          const Matrix& faces);
  // As above with given vertex gradients, one per point.
  CloughTocherInterpolant(const Matrix& x, const Matrix& y, const Matrix& z,
                          const Matrix& faces, std::vector<Eigen::Vector2d> gradients);

  // Value inside triangle `face` (zero-based row) at the barycentric weights of its three
  // points. Each triangle is split at its centroid into three cubic patches; the normal
  // derivative varies linearly along every triangle edge, so neighbouring triangles join
  // with continuous first derivatives.
  double Evaluate(int face, const std::array<double, 3>& weights) const;

 private:
  Matrix x_, y_, z_, faces_;
  std::vector<Eigen::Vector2d> gradients_;
};

}  // namespace q3d
