#pragma once
// Gradient estimates at the data points of a triangulated scattered data set.
#include <vector>

#include <Eigen/Core>

#include "numeric/matrix.h"

namespace q3d {

// For every point k, the gradient (dz/dx, dz/dy) at (x(k), y(k)) of the least-squares
// quadratic through z(k) fitted to the points of its two-ring in the triangulation
// (faces: one-based rows). The fit reproduces quadratic data exactly. Where the ring holds
// too few or too badly spread points for a quadratic, a plane is fitted instead; a point on
// no triangle gets a zero gradient.
std::vector<Eigen::Vector2d> EstimateVertexGradients(const Matrix& x, const Matrix& y,
                                                     const Matrix& z, const Matrix& faces);

}  // namespace q3d
